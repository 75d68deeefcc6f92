#pragma once

#include <string>

#include "app/Viewer.h"

namespace kavro::app {

// The viewer's state as one JSON object (names as the program uses them), for frontends,
// tests and document authors checking a document.
std::string DumpState(const Viewer& v);

}  // namespace kavro::app
