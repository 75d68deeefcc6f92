#include "document/MarkupReader.h"

#include "base/Strings.h"
#include "document/CaseFold.h"

namespace kavro::document {

namespace {

std::vector<std::string> Split(std::string_view text, char separator) {
    const std::vector<std::string_view> parts = base::Split(text, separator);
    return {parts.begin(), parts.end()};
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view markup) {
    // An empty string has no lines at all.
    std::vector<std::string_view> lines;
    if (markup.empty()) return lines;
    for (std::size_t start = 0;;) {
        const std::size_t at = markup.find('\n', start);
        lines.push_back(markup.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return lines;
        start = at + 1;
    }
}

std::string_view PreparedLine(std::string_view line) {
    if (!line.empty() && line.front() == '|') line.remove_prefix(1);
    if (!line.empty() && line.back() == '|') line.remove_suffix(1);
    if (line.empty()) return "~";
    return line;
}

std::string PrepareLine(std::string_view line) {
    return std::string(PreparedLine(line));
}

std::vector<std::string> SplitFields(std::string_view line) {
    return Split(line, '|');
}

void SplitFieldViews(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    for (std::size_t start = 0;;) {
        const std::size_t at = line.find('|', start);
        fields.push_back(line.substr(start, at == std::string_view::npos ? at : at - start));
        if (at == std::string_view::npos) return;
        start = at + 1;
    }
}

bool IsLongField(std::string_view field) {
    // Most fields are long in bytes already; only short ones need counting.
    return field.size() > 8 || CharacterCount(field) > 2;
}

FieldCode Classify(std::string_view field) {
    if (field.size() < 3) return FieldCode::Text;
    const std::string head = ToLower(field.substr(0, 3));
    if (head == "fs=") return FieldCode::FontStart;
    if (head == "ic=") return FieldCode::Icon;
    if (head == "im=") return FieldCode::Image;
    if (head == "fed") return FieldCode::FontEnd;
    if (head == "bg=") return FieldCode::BgStart;
    if (head == "bge") return FieldCode::BgEnd;
    return FieldCode::Text;
}

std::string CodeValue(std::string_view field) {
    const std::size_t first = field.find('=');
    if (first == std::string_view::npos) return std::string();
    const std::string_view rest = field.substr(first + 1);
    return std::string(rest.substr(0, rest.find('=')));
}

namespace {

template <class Field>
bool IsShown(const std::vector<Field>& fields, std::size_t j) {
    if (j >= fields.size()) return false;
    const std::string_view field = fields[j];
    if (IsLongField(field)) return true;
    if (j + 1 == fields.size()) return true;
    return !field.empty() && field != "~";
}

}  // namespace

bool IsShownShortField(const std::vector<std::string>& fields, std::size_t j) {
    return IsShown(fields, j);
}

bool IsShownShortField(const std::vector<std::string_view>& fields, std::size_t j) {
    return IsShown(fields, j);
}

std::string ShortRunText(std::string_view field) {
    std::string out;
    for (char c : field)
        if (c != '~') out.push_back(c);
    return out;
}

int FindMacro(const MacroTable& table, std::string_view name) {
    const std::string wanted = FoldCase(name);
    for (int i = 1; i <= table.UBound(); ++i)
        if (FoldCase(FieldText(table.Get(0, i))) == wanted) return i;
    return 1;
}

ImageCode ParseImageCode(std::string_view value) {
    const std::vector<std::string> parts = Split(value, ',');
    ImageCode code;
    if (parts.size() > 0) code.source = parts[0];
    if (parts.size() > 1) code.width = parts[1];
    if (parts.size() > 2) code.height = parts[2];
    if (parts.size() > 3) code.stretch = parts[3];
    return code;
}

}  // namespace kavro::document
