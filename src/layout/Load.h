#pragma once

#include <string>

#include "document/ConvertedDocument.h"
#include "layout/LayoutState.h"
#include "layout/SectionForm.h"
#include "toolkit/Services.h"

namespace kavro::layout {

// What the layout and painting of one load work with: the converted document, the form's
// section controls, the state carried between sections, and the view's settings. The viewer
// hands these over; layout never sees the rest of it.
struct Load {
    SectionForm& form;
    const document::ConvertedDocument& doc;
    LayoutState& state;
    toolkit::Services& sys;      // the program folder
    const std::string& RomName;  // the item whose folders are searched before the default one
    bool NoImages = false;
    bool NoFormatting = false;
};

}  // namespace kavro::layout
