#pragma once

#include <string>

#include "document/ConvertedDocument.h"
#include "document/Diagnostics.h"
#include "layout/LayoutState.h"
#include "layout/SectionForm.h"
#include "forms/Services.h"

namespace kavro::layout {

// What the layout and painting of one load work with: the converted document, the form's
// section controls, the state carried between sections, and the view's settings. The viewer
// hands these over; layout never sees the rest of it.
struct Load {
    SectionForm& form;
    const document::ConvertedDocument& doc;
    LayoutState& state;
    toolkit::Services& sys;      // the metadata folders
    const std::string& RomName;  // the item whose folders are searched before the default one
    bool NoImages = false;
    bool NoFormatting = false;
    // Authoring findings (kavro --check); null in normal viewing.
    document::Diagnostics* diagnostics = nullptr;
};

}  // namespace kavro::layout
