#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// Scrolling by one line of the window's font, and circular section switching. All of them do
// nothing before the first load has finished.
void cmdUp_Click(Viewer& v);
void cmdDown_Click(Viewer& v);
void cmdLastSect_Click(Viewer& v);
void cmdNextSect_Click(Viewer& v);

// Scroll steps in a page: as many whole steps as fit in the screen area's height less one
// step, at least one.
int StepsPerPage(float area_height, float step);
// A page up or down, step by step, each stopping where a single step would.
void PageUp(Viewer& v);
void PageDown(Viewer& v);
// Puts section k (from 1) at the top of the screen area, as a section switch does.
void GoToSection(Viewer& v, int k);

}  // namespace kavro::app
