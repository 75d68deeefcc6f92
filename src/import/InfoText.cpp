#include "import/InfoText.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "base/Strings.h"

namespace kavro::import {

namespace {

constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
// A key cap holds a key's name ("F2", "9", "Left Shift"), never a sentence.
constexpr std::size_t kMaxKeyBytes = 16;
// A line that is a heading of its own ("Other Emulators:") is short.
constexpr std::size_t kMaxHeadingBytes = 40;

// Where needle starts in text from from on, ignoring ASCII letter case; npos when nowhere.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
    if (needle.size() > text.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && base::LowerAscii(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && FindNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

// The start of the next "<a" tag: "<a" followed by a blank or ">".
std::size_t FindAnchor(std::string_view line, std::size_t from) {
    for (std::size_t at = FindNoCase(line, "<a", from); at != std::string_view::npos;
         at = FindNoCase(line, "<a", at + 1)) {
        const char next = at + 2 < line.size() ? line[at + 2] : '\0';
        if (next == ' ' || next == '>') return at;
    }
    return std::string_view::npos;
}

// Text outside anchors, with stray "</a>" closing tags removed.
void AppendOutside(std::string& out, std::string_view text) {
    for (std::size_t at; (at = FindNoCase(text, "</a>")) != std::string_view::npos;) {
        out += text.substr(0, at);
        text.remove_prefix(at + 4);
    }
    out += text;
}

bool IsHeadingLine(std::string_view line) {
    line = base::Trim(line);
    return line.size() >= 5 && line.starts_with("- ") && line.ends_with(" -") &&
           !base::Trim(line.substr(2, line.size() - 4)).empty();
}

bool IsBlank(std::string_view line) {
    return base::Trim(line).empty();
}

std::string Heading(std::string_view text) {
    return kHeadOpen + std::string(text) + kHeadClose;
}

// A key's name written without blanks in its brackets: "[F2]", "[9]", "[Enter]".
bool IsKeyName(std::string_view key) {
    if (key.size() == 1) return std::isalnum(static_cast<unsigned char>(key[0])) != 0;
    if ((key[0] == 'F' || key[0] == 'f') && key.size() <= 3 &&
        std::all_of(key.begin() + 1, key.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return true;
    for (std::string_view name :
         {"enter", "tab",  "esc",   "shift", "ctrl", "alt",     "space",  "up",
          "down",  "left", "right", "start", "coin", "service", "insert", "delete",
          "home",  "end",  "pgup",  "pgdn",  "del",  "ins"})
        if (key.size() == name.size() && StartsNoCase(key, name)) return true;
    return false;
}

// "[ F2 ]" (blanks inside on at least one side) and "[F2]" with a key's name as a key cap;
// other brackets stay text.
std::string KeyCaps(std::string_view line) {
    std::string out;
    while (!line.empty()) {
        const std::size_t open = line.find('[');
        if (open == std::string_view::npos) break;
        const std::size_t close = line.find_first_of("[]", open + 1);
        if (close == std::string_view::npos || line[close] != ']') {
            out += line.substr(0, open + 1);
            line.remove_prefix(open + 1);
            continue;
        }
        const std::string_view inside = line.substr(open + 1, close - open - 1);
        const std::string_view key = base::Trim(inside);
        if (key.empty() || key.size() > kMaxKeyBytes ||
            (key.size() == inside.size() && !IsKeyName(key))) {
            out += line.substr(0, close + 1);
            line.remove_prefix(close + 1);
            continue;
        }
        out += line.substr(0, open);
        out += kKeyOpen;
        // Blanks inside a key do not break the line there.
        for (char c : key)
            c == ' ' ? out += kNoBreakSpace : out += c;
        out += kKeyClose;
        line.remove_prefix(close + 1);
    }
    out += line;
    return out;
}

// "Words:" alone, or "CAPITALS:" at the start of a line: the heading's length, else 0.
std::size_t NotesHeading(std::string_view line) {
    const std::string_view trimmed = base::Trim(line);
    if (trimmed.empty() || !std::isalpha(static_cast<unsigned char>(trimmed.front()))) return 0;
    if (trimmed.back() == ':' && trimmed.size() <= kMaxHeadingBytes &&
        trimmed.find(':') == trimmed.size() - 1)
        return line.size();
    if (line.front() == ' ') return 0;
    std::size_t end = 0;
    while (end < line.size() && (std::isupper(static_cast<unsigned char>(line[end])) ||
                                 line[end] == ' ' || line[end] == '_'))
        ++end;
    if (end >= 2 && end < line.size() && line[end] == ':' && line[end - 1] != ' ') return end + 1;
    return 0;
}

struct Record {
    std::string_view name;
    std::string_view score;
};

// "NAME____123450": the name, a run of underscores, a score with a digit and no blanks.
std::optional<Record> StoryRecord(std::string_view line) {
    line = base::Trim(line);
    const std::size_t last = line.find_last_of('_');
    if (last == std::string_view::npos) return std::nullopt;
    const std::size_t before = line.find_last_not_of('_', last);
    if (before == std::string_view::npos) return std::nullopt;
    const Record record{base::Trim(line.substr(0, before + 1)), line.substr(last + 1)};
    if (record.name.empty() || record.score.empty() ||
        record.score.find(' ') != std::string_view::npos ||
        std::none_of(record.score.begin(), record.score.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return record;
}

// Columns in a monospace font: every byte that does not continue a UTF-8 sequence.
std::size_t Width(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void AppendTable(std::vector<std::string>& out, const std::vector<Record>& records) {
    std::size_t name_width = 0, score_width = 0;
    for (const Record& r : records) {
        name_width = std::max(name_width, Width(r.name));
        score_width = std::max(score_width, Width(r.score));
    }
    constexpr std::size_t kGap = 4;
    for (const Record& r : records)
        out.push_back(
            std::string(r.name) +
            std::string(name_width - Width(r.name) + kGap + score_width - Width(r.score), ' ') +
            std::string(r.score));
}

}  // namespace

std::string ShowAnchors(std::string_view line, bool* only_link) {
    std::string out;
    std::string outside;
    bool anchored = false;
    std::size_t from = 0;
    for (std::size_t at; (at = FindAnchor(line, from)) != std::string_view::npos;) {
        anchored = true;
        AppendOutside(out, line.substr(from, at - from));
        AppendOutside(outside, line.substr(from, at - from));
        const std::size_t tag_end = line.find('>', at);
        if (tag_end == std::string_view::npos) {  // cut short: only attributes follow
            from = line.size();
            break;
        }
        const std::size_t close = FindNoCase(line, "</a>", tag_end + 1);
        const std::size_t label_end = close == std::string_view::npos ? line.size() : close;
        out += line.substr(tag_end + 1, label_end - tag_end - 1);
        from = close == std::string_view::npos ? line.size() : close + 4;
    }
    AppendOutside(out, line.substr(from));
    AppendOutside(outside, line.substr(from));
    if (only_link) {
        const std::string_view text = base::Trim(out);
        *only_link = (anchored && IsBlank(outside)) || StartsNoCase(text, "edit this entry") ||
                     ((StartsNoCase(text, "http://") || StartsNoCase(text, "https://")) &&
                      text.find(' ') == std::string_view::npos);
    }
    return out;
}

std::vector<std::string> HistoryLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < lines.size();) {
        if (IsHeadingLine(lines[i]) && base::Trim(lines[i]) == "- CONTRIBUTE -") {
            // The block runs to the next heading; it is left out when it only links.
            std::size_t end = i + 1;
            bool only_links = true;
            while (end < lines.size() && !IsHeadingLine(lines[end])) {
                bool link = false;
                ShowAnchors(lines[end], &link);
                if (!IsBlank(lines[end]) && !link) only_links = false;
                ++end;
            }
            if (only_links) {
                i = end;
                continue;
            }
        }
        const std::string shown = ShowAnchors(lines[i]);
        out.push_back(IsHeadingLine(shown) ? Heading(base::Trim(shown)) : shown);
        ++i;
    }
    return out;
}

std::vector<std::string> NotesLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& raw : lines) {
        const std::string line = ShowAnchors(raw);
        if (IsBlank(line)) {
            if (!out.empty() && !out.back().empty()) out.emplace_back();
            continue;
        }
        const std::size_t heading = NotesHeading(line);
        std::string shown = heading > 0
                                ? Heading(base::Trim(std::string_view(line).substr(0, heading)))
                                : std::string();
        shown += KeyCaps(std::string_view(line).substr(heading));
        out.push_back(std::move(shown));
    }
    return out;
}

std::vector<std::string> StoryLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    std::vector<Record> table;
    for (const std::string& line : lines) {
        if (auto record = StoryRecord(line)) {
            table.push_back(*record);
            continue;
        }
        AppendTable(out, table);
        table.clear();
        if (IsBlank(line)) {
            if (!out.empty() && !out.back().empty()) out.emplace_back();
            continue;
        }
        out.push_back(Heading(base::Trim(ShowAnchors(line))));
    }
    AppendTable(out, table);
    return out;
}

}  // namespace kavro::import
