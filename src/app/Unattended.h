#pragma once

#include "app/Viewer.h"

namespace kavro::app {

// What a frontend starts the viewer for besides reading: a move list shown for a few seconds
// before the game (--seconds, --any-key), or a document beside a running game that turns its
// sections by itself (--cycle).

// Starts the countdown (Seconds) and the section cycle (CycleSeconds) that are asked for; the
// program calls it once, after the first load.
void StartUnattended(Viewer& v);

// The countdown's timer: counts the time since its last tick on the services' clock (unless
// paused), draws the bar, and ends the program with status 0, without saving the view flags,
// when no time is left.
void timCountdown_Timer(Viewer& v);

// The cycle's timer: the next section, after the last the first.
void timCycle_Timer(Viewer& v);

// Any key or button, before its action: with AnyKey it ends the program with status 0 without
// saving the view flags; a running countdown is paused, or runs on when it was paused.
void AnyInput(Viewer& v);

// Draws the countdown bar for the time left: full width at the start, grey while paused.
void ShowCountdownBar(Viewer& v);

}  // namespace kavro::app
