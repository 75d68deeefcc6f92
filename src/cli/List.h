#pragma once

#include <string>

#include "cli/Options.h"

namespace kavro::app {

// kavro --list ROM: the documents on standard output, problems on standard error; no window,
// no font, no video. Returns the exit status.
int RunList(const Options& options, const std::string& home);

}  // namespace kavro::app
