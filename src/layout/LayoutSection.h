#pragma once

#include <optional>
#include <string_view>

#include "layout/Load.h"

namespace kavro::layout {

// Lays out section s (counted from 0) on picSection element s: text runs, icons and images
// along lines, each line aligned on a common bottom edge. Throws std::out_of_range when the
// section does not exist; nothing inside the layout escapes as an error.
void LayoutSection(const Load& v, int s);

// Index of the font macro of that name (ignoring case), else 1.
int FindFontMacro(const Load& v, std::string_view name);
// Index of the background macro of that name (ignoring case), else 1.
int FindBgMacro(const Load& v, std::string_view name);

// The point size at which "0" is as wide as size percent of its width at the window's current
// size; nothing when size is not a number. The window's font size is the same afterwards.
std::optional<float> FitFontSize(const Load& v, const document::Field& size);

}  // namespace kavro::layout
