#pragma once

#include <string>
#include <vector>

namespace kavro::app {

struct Viewer;

// The load driver: a complete (re)load of the named documents, laid out and painted.
// Throws LoadError when a document cannot be loaded.
void cmdLoad_Click(Viewer& v);

// The files a load of the current names reads: the document of each name, and the places the
// style file is looked for (first choice first; none without a style name).
std::string DocumentPath(const Viewer& v, const std::string& name);
std::vector<std::string> StylePaths(const Viewer& v);
std::vector<std::string> SplitDocNames(const std::string& names);

// Empties the background table and the section controls; every step independent.
void ClearSection(Viewer& v);

}  // namespace kavro::app
