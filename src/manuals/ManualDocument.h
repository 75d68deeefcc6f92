#pragma once

#include <string>
#include <vector>

#include "manuals/ManualPages.h"

namespace kavro::manuals {

// The name the generated document gives page n (from 1) in its img elements; the viewer is
// told which file each name stands for.
std::string PageImageName(int n);

// The share of the screen area's width a page takes: the column text runs are laid out in.
inline constexpr double kPageWidthShare = 0.9;

// The width in pixels pages are drawn at for a screen area of that width in twips.
int PageWidthPixels(double area_width_twips);

// A document of one section per page, each holding the page's picture as an image as wide as
// the column (kPageWidthShare of the screen area) and as high as its shape asks, on black; a
// page whose picture is not there shows "page n of N" instead. area_* in twips.
std::string ManualXml(const std::vector<Page>& pages, const std::string& title, double area_width,
                      double area_height);

}  // namespace kavro::manuals
