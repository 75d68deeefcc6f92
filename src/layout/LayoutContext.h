#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "layout/Load.h"
#include "layout/MacroLookup.h"

namespace kavro::layout {

// The state of one LayoutSection call that the handlers of its fields share.
struct LayoutContext {
    const Load& v;
    toolkit::PictureBox* surface;
    double x = 0, y = 0, x0 = 0;
    int font_macro = 1;
    int bg_macro = 1;
    bool first_label = true, first_icon = true, first_image = true;
    // Per line.
    int line_first_label = -1, line_first_icon = -1, line_first_image = -1;
    double line_bottom = -1;
    // What this section placed: first indices and the lowest line bottom.
    LayoutState::PlacedContent placed{};
    // Authoring checks only (with diagnostics): the section, where each field of the line
    // starts in the section's markup, the characters placed on the line so far, and whether
    // its cut at the right edge was reported.
    int section = -1;
    std::vector<std::size_t> field_offsets{};
    std::size_t line_chars = 0;
    bool line_cut = false;

    MacroLookup macros{};
    // The colour of each font macro column met in this section, read once.
    std::vector<std::optional<std::optional<long>>> macro_colours{};
    // The point size each font macro column fits to, found once in this section (the base
    // size does not change while a section is laid out).
    std::vector<std::optional<std::optional<float>>> macro_points{};

    void RaiseLineBottom(double bottom) {
        if (bottom > line_bottom) line_bottom = bottom;
    }
};

// The first of the relative paths found in a metadata folder (the user's before the installed
// one), in any case of its name; empty when none is found, and then, with tried, every path
// looked at is put in it.
std::string FindInMetadata(const Load& v, std::initializer_list<std::string_view> relatives,
                           std::vector<std::string>* tried);

// Element allocation for a new label, icon, or image with its placeholder.
int AllocateLabel(LayoutContext& c);
int AllocateIcon(LayoutContext& c);
int AllocateImage(LayoutContext& c);

// Field handlers; each may replace fields[j + 1].
void PlaceTextRun(LayoutContext& c, std::vector<std::string>& fields, std::size_t j,
                  bool short_run);
void PlaceIcon(LayoutContext& c, std::vector<std::string>& fields, std::size_t j);
void PlaceImage(LayoutContext& c, std::vector<std::string>& fields, std::size_t j);
void StartBackground(LayoutContext& c, const std::string& name);
void EndBackground(LayoutContext& c);

// The colour of fields 2, 3, 4 of a macro column: each part a 16-bit integer, above 255 counts
// as 255; nothing when a part is not a number or negative.
std::optional<long> MacroColour(const document::MacroTable& table, int column);

// Authoring checks; each does nothing without diagnostics.
void NoteLine(LayoutContext& c, std::string_view raw, std::size_t line_offset);
void CheckMacroName(const LayoutContext& c, std::size_t j, const document::MacroTable& table,
                    std::string_view name, const char* kind);
// A missing icon or image file, unless the element holds text to show instead.
void ReportMissingFile(const LayoutContext& c, std::size_t j, const std::string& what,
                       const std::vector<std::string>& tried);
void CheckPicture(const LayoutContext& c, std::size_t j, const std::string& what,
                  const std::string& path, const toolkit::PicturePtr& picture);
// After an item is placed: whether it reaches past the screen area's right edge.
void CheckFits(LayoutContext& c, std::size_t j, const toolkit::Control& item,
               const toolkit::Label* label);
// The background of section n: its picture not found, not decodable, or cut at the bottom.
void CheckBackground(const Load& v, int n, const std::string& source,
                     const std::vector<std::string>& tried, const std::string& path,
                     const toolkit::PicturePtr& picture, double band_height, double surface_height,
                     int style);

// Assigns value to target when it is a finite, non-negative size (a control refuses others).
bool SetSize(float& target, double value);

}  // namespace kavro::layout
