#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// Runs the action of the first key-code setting equal to the key (modifiers are ignored).
// The exit key saves the view flags and ends the program (throws toolkit::ProgramEnd).
void Form_KeyDown(Viewer& v, int KeyCode, int Shift);

// Gives every text run, icon, image and placeholder the same border style.
void SetBorders(Viewer& v, int BorderStyle);

}  // namespace kavro::app
