#include "encoding/XmlEncoding.h"

#include <array>

namespace kavro::encoding {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// The encodings the parser decodes itself: its built-in ones and windows-1252, which the reader
// maps byte by byte (its five undefined bytes read as U+FFFD instead of stopping the load).
constexpr std::array<std::string_view, 9> kParserEncodings = {
    "UTF-8",    "UTF-16",       "UTF-16BE", "UTF-16LE", "ISO-8859-1",
    "US-ASCII", "windows-1252", "cp1252",   "x-cp1252"};

bool ParserReads(std::string_view name) {
    for (const std::string_view known : kParserEncodings)
        if (SameName(name, known)) return true;
    return false;
}

bool StartsWith(std::string_view head, std::initializer_list<unsigned char> bytes) {
    if (head.size() < bytes.size()) return false;
    std::size_t i = 0;
    for (const unsigned char b : bytes)
        if (static_cast<unsigned char>(head[i++]) != b) return false;
    return true;
}

// [A-Za-z] ([A-Za-z0-9._] | '-')*, as XML writes encoding names.
bool IsEncodingName(std::string_view name) {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.empty() || !letter(name.front())) return false;
    for (const char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-') return false;
    return true;
}

TextPosition PositionOf(std::string_view text, std::size_t offset) {
    TextPosition at;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) {
            ++at.line;
            at.column = 1;
        } else if (text[i] != '\n') {
            ++at.column;
        }
    }
    return at;
}

// The declaration of EBCDIC text, read through the common EBCDIC code page (the characters a
// declaration uses are the same in all of them).
std::string EbcdicHead(std::string_view head) {
    std::string text;
    if (auto transcoder = Transcoder::Open("IBM037")) transcoder->Convert(head, false, &text);
    return text;
}

}  // namespace

std::string DeclaredEncoding(std::string_view text, TextPosition* where) {
    if (text.size() < 6 || text.substr(0, 5) != "<?xml" || !IsSpace(text[5])) return {};
    const std::size_t end = text.find("?>");
    const std::string_view declaration = text.substr(0, end);
    for (std::size_t at = declaration.find("encoding"); at != std::string_view::npos;
         at = declaration.find("encoding", at + 1)) {
        if (!IsSpace(declaration[at - 1])) continue;
        std::size_t i = at + 8;
        while (i < declaration.size() && IsSpace(declaration[i]))
            ++i;
        if (i >= declaration.size() || declaration[i] != '=') continue;
        ++i;
        while (i < declaration.size() && IsSpace(declaration[i]))
            ++i;
        if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) continue;
        const char quote = declaration[i++];
        const std::size_t close = declaration.find(quote, i);
        if (close == std::string_view::npos) return {};
        const std::string_view name = declaration.substr(i, close - i);
        // Only a well-formed name reaches iconv, whose names may carry options after "/";
        // the parser reports any other.
        if (!IsEncodingName(name)) return {};
        if (where) *where = PositionOf(text, i);
        return std::string(name);
    }
    return {};
}

EncodingChoice ChooseEncoding(std::string_view head) {
    EncodingChoice choice;
    // UTF-32 (with or without a byte order mark) before UTF-16, whose marks begin the same way.
    if (StartsWith(head, {0x00, 0x00, 0xFE, 0xFF}) || StartsWith(head, {0x00, 0x00, 0x00, 0x3C})) {
        choice.convertFrom = "UTF-32BE";
        choice.parserReadsDeclaration = false;
        return choice;
    }
    if (StartsWith(head, {0xFF, 0xFE, 0x00, 0x00}) || StartsWith(head, {0x3C, 0x00, 0x00, 0x00})) {
        choice.convertFrom = "UTF-32LE";
        choice.parserReadsDeclaration = false;
        return choice;
    }
    if (StartsWith(head, {0xEF, 0xBB, 0xBF}) || StartsWith(head, {0xFE, 0xFF}) ||
        StartsWith(head, {0xFF, 0xFE}) || StartsWith(head, {0x00, 0x3C, 0x00, 0x3F}) ||
        StartsWith(head, {0x3C, 0x00, 0x3F, 0x00}))
        return choice;
    if (StartsWith(head, {0x4C, 0x6F, 0xA7, 0x94})) {
        // "<?xm" in EBCDIC: the declaration names the code page.
        choice.parserReadsDeclaration = false;
        const std::string text = EbcdicHead(head);
        choice.convertFrom = DeclaredEncoding(text, &choice.namePosition);
        return choice;
    }
    const std::string name = DeclaredEncoding(head, &choice.namePosition);
    if (!ParserReads(name)) choice.convertFrom = name;
    return choice;
}

}  // namespace kavro::encoding
