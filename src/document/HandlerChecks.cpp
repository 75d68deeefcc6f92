// The content handler's authoring checks: only run when a Diagnostics is attached.

#include <algorithm>
#include <array>

#include "document/ContentHandler.h"

namespace kavro::document {

using namespace std::string_view_literals;

namespace {

struct ElementRule {
    std::string_view name;
    // The attributes the element reads by name; empty with first_only: the first attribute,
    // whatever its name.
    std::vector<std::string_view> attributes;
    bool first_only = false;
};

const std::array<ElementRule, 9>& Rules() {
    static const std::array<ElementRule, 9> rules{{
        {"info", {}, true},
        {"head", {}, false},
        {"textwidth", {}, false},
        {"fontmacro", {"size", "color"}, false},
        {"bgmacro", {"name", "style", "color", "src"}, false},
        {"section", {}, true},
        {"font", {}, true},
        {"icon", {}, true},
        {"img", {"src", "width", "height", "stretch"}, false},
    }};
    return rules;
}

const ElementRule* FindRule(std::string_view lower) {
    for (const ElementRule& rule : Rules())
        if (rule.name == lower) return &rule;
    return nullptr;
}

std::string Hint(std::string_view word, const std::vector<std::string_view>& names,
                 std::string_view before, std::string_view after) {
    const std::string closest = ClosestName(word, names);
    if (closest.empty()) return std::string();
    return "; did you mean " + std::string(before) + closest + std::string(after) + "?";
}

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// What the layout makes of a colour attribute, for the author: nothing when it is fine.
std::string ColourProblem(const std::string& value) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = value.find(',', from);
        parts.push_back(value.substr(from, comma == std::string::npos ? comma : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (parts.size() < 3) return std::string();  // the handler fails on it: an error
    std::string problems;
    std::string used;
    bool usable = true;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto part = ToInteger(parts[i]);
        if (!part || *part < 0) {
            problems += (problems.empty() ? "" : ", ") + ("\"" + parts[i] + "\"") +
                        " is not a number from 0 to 255";
            usable = false;
        } else if (*part > 255) {
            problems += (problems.empty() ? "" : ", ") + parts[i] + " counts as 255";
        }
        if (part)
            used += (i ? "," : "") + std::to_string(std::min<int>(std::max<int>(*part, 0), 255));
    }
    if (parts.size() > 3)
        problems += std::string(problems.empty() ? "" : ", ") + "parts after the third are ignored";
    if (problems.empty()) return std::string();
    return "color \"" + value + "\": " + problems +
           (usable ? "; the colour used is " + used
                   : "; the colour is not used (the text keeps the colour it had)");
}

}  // namespace

void ContentHandler::Warn(const SourcePosition& at, std::string message) {
    diagnostics_->Report(at, Severity::Warning, std::move(message));
}

// Codes start with "|": the element's position belongs to the code's first letter.
void ContentHandler::Anchor(const SourcePosition& at) {
    diagnostics_->pending.anchors.push_back({doc_.SectionBuffer.size() + 1, at.line, at.column});
}

void ContentHandler::BeginFile(const std::string& file) {
    depth_ = 0;
    macro_open_ = false;
    if (diagnostics_) diagnostics_->files.push_back(SourcePosition{file, 1, 1});
}

void ContentHandler::CheckStart(std::string_view local_name, const Attributes& attributes) {
    ++depth_;
    const std::string e = ToLower(local_name);
    if (depth_ == 1) {
        // The root element may have any name.
        if (!diagnostics_->files.empty()) diagnostics_->files.back() = where;
        return;
    }
    const ElementRule* rule = FindRule(e);
    if (!rule) {
        std::vector<std::string_view> names;
        for (const ElementRule& r : Rules())
            names.push_back(r.name);
        Warn(where, "unknown element <" + std::string(local_name) + "> is ignored" +
                        Hint(local_name, names, "<", ">"));
        return;
    }

    // Attributes.
    for (std::size_t i = 0; i < attributes.size(); ++i) {
        const std::string& name = attributes[i].first;
        if (rule->first_only) {
            if (i > 0)
                Warn(where, "only the first attribute of <" + e + "> is read; \"" + name +
                                "\" is ignored");
            continue;
        }
        const std::string lower = ToLower(name);
        bool known = false;
        for (std::string_view a : rule->attributes)
            known = known || a == lower;
        if (known) continue;
        if (rule->attributes.empty())
            Warn(where, "<" + e + "> takes no attributes; \"" + name + "\" is ignored");
        else
            Warn(where, "unknown attribute \"" + name + "\" of <" + e + "> is ignored" +
                            Hint(name, rule->attributes, "\"", "\""));
    }
    const auto value = [&](std::string_view wanted) -> const std::string* {
        for (const auto& [name, v] : attributes)
            if (ToLower(name) == wanted) return &v;
        return nullptr;
    };

    if (e == "fontmacro" || e == "bgmacro") {
        macro_open_ = true;
        if (const std::string* colour = value("color")) {
            if (std::string problem = ColourProblem(*colour); !problem.empty())
                Warn(where, problem);
        } else if (e == "fontmacro") {
            Warn(where, "<fontmacro> has no color: its text is drawn black");
        }
    }
    if (e == "fontmacro") {
        const std::string* size = value("size");
        const auto number = size ? ToDouble(*size) : std::optional<double>(0.0);
        if (!size)
            Warn(where,
                 "<fontmacro> has no size: its text is set at the smallest size "
                 "(size=\"100\" is the base size)");
        else if (!number)
            Warn(where, "size \"" + *size +
                            "\" is not a number: the text keeps the size it had (use a "
                            "percentage of the base size, such as 100)");
        else if (*number <= 0 || *number > 1000)
            Warn(where, "size " + *size +
                            " is outside 1 to 1000 percent of the base size: the text is set "
                            "at the nearest size the font has");
    } else if (e == "bgmacro") {
        if (const std::string* style = value("style")) {
            const auto number = ToDouble(*style);
            if (!number || !(*number == 0 || *number == 1 || *number == 2 || *number == 3))
                Warn(where, "style \"" + *style +
                                "\" is not 0, 1, 2 or 3: the surface keeps the screen area's "
                                "height");
        }
    } else if (e == "img") {
        const std::string* source = value("src");
        if (!source || source->empty()) Warn(where, "<img> without src shows nothing");
        for (std::string_view dimension : {"width"sv, "height"sv}) {
            const std::string* text = value(dimension);
            if (!text || text->empty()) continue;
            const auto number = ToDouble(*text);
            if (!number || *number < 0)
                Warn(where, std::string(dimension) + " \"" + *text +
                                "\" is not a percentage of the screen area: the picture's " +
                                std::string(dimension) + " is not set");
        }
        if (const std::string* stretch = value("stretch"); stretch && !ToDouble(*stretch))
            Warn(where, "stretch \"" + *stretch + "\" is not a number: it is read as " +
                            (Val(*stretch) != 0 ? "stretch" : "0 (keep the picture's shape)"));
    } else if (e == "section") {
        if (context_.InSection)
            Warn(where, "<" + std::string(local_name) +
                            "> inside a section: the outer section's text goes to the inner one");
        if (local_name != "section"sv)
            Warn(where, "<" + std::string(local_name) +
                            "> starts a section, but only </section> in lower case ends one: "
                            "write <section>");
        diagnostics_->pending.file = where.file;
        Anchor(where);
    }
    if (e == "textwidth") textwidth_text_ = false;
    if (e == "icon" || e == "img") {
        picture_code_ = doc_.SectionBuffer.size() + 1;
        picture_text_ = false;
    }
    if (e == "font" || e == "icon" || e == "img") {
        if (!context_.InSection)
            Warn(where, "<" + e +
                            "> outside any section: it is not shown where it stands but at "
                            "the start of the next section");
        Anchor(where);
    }
}

void ContentHandler::CheckEnd(std::string_view local_name) {
    if (depth_ > 0) --depth_;
    const std::string e = ToLower(local_name);
    if (e == "fontmacro" || e == "bgmacro") macro_open_ = false;
    Diagnostics& d = *diagnostics_;
    if (e == "textwidth" && !textwidth_text_)
        Warn(where, "textwidth is empty: 40 characters per line are used");
    if ((e == "icon" || e == "img") && picture_code_) {
        if (picture_text_) d.pending.with_text.push_back(*picture_code_);
        picture_code_.reset();
    }
    if (local_name == "section"sv) {
        const std::size_t count = std::max<std::size_t>(doc_.SectionMarkup.size(), 2);
        if (d.sections.size() < count) d.sections.resize(count);
        d.sections[count - 1] = std::move(d.pending);
        d.pending = SectionSource{};
    } else if (local_name == "info"sv || local_name == "head"sv || local_name == "textwidth"sv) {
        d.pending = SectionSource{};
    }
}

void ContentHandler::CheckText(std::string_view text) {
    const std::string& current = context_.CurrentElement;
    const std::size_t shown = text.find_first_not_of(" \t\r\n");
    SourcePosition at = where;
    if (shown != std::string_view::npos) Advance(at, text.substr(0, shown));
    std::string_view visible =
        shown == std::string_view::npos ? std::string_view() : text.substr(shown);
    if (const std::size_t end = visible.find_last_not_of(" \t\r\n"); end != std::string_view::npos)
        visible = visible.substr(0, end + 1);
    const bool blank = IsBlank(text);
    if (picture_code_ && !blank) picture_text_ = true;

    if (current == "textwidth"sv) {
        if (blank) return;
        textwidth_text_ = true;
        const double read = RoundHalfEven(Val(text));
        if (read < 0 && read >= -32768)
            diagnostics_->Report(at, Severity::Error,
                                 "the line width (textwidth) " +
                                     std::to_string(static_cast<long>(read)) + " is negative");
        else if (!ToDouble(visible))
            Warn(at, "textwidth \"" + std::string(visible) + "\" is not a number: " +
                         (read == 0 ? std::string("40 characters per line are used")
                                    : "it is read as " + std::to_string(static_cast<long>(read))));
        else if (read == 0)
            Warn(at, "textwidth 0: 40 characters per line are used");
        return;
    }
    if (current == "fontmacro"sv || current == "bgmacro"sv) {
        if (blank) return;
        if (!macro_open_)
            Warn(at, "text after </" + current + "> renames the macro to \"" +
                         std::string(visible) + "\"; text between elements is not shown");
        else if (Trim(text).find_first_of("\r\n\t") != std::string::npos)
            Warn(at, "the name of this " + current +
                         " spans lines or holds tabs, so no markup can name it: write it on "
                         "one line with its tags");
        return;
    }
    if (current.empty() || current == "head"sv || !context_.InSection) {
        if (!blank)
            Warn(at, current == "head"sv ? "text inside <head> is not shown"
                                         : "text outside any section is not shown");
        return;
    }

    // Section text: anchor every piece that the handler appends (it drops tabs and one leading
    // "|"), so that a place in the markup leads back to its line and column.
    SourcePosition piece = where;
    std::size_t first = text.find_first_not_of('\t');
    if (first == std::string_view::npos) return;
    Advance(piece, text.substr(0, first));
    std::string_view rest = text.substr(first);
    if (rest.front() == '|') {
        rest.remove_prefix(1);
        ++piece.column;
    }
    std::size_t offset = doc_.SectionBuffer.size();
    while (!rest.empty()) {
        const std::size_t tab = rest.find('\t');
        const std::string_view segment = rest.substr(0, tab);
        if (!segment.empty())
            diagnostics_->pending.anchors.push_back({offset, piece.line, piece.column});
        offset += segment.size();
        Advance(piece, segment);
        if (tab == std::string_view::npos) break;
        ++piece.column;
        rest.remove_prefix(tab + 1);
    }
}

}  // namespace kavro::document
