#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/ManualSettings.h"

namespace kavro::app {

struct Viewer;

// When name is a manual's document name and there is a manual for the item (and no document
// file, which the caller has looked for), turns it into pages and reads the document of them;
// false when it is not a manual. Throws LoadError when the manual cannot be read.
bool LoadManual(Viewer& v, const std::string& name);

// Run by the event loop when the background drawing of a manual's pages moved on: updates the
// progress bar and, when a page near the one shown or the last page is ready, loads again
// keeping the place.
void PagesArrived(Viewer& v);

// kavro --import-manuals DIR / --import FILE.pdf: prepares the pages of every manual file (PDF
// or archive) found in the folder (or of the one file) for a screen of that size, with a
// progress line on out; problems go to err. Returns the exit status (3 when any manual could
// not be prepared).
int ImportManuals(const std::string& target, const std::string& settings_file, int screen_width,
                  int screen_height, std::ostream& out, std::ostream& err);

}  // namespace kavro::app
