#pragma once

#include "cli/Options.h"

namespace kavro::app {

// The whole program; returns the exit status.
int RunProgram(int argc, char** argv);

}  // namespace kavro::app
