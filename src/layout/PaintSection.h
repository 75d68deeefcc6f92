#pragma once

#include "app/Viewer.h"

namespace kavro::layout {

// Gives surface n - 1 its background (colour or picture bands) and its final height by the
// background style of region row n.
void PaintSection(app::Viewer& v, int n);

}  // namespace kavro::layout
