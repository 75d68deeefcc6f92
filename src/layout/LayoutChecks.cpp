// Authoring findings of the layout: what a section names that is not there, and what does not
// fit. Run only with diagnostics attached (kavro --check).

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/Twips.h"
#include "document/MarkupReader.h"
#include "imaging/PictureProblem.h"
#include "layout/LayoutContext.h"

namespace kavro::layout {

using document::Severity;

namespace {

void Report(const LayoutContext& c, std::size_t j, Severity severity, std::string message) {
    document::Diagnostics* d = c.v.diagnostics;
    document::SourcePosition where;
    const auto k = static_cast<std::size_t>(c.section + 1);
    if (k < d->sections.size() && k < c.v.doc.SectionMarkup.size()) {
        const std::size_t offset = j < c.field_offsets.size() ? c.field_offsets[j] : 0;
        where = d->sections[k].At(c.v.doc.SectionMarkup[k], offset);
    }
    d->Report(std::move(where), severity, std::move(message));
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string Joined(const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& p : paths)
        text += (text.empty() ? "" : ", ") + p;
    return text;
}

// Characters, not bytes, of UTF-8 text.
std::size_t Characters(std::string_view text) {
    std::size_t n = 0;
    for (char ch : text)
        n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    return n;
}

using base::kTwipsPerPixel;
// Mean difference per colour channel above which a seam is plainly visible.
constexpr int kSeamThreshold = 24;

// The mean absolute difference, per channel (0 to 255), between two rows of a picture.
int RowDifference(const toolkit::Picture& picture, int row_a, int row_b) {
    const auto w = static_cast<std::size_t>(picture.Width());
    const auto& pixels = picture.Pixels();
    long long total = 0;
    for (std::size_t x = 0; x < w; ++x) {
        const std::uint32_t a = pixels[static_cast<std::size_t>(row_a) * w + x];
        const std::uint32_t b = pixels[static_cast<std::size_t>(row_b) * w + x];
        for (int shift = 0; shift <= 16; shift += 8)
            total += std::abs(static_cast<int>((a >> shift) & 0xFF) -
                              static_cast<int>((b >> shift) & 0xFF));
    }
    return w == 0 ? 0 : static_cast<int>(total / (3LL * static_cast<long long>(w)));
}

// How plainly the edge where one band meets the next shows: the difference between the
// picture's bottom and top rows, when it is large and more than twice any step between two
// rows inside the picture (a ruled line drawn on purpose is such a step); 0 otherwise.
int SeamDifference(const toolkit::Picture& picture) {
    const int w = picture.Width();
    const int h = picture.Height();
    if (w <= 0 || h <= 1 ||
        picture.Pixels().size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
        return 0;
    const int seam = RowDifference(picture, h - 1, 0);
    if (seam <= kSeamThreshold) return 0;
    for (int y = 1; y < h; ++y)
        if (2 * RowDifference(picture, y - 1, y) >= seam) return 0;
    return seam;
}

}  // namespace

void NoteLine(LayoutContext& c, std::string_view raw, std::size_t line_offset) {
    c.line_chars = 0;
    c.line_cut = false;
    c.field_offsets.clear();
    std::size_t at = line_offset + (raw.starts_with('|') ? 1 : 0);
    for (const std::string& field : document::SplitFields(document::PreparedLine(raw))) {
        c.field_offsets.push_back(at);
        at += field.size() + 1;
    }
}

void CheckMacroName(const LayoutContext& c, std::size_t j, const document::MacroTable& table,
                    std::string_view name, const char* kind) {
    if (!c.v.diagnostics) return;
    std::vector<std::string_view> names;
    for (int column = 1; column <= table.UBound(); ++column) {
        const std::string defined = document::FieldText(table.Get(0, column));
        if (document::ToLower(defined) == document::ToLower(name)) return;
    }
    for (int column = 1; column <= table.UBound(); ++column)
        if (const auto& field = table.Get(0, column)) names.push_back(*field);
    // A section without a background names "default": the first macro is meant.
    if (std::string_view(kind) == "background" && name == "default") return;
    std::string message = std::string(kind) + " macro " + Quoted(name) + " is not defined";
    if (table.UBound() < 1)
        message += ", and there are no " + std::string(kind) + " macros";
    else
        message += "; the first one, " + Quoted(document::FieldText(table.Get(0, 1))) +
                   ", is used instead";
    if (const std::string hint = document::ClosestName(name, names); !hint.empty())
        message += "; did you mean " + Quoted(hint) + "?";
    Report(c, j, Severity::Warning, message);
}

void ReportMissingFile(const LayoutContext& c, std::size_t j, const std::string& what,
                       const std::vector<std::string>& tried) {
    if (!c.v.diagnostics) return;
    // An element with text of its own shows that text instead; the file is still missing (a
    // move list's icons are meant to be seen).
    const auto& sections = c.v.diagnostics->sections;
    const auto k = static_cast<std::size_t>(c.section + 1);
    const bool with_text = k < sections.size() && j < c.field_offsets.size() &&
                           std::find(sections[k].with_text.begin(), sections[k].with_text.end(),
                                     c.field_offsets[j]) != sections[k].with_text.end();
    Report(c, j, Severity::Warning,
           what + " not found (looked in " + Joined(tried) + ")" +
               (with_text ? "; its text is shown instead" : ""));
}

void CheckPicture(const LayoutContext& c, std::size_t j, const std::string& what,
                  const std::string& path, const toolkit::PicturePtr& picture) {
    if (!c.v.diagnostics || (picture && !picture->IsEmpty())) return;
    std::string reason = imaging::PictureProblem(path);
    if (reason.empty()) reason = "it cannot be shown";
    Report(c, j, Severity::Warning, what + " " + path + " cannot be shown: " + reason);
}

void CheckFits(LayoutContext& c, std::size_t j, const toolkit::Control& item,
               const toolkit::Label* label) {
    if (!c.v.diagnostics) return;
    const double edge = c.surface->Width;
    if (c.line_cut || item.Left + item.Width <= edge) {
        if (label) c.line_chars += Characters(label->Caption());
        return;
    }
    c.line_cut = true;
    if (!label) {
        Report(c, j, Severity::Warning,
               "this line is wider than the screen area: it is cut at the right edge after " +
                   std::to_string(c.line_chars) + " characters");
        return;
    }
    // The characters of the run that still fit before the edge.
    const std::string& text = label->Caption();
    std::size_t fit = 0, bytes = 0;
    while (bytes < text.size()) {
        std::size_t next = bytes + 1;
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
        const float width =
            c.v.form.Fonts().TextWidth(std::string_view(text).substr(0, next), label->FontSize());
        if (item.Left + width > edge) break;
        bytes = next;
        ++fit;
    }
    Report(c, j, Severity::Warning,
           "this line is wider than the screen area: it is cut at the right edge after " +
               std::to_string(c.line_chars + fit) + " characters (\"" + text.substr(bytes) +
               "\" does not show)");
}

void CheckBackground(const Load& v, int n, const std::string& source,
                     const std::vector<std::string>& tried, const std::string& path,
                     const toolkit::PicturePtr& picture, double band_height, double surface_height,
                     int style) {
    document::Diagnostics* d = v.diagnostics;
    if (!d || source.empty()) return;
    document::SourcePosition where;
    const auto k = static_cast<std::size_t>(n);
    if (k < d->sections.size() && !d->sections[k].anchors.empty()) {
        where.file = d->sections[k].file;
        where.line = d->sections[k].anchors.front().line;
        where.column = d->sections[k].anchors.front().column;
    }
    if (path.empty()) {
        d->Report(where, Severity::Warning,
                  "background picture " + Quoted(source) + " not found (looked in " +
                      Joined(tried) + ")");
        return;
    }
    if (!picture || picture->IsEmpty()) {
        std::string reason = imaging::PictureProblem(path);
        if (reason.empty()) reason = "it cannot be shown";
        d->Report(where, Severity::Warning,
                  "background picture " + path + " cannot be shown: " + reason);
        return;
    }
    // Bands meet bottom row to top row: where those differ, every band boundary shows as a
    // seam. Only worth saying when more than one band is drawn.
    if (style != 2 && !(surface_height > band_height)) return;
    const int difference = SeamDifference(*picture);
    if (difference == 0) return;
    d->Report(where, Severity::Info,
              "background picture " + Quoted(source) +
                  " does not tile cleanly: its bands repeat every " +
                  std::to_string(std::lround(band_height / kTwipsPerPixel)) +
                  " pixels, and its top and bottom rows differ (by " + std::to_string(difference) +
                  " of 255 on average), so each band's edge shows as a seam");
}

}  // namespace kavro::layout
