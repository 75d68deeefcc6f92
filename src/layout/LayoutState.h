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
#include "layout/FolderListings.h"
#include "forms/Services.h"

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
    // What the latest LayoutSection placed on its surface, for PaintSection: the first index
    // of each kind it used (-1: none) and the bottom of its content (its top margin when it
    // placed nothing).
    struct PlacedContent {
        int FirstLabel = -1, FirstIcon = -1, FirstImage = -1;
        double Bottom = 0;
    } SectionContent;
    bool CenterPending = false;
    float CenterOffset = 0;
    float TileCarry = 0;
    imaging::PictureCache pictures;
    // Fitted sizes by (base size, percentage): a section of many runs in one font costs one
    // search.
    std::map<std::pair<float, double>, float> fittedSizes;
    // Normal-file lookups of the current load: a file named many times is looked up once, and
    // a folder is listed at most once to match names written in another case.
    std::unordered_map<std::string, std::string> fileLookups;
    // Icon and image files of the current load by folder and name ("icons/lp.gif").
    std::unordered_map<std::string, std::string> itemFiles;
    FolderListings folderListings;
    // A picture a generated document brings (a manual's page): its img elements name it, and
    // the image lookup finds this file as if it lay in the item's images folder. Forgotten
    // with the other lookups at the next load.
    void ProvideImage(const std::string& name, const std::string& path) {
        itemFiles["images/" + name] = path;
    }
    // The path of the normal file named by path, ignoring the case of its file name; empty
    // when there is none.
    const std::string& FindFile(const std::string& path) {
        auto [it, added] = fileLookups.try_emplace(path);
        if (added) it->second = folderListings.Find(path);
        return it->second;
    }
};

}  // namespace kavro::layout
