#pragma once

#include <memory>
#include <string>

#include "layout/SectionForm.h"

namespace kavro::app {

// A hidden command button: only its geometry and caption matter.
struct CommandButton : toolkit::Control {
    std::string Caption;
};

using layout::Frame;

// The one window with its controls, as designed: the section controls the layout uses, plus
// the load timer and the hidden buttons.
class Form1 : public layout::SectionForm {
  public:
    explicit Form1(std::unique_ptr<toolkit::FontEngine> fonts);

    toolkit::Timer timLoad;
    CommandButton cmdLoad, cmdLastSect, cmdNextSect, cmdUp, cmdDown;
};

}  // namespace kavro::app
