#pragma once

#include <string>

namespace kavro::app {

// The viewer's entry in its module: the whole program with a window (or a picture of one),
// given the command line as main gets it; returns the exit status.
using ViewerEntry = int (*)(int argc, char** argv);
inline constexpr const char* kViewerModule = "kavro-viewer.so";
inline constexpr const char* kViewerEntry = "kavro_viewer_main";

// Loads the viewer module: beside the program (a build folder, a portable folder), else in the
// installed library folder relative to it. Nullptr with the reason in *error when neither holds
// a module that loads. The module stays loaded until the process ends.
ViewerEntry LoadViewer(const std::string& program_folder, std::string* error);

}  // namespace kavro::app
