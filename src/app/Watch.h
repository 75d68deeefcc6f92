#pragma once

#include <string>
#include <vector>

#include "app/Viewer.h"

namespace kavro::app {

// kavro --watch: the window follows the files as the author saves them.

// The files the last load read or looked for: each document, the places of the style file,
// and every icon, image and background picture the layout looked up (found or not, so that
// adding a missing picture counts as a change).
std::vector<std::string> WatchedFiles(const Viewer& v);

// After a change on disk. The documents are read on their own first: when they cannot be
// loaded, the view stays as it is and the bar at the bottom of the window says where and why.
// Otherwise a full reload that keeps the current section and the scroll position within it;
// the bar goes. Returns whether the view was reloaded.
bool ReloadAfterChange(Viewer& v);

// The bar: "file:line:column: message" of a failed load, or nothing.
void ShowErrorBar(Viewer& v, const std::string& text);
void HideErrorBar(Viewer& v);
std::string DescribeLoadError(const document::LoadError& error);

}  // namespace kavro::app
