#pragma once

#include "app/Actions.h"
#include "app/Viewer.h"
#include "forms/Form.h"

namespace kavro::app {

// Does what the action does, whichever input asked for it. The exit action saves the view
// flags and ends the program (throws toolkit::ProgramEnd).
void RunAction(Viewer& v, Action action);

// Runs the action of the first key-code setting equal to the key (modifiers are ignored).
// The exit key saves the view flags and ends the program (throws toolkit::ProgramEnd).
void Form_KeyDown(Viewer& v, int KeyCode, int Shift);

// Scrolls one step per notch of the mouse wheel, up for positive notches, as the scroll keys do.
void Form_MouseWheel(Viewer& v, int notches);

// Runs the action of the first [Joystick] setting that lists the input.
void Form_ControllerDown(Viewer& v, const toolkit::ControllerInput& input);

// Gives every text run, icon, image and placeholder the same border style.
void SetBorders(Viewer& v, int BorderStyle);

}  // namespace kavro::app
