#include "layout/MeasureAhead.h"

#include <algorithm>

#include "document/MarkupReader.h"
#include "layout/LayoutSection.h"
#include "toolkit/Processors.h"

namespace kavro::layout {

namespace {

// How many sections past the one being laid out the worker may run: enough to keep it busy,
// few enough that its lists stay small and it measures nothing the load will not show.
constexpr int kSectionsAhead = 4;

}  // namespace

MeasureAhead::MeasureAhead(const Load& v, int first, int last)
    : v_(v), first_(first), last_(last), next_(first) {
    if (last - first < 1 || toolkit::ProcessorsAvailable() < 2 || v.form.Fonts().AddsUpAscii())
        return;
    // The sizes the font macros fit to, found here: fitting uses the window's measuring.
    const auto& macros = v.doc.FontMacros;
    sizes_.resize(static_cast<std::size_t>(std::max(macros.UBound(), 1)) + 1);
    for (int column = 1; column <= macros.UBound(); ++column)
        if (macros.HasColumn(column))
            sizes_[static_cast<std::size_t>(column)] = FitFontSize(v, macros.Get(1, column));
    published_ =
        std::make_unique<std::atomic<const List*>[]>(static_cast<std::size_t>(last - first + 1));
    measurer_ = v.form.Fonts().MakeAheadMeasurer();
    worker_ = std::thread([this] { Work(); });
}

MeasureAhead::~MeasureAhead() {
    stop_.store(true);
    laying_out_.store(last_ + 1);
    laying_out_.notify_all();
    if (worker_.joinable()) worker_.join();
    if (published_) v_.form.Fonts().UseMeasuredAhead(nullptr);
}

void MeasureAhead::Reach(int s) {
    if (!worker_.joinable() || s < first_ || s > last_) return;
    // Past the last label a load can hold no run is placed, so none is measured.
    if (v_.form.lblText.UBound() >= toolkit::ControlArray<toolkit::Label>::kMaxIndex)
        stop_.store(true);
    // The section is the layout's own unless the worker has taken it.
    const List* list = nullptr;
    int next = next_.load();
    while (next <= s && !next_.compare_exchange_weak(next, s + 1)) {
    }
    if (next > s) list = published_[static_cast<std::size_t>(s - first_)].load();
    // The engine lets go of the previous list before the worker may free it.
    v_.form.Fonts().UseMeasuredAhead(list);
    laying_out_.store(s);
    laying_out_.notify_one();
}

bool MeasureAhead::Passed(int s) const {
    return laying_out_.load(std::memory_order_relaxed) > s;
}

bool MeasureAhead::Reached(int s) const {
    return stop_.load(std::memory_order_relaxed) ||
           laying_out_.load(std::memory_order_relaxed) >= s;
}

void MeasureAhead::Work() {
    // Its fonts are closed here, while the layout lays out the last sections, rather than
    // when the load ends.
    struct CloseFonts {
        std::unique_ptr<toolkit::FontEngine::AheadMeasurer>& measurer;
        ~CloseFonts() { measurer.reset(); }
    } close_fonts{measurer_};
    while (!stop_.load()) {
        const int s = next_.fetch_add(1);
        if (s > last_) return;
        for (int at = laying_out_.load(); s > at + kSectionsAhead && !stop_.load();
             at = laying_out_.load())
            laying_out_.wait(at);
        // Lists the layout has left are used again: their texts keep their memory.
        while (!lists_.empty() && Passed(lists_.front().first)) {
            spare_.push_back(std::move(lists_.front().second));
            lists_.pop_front();
        }
        if (Reached(s)) continue;
        // Room for every field of the section, the most runs it can have.
        const std::string& markup = v_.doc.SectionMarkup[s + 1];
        const auto fields = static_cast<std::size_t>(std::count_if(
            markup.begin(), markup.end(), [](char c) { return c == '|' || c == '\n'; }));
        try {
            std::unique_ptr<List> list;
            if (!spare_.empty()) {
                list = std::move(spare_.back());
                spare_.pop_back();
                list->Clear();
            }
            if (!list || list->Capacity() <= fields) list = std::make_unique<List>(fields + 1);
            lists_.emplace_back(s, std::move(list));
            published_[static_cast<std::size_t>(s - first_)].store(lists_.back().second.get());
            MeasureSection(s, *lists_.back().second);
        } catch (const std::exception&) {
            // Out of memory, say: the layout measures for itself.
            return;
        }
    }
}

// The runs of section s as the layout reads its fields, each at the size of the font macro in
// force, until the layout gets there.
void MeasureAhead::MeasureSection(int s, List& out) {
    int macro = 1;
    auto measure = [&](std::string_view text) {
        const int column = v_.NoFormatting ? 1 : macro;
        if (column < 1 || static_cast<std::size_t>(column) >= sizes_.size()) return;
        if (const auto& points = sizes_[static_cast<std::size_t>(column)])
            measurer_->Measure(text, *points, out);
    };
    // Views into the markup: this thread reads runs only to measure them.
    std::vector<std::string_view> fields;
    for (std::string_view raw : document::SplitLines(v_.doc.SectionMarkup[s + 1])) {
        // Once the layout is on this section it measures the rest itself, faster than this
        // thread could hand it over: on to the next.
        if (Reached(s)) return;
        document::SplitFieldViews(document::PreparedLine(raw), fields);
        for (std::size_t j = 0; j < fields.size(); ++j) {
            const std::string_view field = fields[j];
            if (!document::IsLongField(field)) {
                if (document::IsShownShortField(fields, j)) measure(document::ShortRunText(field));
                continue;
            }
            switch (document::Classify(field)) {
                case document::FieldCode::FontStart:
                    macro = macros_.FontColumn(v_, document::CodeValue(field));
                    break;
                case document::FieldCode::FontEnd:
                    macro = 1;
                    break;
                case document::FieldCode::Icon:
                    // A placed icon hides the field after it; so does an image.
                    if (!v_.NoFormatting && j + 1 < fields.size()) fields[j + 1] = "~";
                    break;
                case document::FieldCode::Image:
                    if (!v_.NoFormatting && !v_.NoImages && j + 1 < fields.size())
                        fields[j + 1] = "~";
                    break;
                case document::FieldCode::Text:
                    measure(field);
                    break;
                case document::FieldCode::BgStart:
                case document::FieldCode::BgEnd:
                    break;
            }
        }
    }
}

}  // namespace kavro::layout
