#pragma once

#include "layout/Load.h"

namespace kavro::layout {

// Gives surface n - 1 its background (colour or picture bands) and its final height by the
// background style of region row n.
void PaintSection(const Load& v, int n);

}  // namespace kavro::layout
