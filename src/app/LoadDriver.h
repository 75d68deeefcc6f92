#pragma once

#include <string>
#include <vector>

namespace kavro::app {

struct Viewer;

// The load driver: a complete (re)load of the named documents, laid out and painted.
// Throws LoadError when a document cannot be loaded.
void cmdLoad_Click(Viewer& v);

// The places a load looks for the document of a name and for the style file, first choice
// first, in every metadata folder (no style places without a style name); the first of them
// that exists, in any case of its name, or empty.
std::vector<std::string> DocumentPaths(const Viewer& v, const std::string& name);
std::vector<std::string> StylePaths(const Viewer& v);
std::string FindFirst(Viewer& v, const std::vector<std::string>& paths);
std::vector<std::string> SplitDocNames(const std::string& names);

// Empties the background table and the section controls; every step independent.
void ClearSection(Viewer& v);

}  // namespace kavro::app
