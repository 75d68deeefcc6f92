#pragma once

#include <memory>
#include <string>

#include "toolkit/Form.h"

namespace kavro::app {

// A hidden command button: only its geometry and caption matter.
struct CommandButton : toolkit::Control {
    std::string Caption;
};

// The frame whose geometry is the screen area.
struct Frame : toolkit::Control {
    float FontSize = 12.0f;
};

// The one window with its controls, as designed.
class Form1 : public toolkit::Form {
public:
    explicit Form1(std::unique_ptr<toolkit::FontEngine> fonts);

    toolkit::Timer timLoad;
    CommandButton cmdLoad, cmdLastSect, cmdNextSect, cmdUp, cmdDown;
    Frame fraScreenArea;
    toolkit::PictureBox picSwatch;
    toolkit::ControlArray<toolkit::PictureBox> picSection;
    toolkit::ControlArray<toolkit::Label> lblText;
    toolkit::ControlArray<toolkit::Image> imgIco;
    toolkit::ControlArray<toolkit::Image> imgImage;
    toolkit::ControlArray<toolkit::Image> imgPH;
};

}  // namespace kavro::app
