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
    // The bar along the bottom of the window that says why the files being watched cannot be
    // loaded (--watch); hidden otherwise. Drawn over the sections.
    toolkit::ControlArray<toolkit::PictureBox> picErrorBar;
    toolkit::ControlArray<toolkit::Label> lblErrorBar;
    // A frontend's timers: the countdown (--seconds) and the section cycle (--cycle), both off
    // until the first load; the thin bar along the bottom that shows the time left.
    toolkit::Timer timCountdown, timCycle;
    toolkit::ControlArray<toolkit::PictureBox> picCountdown;
    // The bar along the bottom that shows how far a manual's pages are drawn: element 0 the
    // track, element 1 the part done, the label ("page 7 of 40") over both. Hidden otherwise.
    toolkit::ControlArray<toolkit::PictureBox> picPagesBar;
    toolkit::ControlArray<toolkit::Label> lblPagesBar;
};

}  // namespace kavro::app
