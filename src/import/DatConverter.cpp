#include "import/DatConverter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>

#include "base/Strings.h"
#include "base/Utf8.h"
#include "import/GlyphTable.h"
#include "import/HistoryXml.h"
#include "import/InfoText.h"

namespace kavro::import {

using base::AppendUtf8;
using base::DecodeUtf8;

namespace {

constexpr int kMinTextWidth = 40;
constexpr int kMaxTextWidth = 120;
constexpr int kHistoryWidth = 60;
constexpr int kTitlePercent = 120;
constexpr int kTabStop = 8;
// An icon is drawn as a square of the text's height: about two characters of the monospace
// font, which is also what the code takes in the file.
constexpr int kIconColumns = 2;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Columns the text takes in a monospace font.
int Columns(std::string_view text) {
    int columns = 0;
    while (!text.empty()) {
        const auto decoded = DecodeUtf8(text);
        const std::size_t length = decoded ? decoded->length : 1;
        columns += decoded && IsWide(decoded->code) ? 2 : 1;
        text.remove_prefix(length);
    }
    return columns;
}

// A line as valid UTF-8 that XML accepts: bytes that are not UTF-8 and characters XML does
// not allow become U+FFFD, tabs become blanks up to the next tab stop (the reader drops tab
// characters, and columns must stay), carriage returns are dropped. Sets repaired when a
// character had to be replaced.
std::string CleanLine(std::string_view raw, bool& repaired) {
    std::string out;
    out.reserve(raw.size());
    int column = 0;
    while (!raw.empty()) {
        const auto decoded = DecodeUtf8(raw);
        if (!decoded) {
            out += kReplacement;
            repaired = true;
            raw.remove_prefix(1);
            ++column;
            continue;
        }
        const auto [c, length] = *decoded;
        raw.remove_prefix(length);
        if (c == '\t') {
            do {
                out += ' ';
            } while (++column % kTabStop != 0);
        } else if (c == '\r') {
            continue;
        } else if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
            out += kReplacement;
            repaired = true;
            ++column;
        } else {
            AppendUtf8(out, c);
            column += IsWide(c) ? 2 : 1;
        }
    }
    return out;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                if (attribute) {
                    out += "&quot;";
                    break;
                }
                [[fallthrough]];
            default:
                out += c;
        }
    }
}

