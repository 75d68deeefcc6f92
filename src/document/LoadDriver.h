#pragma once

namespace kavro::app {
struct Viewer;
}

namespace kavro::document {

// The load driver: a complete (re)load of the named documents, laid out and painted.
// Throws LoadError when a document cannot be loaded.
void cmdLoad_Click(app::Viewer& v);

// Empties the background table and the section controls; every step independent.
void ClearSection(app::Viewer& v);

}  // namespace kavro::document
