#pragma once

namespace kavro::app {

// While on, SIGTERM and SIGINT end the program at once with status 0. A frontend ends a viewer
// it started this way (and a user with Ctrl+C) before the video system takes the signals over
// (it turns them into a quit event, which ends the event loop with status 0); nothing has been
// written by then. Off gives the signals their default handling back.
void EndAtOnceOnSignals(bool on);

}  // namespace kavro::app
