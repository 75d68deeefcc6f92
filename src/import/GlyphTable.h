#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::import {

// What a glyph code of a move-list file stands for: the icon file (without extension, looked
// up like any document icon) and the text shown when icons are off or the file is missing.
struct Glyph {
    std::string_view icon;
    std::string_view fallback;
};

// The glyph of marker '_' or '^' followed by the character c, or of '@' followed by a word;
// nothing when the code is not in the tables (the marker is then plain text).
std::optional<Glyph> FindGlyph(char marker, char c);
std::optional<Glyph> FindWordGlyph(std::string_view word);

// Every icon name the tables use, once each, sorted (the icon set must hold all of them).
std::vector<std::string_view> AllGlyphIcons();

// Every code of the tables as it is written in a file ("_A", "^E", "@A-button", ...).
std::vector<std::string> AllGlyphCodes();

}  // namespace kavro::import