namespace {

// Text as the section markup must receive it. The markup separates fields with "|", reads a
// field that begins like a code ("fs=", "fed", ...) as that code, and drops "~" from fields of
// one or two characters; so "|" becomes the broken bar, such a field start gets a zero-width
// space in front, and "~" in a short field becomes the tilde operator.
void AppendRun(std::string& out, std::string_view text) {
    if (text.empty()) return;
    std::string run(text);
    if (run.size() <= 2)
        for (std::size_t at; (at = run.find('~')) != std::string::npos;)
            run.replace(at, 1, "∼");
    if (run.size() >= 3) {
        std::string start = run.substr(0, 3);
        std::transform(start.begin(), start.end(), start.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (start == "fs=" || start == "ic=" || start == "im=" || start == "fed" ||
            start == "bge" || start.starts_with("bg="))
            out += "\u200B";
    }
    for (std::size_t at; (at = run.find('|')) != std::string::npos;)
        run.replace(at, 1, "¦");
    AppendEscaped(out, run);
}

struct Segment {
    std::string_view text;  // plain text, when glyph is empty
    std::optional<Glyph> glyph;
};

// A cleaned move-list line cut into text and glyph codes.
std::vector<Segment> SplitGlyphs(std::string_view line) {
    std::vector<Segment> segments;
    std::size_t text_start = 0;
    std::size_t i = 0;
    const auto flush = [&](std::size_t end) {
        if (end > text_start) segments.push_back({line.substr(text_start, end - text_start), {}});
    };
    while (i < line.size()) {
        const char marker = line[i];
        std::optional<Glyph> glyph;
        std::size_t length = 0;
        if ((marker == '_' || marker == '^') && i + 1 < line.size()) {
            glyph = FindGlyph(marker, line[i + 1]);
            length = 2;
        } else if (marker == '@') {
            const std::size_t end = std::min(line.find(' ', i + 1), line.size());
            glyph = FindWordGlyph(line.substr(i + 1, end - i - 1));
            length = end - i;
        }
        if (!glyph) {
            ++i;
            continue;
        }
        flush(i);
        segments.push_back({line.substr(i, length), glyph});
        i += length;
        text_start = i;
    }
    flush(line.size());
    return segments;
}

int Columns(const std::vector<Segment>& segments) {
    int columns = 0;
    for (const Segment& s : segments)
        columns += s.glyph ? kIconColumns : Columns(s.text);
    return columns;
}

void AppendSegments(std::string& out, const std::vector<Segment>& segments) {
    for (const Segment& s : segments) {
        if (!s.glyph) {
            AppendRun(out, s.text);
            continue;
        }
        out += "<icon name=\"";
        out += s.glyph->icon;
        out += "\">";
        AppendEscaped(out, s.glyph->fallback);
        out += "</icon>";
    }
}

struct Line {
    std::string text;  // cleaned
    long number = 0;
};

struct Page {
    std::vector<Line> lines;
    long first_line = 0;
};

bool IsDashes(std::string_view text) {
    text = base::Trim(text);
    return text.size() >= 3 && text.find_first_not_of('-') == std::string_view::npos;
}

// The title of a page whose first line is "[Title]" or "«Title»"; nothing for other lines.
std::optional<std::string_view> BracketTitle(std::string_view line) {
    line = base::Trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
        return base::Trim(line.substr(1, line.size() - 2));
    constexpr std::string_view kOpen = "«", kClose = "»";
    if (line.size() >= kOpen.size() + kClose.size() && line.starts_with(kOpen) &&
        line.ends_with(kClose))
        return base::Trim(line.substr(kOpen.size(), line.size() - kOpen.size() - kClose.size()));
    return std::nullopt;
}

void DropEmptyEdges(std::vector<Line>& lines) {
    const auto blank = [](const Line& l) { return base::Trim(l.text).empty(); };
    while (!lines.empty() && blank(lines.back()))
        lines.pop_back();
    const auto first = std::find_if_not(lines.begin(), lines.end(), blank);
    lines.erase(lines.begin(), first);
}

// Cuts a history line into lines of at most width columns, at blanks where there are any.
std::vector<std::string_view> Wrap(std::string_view text, int width) {
    std::vector<std::string_view> pieces;
    while (Columns(text) > width) {
        std::size_t cut = 0, last_blank = std::string_view::npos;
        int columns = 0;
        while (cut < text.size()) {
            const auto decoded = DecodeUtf8(text.substr(cut));
            const std::size_t length = decoded ? decoded->length : 1;
            const int w = decoded && IsWide(decoded->code) ? 2 : 1;
            if (columns + w > width) break;
            if (text[cut] == ' ') last_blank = cut;
            columns += w;
            cut += length;
        }
        if (last_blank != std::string_view::npos && last_blank > 0) cut = last_blank;
        if (cut == 0) cut = DecodeUtf8(text) ? DecodeUtf8(text)->length : 1;
        pieces.push_back(text.substr(0, cut));
        text.remove_prefix(cut);
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    pieces.push_back(text);
    return pieces;
}

class Writer {
  public:
    Writer(std::string_view label, std::string_view item_name, std::string_view source_name,
           long line)
        : label_(label), item_(item_name), source_(source_name), line_(line) {}

    void MoveListPage(Page& page) {
        DropEmptyEdges(page.lines);
        auto& lines = page.lines;
        std::string& out = body_;
        out += "<section bg=\"page\">\n";
        std::size_t first = 0;
        std::optional<std::string_view> title;
        if (!lines.empty()) {
            title = BracketTitle(lines[0].text);
            if (!title && lines.size() > 1 && IsDashes(lines[1].text)) title = lines[0].text;
        }
        if (title) {
            const auto segments = SplitGlyphs(*title);
            Widen((Columns(segments) * kTitlePercent + 99) / 100);
            out += "<font name=\"title\">";
            AppendSegments(out, segments);
            out += "</font>\n";
            first = 1;
        }
        for (std::size_t i = first; i < lines.size(); ++i) {
            const std::string& text = lines[i].text;
            if (IsDashes(text)) {
                Widen(Columns(text));
                out += "<font name=\"rule\">";
                AppendRun(out, text);
                out += "</font>\n";
                continue;
            }
            const auto segments = SplitGlyphs(text);
            Widen(Columns(segments));
            AppendSegments(out, segments);
            out += '\n';
        }
        if (lines.empty()) out += "<font name=\"rule\">(empty page)</font>\n";
        out += "</section>\n";
        ++sections_;
    }

    // Information text (marked as InfoText makes it) in one section, wrapped at width columns
    // when wrap is set.
    void Text(const std::vector<std::string>& lines, bool wrap) {
        std::string& out = body_;
        out += "<section bg=\"page\">\n";
        Style style = Style::Text;
        for (const std::string& line : lines) {
            const std::vector<std::string_view> pieces =
                wrap ? Wrap(line, kHistoryWidth) : std::vector<std::string_view>{line};
            for (std::string_view piece : pieces) {
                Widen(Columns(piece));
                AppendStyled(out, piece, style);
                out += '\n';
            }
            style = Style::Text;  // a mark is never open across lines
        }
        out += "</section>\n";
        ++sections_;
        if (wrap) width_ = std::max(width_, kHistoryWidth);
    }

    int Sections() const { return sections_; }

    // The document into result.xml, and where its caption names the item.
    void Document(ConvertedEntry& result) const {
        // No "--" inside the comment: runs of dashes become one. Built by appending, since
        // GCC 12 at -O3 wrongly reports an overlapping copy in std::string::replace here.
        std::string source;
        for (const char c : source_)
            if (c != '-' || source.empty() || source.back() != '-') source += c;
        std::string xml(kConvertedMark);
        AppendEscaped(xml, source);
        xml += ", line " + std::to_string(line_) + "; a new import replaces this file. -->\n";
        xml += "<document>\n<info caption=\"";
        result.name_at = xml.size();
        AppendEscaped(xml, item_, true);
        result.name_size = xml.size() - result.name_at;
        AppendEscaped(xml, " - " + std::string(label_), true);
        xml += "\"/>\n<head>\n<textwidth>" +
               std::to_string(std::clamp(width_, kMinTextWidth, kMaxTextWidth)) +
               "</textwidth>\n"
               "<fontmacro size=\"100\" color=\"230,230,230\">text</fontmacro>\n"
               "<fontmacro size=\"" +
               std::to_string(kTitlePercent) +
               "\" color=\"255,210,80\">title</fontmacro>\n"
               "<fontmacro size=\"100\" color=\"120,200,255\">heading</fontmacro>\n"
               "<fontmacro size=\"100\" color=\"110,120,140\">rule</fontmacro>\n"
               "<fontmacro size=\"100\" color=\"255,170,60\">key</fontmacro>\n"
               "<bgmacro name=\"page\" style=\"0\" color=\"16,20,48\"/>\n</head>\n";
        xml += body_;
        xml += "</document>\n";
        result.xml = std::move(xml);
    }

  private:
    void Widen(int columns) { width_ = std::max(width_, columns); }

    enum class Style { Text, Key, Heading };

    // A piece of marked text: each mark opens or closes a font; one still open at the end of
    // a piece (a heading wrapped onto the next line) opens again there.
    static void AppendStyled(std::string& out, std::string_view piece, Style& style) {
        const auto open = [&out](Style s) {
            out += s == Style::Key ? "<font name=\"key\">[" : "<font name=\"heading\">";
        };
        const auto close = [&out](Style s) { out += s == Style::Key ? "]</font>" : "</font>"; };
        if (style != Style::Text) open(style);
        std::size_t from = 0;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const char c = piece[i];
            if (c != kKeyOpen && c != kKeyClose && c != kHeadOpen && c != kHeadClose) continue;
            AppendRun(out, piece.substr(from, i - from));
            from = i + 1;
            if (style != Style::Text) close(style);
            style = c == kKeyOpen ? Style::Key : c == kHeadOpen ? Style::Heading : Style::Text;
            if (style != Style::Text) open(style);
        }
        AppendRun(out, piece.substr(from));
        if (style != Style::Text) close(style);
    }

    std::string_view label_;
    std::string item_;
    std::string_view source_;
    long line_;
    std::string body_;
    int width_ = 0;
    int sections_ = 0;
};

}  // namespace

namespace {

// What a document of the block is called in its caption.
std::string_view Label(std::string_view block) {
    if (block == "cmd") return "move list";
    if (block == "bio") return "history";
    if (block == "mame") return "notes";
    if (block == "drv") return "driver notes";
    if (block == "story") return "high scores";
    return block;
}

// The block's lines as information text; no section when none holds text.
void WriteText(Writer& writer, std::string_view block, std::vector<Line>& lines) {
    DropEmptyEdges(lines);
    if (lines.empty()) return;
    std::vector<std::string> text;
    text.reserve(lines.size());
    for (Line& line : lines)
        text.push_back(std::move(line.text));
    if (block == "mame" || block == "drv")
        text = NotesLines(text);
    else if (block == "story")
        text = StoryLines(text);
    else
        text = HistoryLines(text);
    // What is left after links were dropped may be nothing.
    while (!text.empty() && base::Trim(text.back()).empty())
        text.pop_back();
    if (text.empty()) return;
    writer.Text(text, block != "story");
}

ConvertedEntry Finish(Writer& writer, ConvertedEntry result, long first_line,
                      std::string_view block, bool any_text = true) {
    result.sections = any_text ? writer.Sections() : 0;
    if (result.sections == 0) {
        result.problems.push_back({first_line, "the entry has no $" + std::string(block) + " text",
                                   "entries without text to show (no document)"});
        return result;
    }
    writer.Document(result);
    return result;
}

}  // namespace

ConvertedEntry ConvertEntry(std::string_view entry_text, long first_line, std::string_view block,
                            std::string_view item_name, std::string_view source_name) {
    ConvertedEntry result;
    bool clean_name_repaired = false;
    Writer writer(Label(block), CleanLine(item_name, clean_name_repaired), source_name, first_line);
    const bool pages = block == "cmd";

    enum class State { Outside, Inside, Skipping };
    State state = State::Outside;
    bool seen_block = false;
    bool any_text = false;  // pages that are all empty are no move list
    Page page;
    std::vector<Line> text;
    long number = first_line - 1;
    bool first = true;

    const auto end_page = [&] {
        writer.MoveListPage(page);
        page = Page{};
        state = State::Outside;
    };

    ForEachLine(entry_text, [&](std::string_view raw, std::uint64_t) {
        ++number;
        if (first) {  // the $TAG line
            first = false;
            return;
        }
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (raw.starts_with('#')) return;
        const std::string_view word = BlockLine(raw);
        if (pages && word == "cmd" && state == State::Inside) {
            result.problems.push_back(
                {page.first_line,
                 "the page has no $end (a new $cmd starts at line " + std::to_string(number) + ")",
                 "pages without $end"});
            end_page();
        }
        if (word == "end") {
            if (pages && state == State::Inside)
                end_page();
            else
                state = State::Outside;
            return;
        }
        // As the index reads them: outside a block any "$word" opens one, inside only a known
        // block name does.
        if (!word.empty() && (state == State::Outside || KnownBlock(word))) {
            if (pages && state == State::Inside) end_page();
            seen_block = true;
            state = word == block ? State::Inside : State::Skipping;
            if (state == State::Inside && pages) page.first_line = number;
            return;
        }
        if (state == State::Skipping) return;
        if (state == State::Outside) {
            // Older history files put the text right after the $info line, without $bio;
            // text between pages is not part of any.
            if (base::Trim(raw).empty() || seen_block || block != "bio") return;
            state = State::Inside;
        }
        bool repaired = false;
        Line line{CleanLine(raw, repaired), number};
        if (repaired)
            result.problems.push_back({number,
                                       "bytes that are not UTF-8 text were replaced by U+FFFD",
                                       "bytes that are not UTF-8 text (replaced by U+FFFD)"});
        if (!base::Trim(line.text).empty()) any_text = true;
        (pages ? page.lines : text).push_back(std::move(line));
    });

    if (pages && state == State::Inside) {
        result.problems.push_back(
            {page.first_line, "the page has no $end (the entry ends)", "pages without $end"});
        end_page();
    }
    if (!pages) WriteText(writer, block, text);
    return Finish(writer, std::move(result), first_line, block, any_text);
}

ConvertedEntry ConvertHistoryText(std::string_view history, long first_line,
                                  std::string_view item_name, std::string_view source_name) {
    ConvertedEntry result;
    bool repaired = false;
    Writer writer(Label("bio"), CleanLine(item_name, repaired), source_name, first_line);
    std::vector<Line> lines;
    long number = first_line;
    ForEachLine(history, [&](std::string_view raw, std::uint64_t) {
        bool line_repaired = false;
        lines.push_back({CleanLine(raw, line_repaired), number++});
        if (line_repaired)
            result.problems.push_back({first_line, "characters XML text may not hold were replaced",
                                       "bytes that are not UTF-8 text (replaced by U+FFFD)"});
    });
    WriteText(writer, "bio", lines);
    return Finish(writer, std::move(result), first_line, "bio");
}

std::string DocumentFor(const ConvertedEntry& converted, std::string_view item_name) {
    bool repaired = false;
    std::string xml(std::string_view(converted.xml).substr(0, converted.name_at));
    AppendEscaped(xml, CleanLine(item_name, repaired), true);
    xml += std::string_view(converted.xml).substr(converted.name_at + converted.name_size);
    return xml;
}

ConvertedEntry ConvertEntry(const std::string& path, const DatIndex& index, const DatEntry& entry,
                            std::string_view block, std::string_view item_name) {
    const std::string source = std::filesystem::path(path).filename().string();
    if (index.Format() == DatFormat::HistoryXml)
        return ConvertHistoryText(HistoryXmlText(ReadEntry(path, entry), path, entry.line),
                                  entry.line, item_name, source);
    return ConvertEntry(ReadEntry(path, entry), entry.line, block, item_name, source);
}

}  // namespace kavro::import
