#pragma once

#include <cstdint>
#include <functional>
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
#include "manuals/PageRasteriser.h"
#include "forms/Services.h"

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
    // --system and --parent: the item's software list and the parent that stands in for it.
    import::ItemChoice item;
    // The folder below metadata/ whose pictures and styles the documents use (set by Main):
    // the item's own, or its parent's when the item has none. Empty: RomName.
    std::string itemFolder;
    const std::string& ItemFolderName() const { return itemFolder.empty() ? RomName : itemFolder; }
    // Where the reader left documents (empty: not remembered); --from-start ignores it.
    std::string ResumeFile;
    bool FromStart = false;
    // A manual's pages drawn in the background (window only: wakeForPages hands them to the
    // event loop), the pages of the manual shown and how many of them were ready at its load.
    std::function<void()> wakeForPages;
    std::unique_ptr<manuals::PageRasteriser> pageDrawing;
    std::vector<manuals::Page> manualPages;
    int pagesShown = 0;
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
    // For frontends ([Settings] Seconds, AnyKey, Display; --seconds, --any-key, --display,
    // --cycle): end after so many seconds (0: never), end on any key or button without saving,
    // the screen to open on (from 0), the next section every so many seconds (0: never).
    int Seconds = 0;
    bool AnyKey = false;
    int Display = 0;
    int CycleSeconds = 0;
    struct Countdown {
        bool running = false, paused = false;
        std::int64_t total_ms = 0, left_ms = 0;
        std::int64_t counted_at = 0;  // the clock when left_ms was last brought up to date
    } countdown;

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
        return {form, doc, *this, sys, ItemFolderName(), NoImages, NoFormatting, diagnostics};
    }

    // Viewing.
    // Wider than the control indices: a load can show 32768 surfaces (indices 0 to 32767).
    int CurrentSection = 0;
    bool Loaded = false;  // a load has finished
};

}  // namespace kavro::app
