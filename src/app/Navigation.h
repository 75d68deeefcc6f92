#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// Scrolling by one line of the window's font, and circular section switching. All of them do
// nothing before the first load has finished.
void cmdUp_Click(Viewer& v);
void cmdDown_Click(Viewer& v);
void cmdLastSect_Click(Viewer& v);
void cmdNextSect_Click(Viewer& v);

// After a reload: makes section current again with its surface's top at top, as far as the
// section still exists (else the last one) and is still long enough to be scrolled that far.
void KeepPlace(Viewer& v, int section, float top);

}  // namespace kavro::app
