#pragma once

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "document/Diagnostics.h"
#include "import/ItemChoice.h"

namespace kavro::app {

// What kavro --check looks at: the program folder, the command line's words as one text, and
// the screens (pixels) to lay the documents out on.
struct CheckRequest {
    std::string home;
    std::vector<std::string> words;  // the command line's words, as given
    std::vector<std::pair<int, int>> screens{{1920, 1080}};
    bool quiet = false;             // errors only
    import::ItemChoice item;        // --system, --parent
    std::string program = "kavro";  // the program's name as invoked
};

// Loads the documents as the viewer would, without a window, once per screen, and collects
// every finding. A document that cannot be loaded is an error finding, not an exception.
// Throws CommandLineError or SettingsError (from start-up) and std::runtime_error when no font
// is available.
document::Diagnostics CheckDocuments(const CheckRequest& request);

// Runs the check and prints the findings one a line, files named relative to the current
// folder when they lie below it. Returns kExitOk when nothing was printed, kExitLoad when
// anything was.
int RunCheck(const CheckRequest& request, std::ostream& out);

// The screen in both orientations: (w, h) and (h, w); a square screen once.
std::vector<std::pair<int, int>> BothOrientations(std::pair<int, int> screen);

}  // namespace kavro::app
