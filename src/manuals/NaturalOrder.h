#pragma once

#include <string_view>

namespace kavro::manuals {

// The order people number pages in: runs of digits compare by their value ("p2" before
// "p10"), everything else by byte, ignoring ASCII letter case; equal names by byte.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace kavro::manuals
