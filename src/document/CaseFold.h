#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavro::document {

// The text with every character case-folded (simple folding: one character for one), so
// that two names that differ only in letter case, in any script, compare equal. Bytes that
// are not UTF-8 stay as they are.
std::string FoldCase(std::string_view utf8);

// The number of characters (code points) of UTF-8 text; a byte that does not continue a
// character counts as one.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace kavro::document
