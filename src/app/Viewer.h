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
#include "import/DatImport.h"
#include "layout/LayoutState.h"
#include "layout/Load.h"
#include "toolkit/Services.h"

namespace kavro::app {

using layout::BackgroundRegion;

// Everything the viewer knows during a run: the window with its controls and all the state
// its procedures share (the layout's part is the base). Owned by main; a test builds a fresh
// one.
struct Viewer : layout::LayoutState {
    Viewer(toolkit::Services& services, std::unique_ptr<toolkit::FontEngine> fonts)
        : sys(services), form(std::move(fonts)) {}

    toolkit::Services& sys;
    Form1 form;

    // Command line.
    std::string RomName, DocName, StyleName;
    std::string ProgramName = "kavro";  // as invoked, for the usage message

    // Settings file.
    std::int16_t ZoomKey = 17, ExitKey = 27, RemoveImagesKey = 18, RemoveFormattingKey = 32;
    std::int16_t ScrollUpKey = 38, ScrollDownKey = 40, PrevSectionKey = 37, NextSectionKey = 39;
    // Paging keys: PageUp, PageDown, Home and End.
    std::int16_t PageUpKey = 33, PageDownKey = 34, FirstSectionKey = 36, LastSectionKey = 35;
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
    // Indexes of the move-list and history files that documents were converted from.
    import::DatLibrary dataFiles;
    // Authoring findings (kavro --check); null in normal viewing.
    document::Diagnostics* diagnostics = nullptr;

    // What layout and painting work with, for the current view.
    layout::Load Layout() {
        return {form, doc, *this, sys, RomName, NoImages, NoFormatting, diagnostics};
    }

    // Viewing.
    // Wider than the control indices: a load can show 32768 surfaces (indices 0 to 32767).
    int CurrentSection = 0;
    bool Loaded = false;  // a load has finished
};

}  // namespace kavro::app
