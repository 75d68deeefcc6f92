#pragma once

#include <string>
#include <vector>

#include "layout/Load.h"

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

    void RaiseLineBottom(double bottom) {
        if (bottom > line_bottom) line_bottom = bottom;
    }
};

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

// Assigns value to target when it is a finite, non-negative size (a control refuses others).
bool SetSize(float& target, double value);

}  // namespace kavro::layout
