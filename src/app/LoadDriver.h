#pragma once

namespace kavro::app {

struct Viewer;

// The load driver: a complete (re)load of the named documents, laid out and painted.
// Throws LoadError when a document cannot be loaded.
void cmdLoad_Click(Viewer& v);

// Empties the background table and the section controls; every step independent.
void ClearSection(Viewer& v);

}  // namespace kavro::app
