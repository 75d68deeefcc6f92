#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// Sets the screen area from the screen's orientation and the zoom flag and pins the scroll
// buttons to its right-hand corners.
void Form_Resize(Viewer& v);

}  // namespace kavro::app
