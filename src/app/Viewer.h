#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/Actions.h"
#include "app/Form1.h"
#include "document/ContentHandler.h"
#include "document/ConvertedDocument.h"
#include "document/Diagnostics.h"
#include "document/SaxReader.h"
#include "imaging/PictureFiles.h"
#include "toolkit/Services.h"

namespace kavro::app {

// One row of the background region table.
struct BackgroundRegion {
    std::optional<long> Colour;     // red + 256 * green + 65536 * blue
    std::optional<int> FirstLabel;  // upper bound of lblText + 1 when the region starts
    std::optional<int> LastLabel;   // upper bound of lblText when it ends
    document::Field Source;         // picture file name
    document::Field Style;          // style, as text
};

// Everything the viewer knows during a run: the window with its controls and all the state
// its procedures share. Owned by main; a test builds a fresh one.
struct Viewer {
    Viewer(toolkit::Services& services, std::unique_ptr<toolkit::FontEngine> fonts)
        : sys(services), form(std::move(fonts)) {}

    toolkit::Services& sys;
    Form1 form;

    // Command line.
    std::string RomName, DocName, StyleName;

    // Settings file.
    std::int16_t ZoomKey = 17, ExitKey = 27, RemoveImagesKey = 18, RemoveFormattingKey = 32;
    std::int16_t ScrollUpKey = 38, ScrollDownKey = 40, PrevSectionKey = 37, NextSectionKey = 39;
    std::optional<std::int16_t> BordersKey;  // optional key that toggles control borders
    bool Zoomed = false, NoImages = false, NoFormatting = false;
    bool BordersShown = false;
    ControllerMap ControllerInputs = DefaultControllerMap();
    int Rotate = 0;  // degrees the picture is turned on the physical screen

    // Converted document and the reader.
    document::ConvertedDocument doc;
    document::HandlerContext handlerContext;
    std::unique_ptr<document::SaxReader> SaxReader;
    std::unique_ptr<document::ContentHandler> DocHandler;
    // Authoring findings (kavro --check); null in normal viewing.
    document::Diagnostics* diagnostics = nullptr;

    // Layout and painting.
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

    // Viewing.
    std::int16_t CurrentSection = 0;
    bool Loaded = false;  // a load has finished
};

}  // namespace kavro::app
