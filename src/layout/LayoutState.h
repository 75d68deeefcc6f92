#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "document/ConvertedDocument.h"
#include "imaging/PictureFiles.h"
#include "toolkit/Services.h"

namespace kavro::layout {

// One row of the background region table.
struct BackgroundRegion {
    std::optional<long> Colour;     // red + 256 * green + 65536 * blue
    std::optional<int> FirstLabel;  // upper bound of lblText + 1 when the region starts
    std::optional<int> LastLabel;   // upper bound of lblText when it ends
    document::Field Source;         // picture file name
    document::Field Style;          // style, as text
};

// What layout and painting carry from one section to the next, and across loads.
struct LayoutState {
    std::vector<BackgroundRegion> BackgroundRegions{BackgroundRegion{}};
    std::int16_t LastLabelIndex = -1, LastIconIndex = -1, LastImageIndex = -1;
    std::string LastPlacedKind;
    bool CenterPending = false;
    float CenterOffset = 0;
    float TileCarry = 0;
    imaging::PictureCache pictures;
    // Fitted sizes by (base size, percentage): a section of many runs in one font costs one
    // search.
    std::map<std::pair<float, double>, float> fittedSizes;
    // Normal-file lookups of the current load: a file named many times is looked up once.
    std::unordered_map<std::string, bool> fileLookups;
    bool FileExists(const std::string& path) {
        auto [it, added] = fileLookups.try_emplace(path, false);
        if (added) it->second = toolkit::Services::FileExists(path);
        return it->second;
    }
};

}  // namespace kavro::layout
