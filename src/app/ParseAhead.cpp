#include "app/ParseAhead.h"

#include <utility>

namespace kavro::app {

namespace {

// Thrown from the handler to end a reading nobody waits for any more.
struct Abandoned {};

}  // namespace

ParseAhead::ParseAhead(document::SaxReader& reader, document::HandlerContext& context,
                       const document::ConvertedDocument& doc, std::string path)
    : reader_(reader),
      viewer_handler_(reader.contentHandler),
      path_(std::move(path)),
      handler_(staged_, context, [this](const std::string& caption) { caption_ = caption; }) {
    staged_.LineChars = doc.LineChars;
    staged_.SectionBuffer = doc.SectionBuffer;
    handler_.OnSectionStart([this] {
        if (stop_.load(std::memory_order_relaxed)) throw Abandoned{};
        Publish(false);
    });
    reader_.contentHandler = &handler_;
    worker_ = std::thread([this] { Read(); });
}

ParseAhead::~ParseAhead() {
    stop_.store(true);
    if (worker_.joinable()) worker_.join();
    reader_.contentHandler = viewer_handler_;
}

void ParseAhead::Read() {
    try {
        reader_.parseURL(path_);
    } catch (...) {
        const std::lock_guard hold(lock_);
        failure_ = std::current_exception();
        ended_ = true;
        changed_.notify_all();
        return;
    }
    Publish(true);
}

void ParseAhead::Publish(bool ended) {
    std::vector<std::string>& markup = staged_.SectionMarkup;
    // Every section but the one just begun is complete; at the end, all of them.
    const std::size_t complete = ended ? markup.size() : markup.size() - 1;
    const std::lock_guard hold(lock_);
    if (!head_ && (complete > 1 || ended))
        head_ = Head{staged_.FontMacros, staged_.BgMacros, staged_.LineChars};
    for (; published_ < complete; ++published_)
        ready_.push_back(std::move(markup[published_]));
    if (ended) ended_ = true;
    changed_.notify_all();
}

bool ParseAhead::TakeHead(document::ConvertedDocument& doc) {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return head_.has_value() || ended_; });
    if (!head_) return false;
    doc.FontMacros = head_->font_macros;
    doc.BgMacros = head_->bg_macros;
    doc.LineChars = head_->line_chars;
    return true;
}

std::optional<std::string> ParseAhead::NextSection() {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return !ready_.empty() || ended_; });
    if (failure_ || ready_.empty()) return std::nullopt;
    std::string markup = std::move(ready_.front());
    ready_.pop_front();
    return markup;
}

bool ParseAhead::Finish(document::ConvertedDocument& doc, std::optional<std::string>& caption) {
    if (worker_.joinable()) worker_.join();
    reader_.contentHandler = viewer_handler_;
    caption = caption_;
    if (failure_) std::rethrow_exception(failure_);
    const bool same = head_ && head_->font_macros == staged_.FontMacros &&
                      head_->bg_macros == staged_.BgMacros &&
                      head_->line_chars == staged_.LineChars;
    doc.FontMacros = std::move(staged_.FontMacros);
    doc.BgMacros = std::move(staged_.BgMacros);
    doc.LineChars = staged_.LineChars;
    doc.InfoText = std::move(staged_.InfoText);
    doc.SectionBuffer = std::move(staged_.SectionBuffer);
    return same;
}

}  // namespace kavro::app
