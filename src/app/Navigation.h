#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// Scrolling by one line of the window's font, and circular section switching. All of them do
// nothing before the first load has finished.
void cmdUp_Click(Viewer& v);
void cmdDown_Click(Viewer& v);
void cmdLastSect_Click(Viewer& v);
void cmdNextSect_Click(Viewer& v);

}  // namespace kavro::app
