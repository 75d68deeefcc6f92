#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavro::base {

// The pieces of text between separators, empty ones included: "a;;b" gives "a", "", "b", and
// text without a separator (the empty text too) is one piece.
std::vector<std::string_view> Split(std::string_view text, char separator);

// The text without the characters of blanks at either end.
std::string_view Trim(std::string_view text, std::string_view blanks = " ");

// ASCII letters in lower case, every other byte as it is: names of files, keys and settings
// compare this way whatever the process's locale.
inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
std::string LowerAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kavro::base
