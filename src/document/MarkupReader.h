#pragma once

#include <concepts>
#include <string>
#include <string_view>
#include <vector>

#include "document/ConvertedDocument.h"

namespace kavro::document {

// Reading rules of a section string: the one place that takes markup apart.

// What a field is.
enum class FieldCode { Text, FontStart, Icon, Image, FontEnd, BgStart, BgEnd };

// Lines split at line feeds only (a carriage return stays in its line), as views into the
// markup, which must outlive them.
std::vector<std::string_view> SplitLines(std::string_view markup);
// Not of a string about to go, whose lines would point nowhere.
template <class Text>
requires std::same_as<Text, std::string> std::vector<std::string_view> SplitLines(Text&& markup)
= delete;
// One leading and then one trailing "|" dropped; a line that is then empty becomes "~".
std::string PrepareLine(std::string_view line);
// The same as a view into line (or a lasting "~").
std::string_view PreparedLine(std::string_view line);
// Fields split at every "|".
std::vector<std::string> SplitFields(std::string_view line);
// The same as views into line, put in fields (emptied first, its memory kept).
void SplitFieldViews(std::string_view line, std::vector<std::string_view>& fields);
// Whether a field has three or more characters (code points, not bytes).
bool IsLongField(std::string_view field);
// A field of three or more characters whose first three, ignoring case, are "fs=", "ic=",
// "im=", "fed", "bg=" or "bge" (tested in that order) is a code; anything else is text.
FieldCode Classify(std::string_view field);
// The part after the first "=" and before a second "=", if any.
std::string CodeValue(std::string_view field);
// Whether field j of the line is shown as text: fields of three or more characters always
// (when not codes); shorter ones when last on the line, or when neither empty nor "~".
bool IsShownShortField(const std::vector<std::string>& fields, std::size_t j);
bool IsShownShortField(const std::vector<std::string_view>& fields, std::size_t j);
// The text of a short run: every "~" removed.
std::string ShortRunText(std::string_view field);
// Column of the first macro whose name (field 0) matches ignoring case (in any script),
// else 1.
int FindMacro(const MacroTable& table, std::string_view name);

// The four values of an image code ("src,width,height,stretch"); missing ones are empty.
struct ImageCode {
    std::string source, width, height, stretch;
};
ImageCode ParseImageCode(std::string_view value);

}  // namespace kavro::document
