#include "document/ContentHandler.h"

#include <cmath>
#include <string>

namespace kavro::document {

using namespace std::string_view_literals;

namespace {

std::string WithoutChars(std::string_view text, std::string_view drop) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (drop.find(c) == std::string_view::npos) out.push_back(c);
    return out;
}

// Value of the first attribute; info, font and icon cannot do without it.
const std::string& FirstAttribute(const Attributes& attributes, std::string_view element) {
    if (attributes.empty())
        throw HandlerError("the <" + std::string(element) + "> element has no attribute");
    return attributes.front().second;
}

// Stores the first three comma-separated parts of a colour in fields 2, 3 and 4.
void StoreColour(MacroTable& table, int column, const std::string& value) {
    std::string_view rest = value;
    for (int field = 2; field <= 4; ++field) {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos && field < 4)
            throw HandlerError("the color value \"" + value +
                               "\" has fewer than three parts separated by \",\"");
        table.At(field, column) = std::string(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
}

// Whether text, with ASCII letters lowered, is the given lower-case name; no copy is made.
bool IsNamed(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

void Append(std::string& buffer, std::string_view code, std::string_view value) {
    buffer.push_back('|');
    buffer.append(code);
    buffer.append(value);
    buffer.push_back('|');
}

}  // namespace

void ContentHandler::startElement(std::string_view /*strNamespaceURI*/,
                                  std::string_view strLocalName, std::string_view /*strQName*/,
                                  const Attributes& oAttributes) {
    const std::string_view e = strLocalName;
    std::string& buffer = doc_.SectionBuffer;
    if (diagnostics_) CheckStart(e, oAttributes);

    if (IsNamed(e, "info"sv)) {
        doc_.InfoText = FirstAttribute(oAttributes, "info");
        if (set_caption_) set_caption_(doc_.InfoText);
        context_.CurrentElement.clear();
    } else if (IsNamed(e, "textwidth"sv)) {
        context_.CurrentElement = "textwidth";
    } else if (IsNamed(e, "head"sv)) {
        context_.CurrentElement = "head";
    } else if (IsNamed(e, "section"sv)) {
        context_.CurrentElement = "section";
        context_.InSection = true;
        doc_.SectionMarkup.emplace_back();
        if (oAttributes.empty())
            buffer.append("|bg=default|");
        else
            Append(buffer, "bg=", oAttributes.front().second);
        if (section_start_) section_start_();
    } else if (IsNamed(e, "fontmacro"sv)) {
        MacroTable& table = doc_.FontMacros;
        const int column = table.AddColumn();
        for (const auto& [name, value] : oAttributes) {
            if (IsNamed(name, "size"sv))
                table.At(1, column) = value;
            else if (IsNamed(name, "color"sv))
                StoreColour(table, column, value);
        }
        context_.CurrentElement = "fontmacro";
    } else if (IsNamed(e, "bgmacro"sv)) {
        MacroTable& table = doc_.BgMacros;
        const int column = table.AddColumn();
        for (const auto& [name, value] : oAttributes) {
            if (IsNamed(name, "name"sv))
                table.At(0, column) = value;
            else if (IsNamed(name, "style"sv))
                table.At(1, column) = value;
            else if (IsNamed(name, "color"sv))
                StoreColour(table, column, value);
            else if (IsNamed(name, "src"sv))
                table.At(5, column) = value;
        }
        context_.CurrentElement = "bgmacro";
    } else if (IsNamed(e, "font"sv)) {
        context_.CurrentElement = "font";
        Append(buffer, "fs=", FirstAttribute(oAttributes, "font"));
    } else if (IsNamed(e, "icon"sv)) {
        context_.CurrentElement = "icon";
        Append(buffer, "ic=", FirstAttribute(oAttributes, "icon"));
    } else if (IsNamed(e, "img"sv)) {
        context_.CurrentElement = "img";
        std::string source, width, height, stretch = "0";
        for (const auto& [name, value] : oAttributes) {
            if (IsNamed(name, "src"sv))
                source = value;
            else if (IsNamed(name, "width"sv))
                width = value;
            else if (IsNamed(name, "height"sv))
                height = value;
            else if (IsNamed(name, "stretch"sv))
                stretch = value;
        }
        buffer.append("|im=").append(source).append(",").append(width).append(",");
        buffer.append(height).append(",").append(stretch).append("|");
    }
}

void ContentHandler::endElement(std::string_view /*strNamespaceURI*/, std::string_view strLocalName,
                                std::string_view /*strQName*/) {
    const std::string_view n = strLocalName;
    std::string& buffer = doc_.SectionBuffer;
    if (diagnostics_) CheckEnd(n);

    if (n == "section"sv) {
        context_.InSection = false;
        // Element 0 is never written: an end without a start (only possible when a file
        // starts mid-section) still gets an element of its own.
        if (doc_.SectionMarkup.size() < 2) doc_.SectionMarkup.emplace_back();
        std::string& stored = doc_.SectionMarkup.back();
        stored = std::move(buffer);
        stored.append("|bge|");
        buffer.clear();
        // Sections tend to be alike in size: one allocation instead of a growth series.
        buffer.reserve(stored.size());
    }
    if (n == "info"sv || n == "head"sv || n == "section"sv || n == "textwidth"sv) {
        context_.CurrentElement.clear();
        buffer.clear();
    }
    if (IsNamed(n, "font"sv))
        buffer.append("|fed|");
    else if (IsNamed(n, "icon"sv) || IsNamed(n, "img"sv))
        buffer.push_back('|');
}

void ContentHandler::characters(std::string_view strChars) {
    if (diagnostics_) CheckText(strChars);
    const std::string& current = context_.CurrentElement;
    if (current.empty()) return;
    // After tab removal the piece would be empty.
    const std::size_t first = strChars.find_first_not_of('\t');
    if (first == std::string_view::npos) return;

    if (current == "textwidth"sv) {
        const double rounded = RoundHalfEven(Val(strChars));
        if (!(rounded >= -32768.0 && rounded <= 32767.0))
            throw HandlerError("the text width \"" + std::string(strChars) +
                               "\" does not fit in a 16-bit integer");
        doc_.LineChars = static_cast<std::int16_t>(rounded);
        return;
    }
    if (current == "head"sv) return;
    if (current == "fontmacro"sv || current == "bgmacro"sv) {
        if (Trim(WithoutChars(strChars, "\r\n\t")).empty()) return;
        MacroTable& table = current == "fontmacro"sv ? doc_.FontMacros : doc_.BgMacros;
        // Text left over from a macro of an earlier file (the tables were emptied since)
        // has no column to name; column 0 stays unwritten.
        if (table.UBound() < 1) return;
        table.At(0, table.UBound()) = Trim(strChars);
        return;
    }
    if (!context_.InSection) return;
    // Appends the piece without its tabs and without one leading "|", segment by segment:
    // section text is the bulk of a document.
    std::string_view rest = strChars.substr(first);
    if (rest.front() == '|') rest.remove_prefix(1);
    std::string& buffer = doc_.SectionBuffer;
    while (!rest.empty()) {
        const std::size_t tab = rest.find('\t');
        buffer.append(rest.substr(0, tab));
        if (tab == std::string_view::npos) break;
        rest.remove_prefix(tab + 1);
    }
}

}  // namespace kavro::document
