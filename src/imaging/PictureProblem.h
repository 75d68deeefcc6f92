#pragma once

#include <string>

namespace kavro::imaging {

// Why a picture file cannot be shown, in words for a document's author (the file cannot be
// read, is empty, is in a format the loader does not read, is broken, cut short, too large, or
// its decoder fails); empty when it decodes. Decodes the file afresh: for checks, not viewing.
std::string PictureProblem(const std::string& path);

}  // namespace kavro::imaging
