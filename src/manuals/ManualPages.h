#pragma once

#include <functional>
#include <string>
#include <vector>

#include "manuals/ManualSearch.h"
#include "manuals/PageCache.h"

namespace kavro::manuals {

// One page picture of a manual, with its size in pixels (0 when its header cannot be read).
struct Page {
    std::string path;
    int width = 0;
    int height = 0;
};

// Told after each page is ready: pages done so far, pages in all.
using PageProgress = std::function<void(int done, int total)>;

struct PrepareRequest {
    ManualFile manual;
    int width_px = 0;         // the width PDF pages are drawn at
    std::string search_path;  // where pdftoppm and pdfinfo are looked for (as $PATH)
    const PageCache* cache = nullptr;
    PageProgress progress;  // may be empty
};

// The pages of a manual, first to last: a PDF's drawn at the width, an archive's page pictures
// (natural order of their names) at their own size, both kept in the cache and taken from it
// when there; a folder's pictures as they are. Throws ManualError; a manual that fails leaves
// nothing in the cache.
std::vector<Page> PreparePages(const PrepareRequest& request);

// The name of page number (from 1) in a cache entry: page-0007.png.
std::string PageFileName(int number, const std::string& extension);

// The size of a page picture from its header; 0 x 0 when it cannot be read.
Page MeasurePage(const std::string& path);

}  // namespace kavro::manuals
