#pragma once

#include <string_view>
#include <vector>

namespace kavro::base {

// The pieces of text between separators, empty ones included: "a;;b" gives "a", "", "b", and
// text without a separator (the empty text too) is one piece.
std::vector<std::string_view> Split(std::string_view text, char separator);

// The text without the characters of blanks at either end.
std::string_view Trim(std::string_view text, std::string_view blanks = " ");

}  // namespace kavro::base
