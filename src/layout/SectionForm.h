#pragma once

#include <memory>

#include "forms/Form.h"

namespace kavro::layout {

// A control of type T at its design-time place and visibility.
template <class T>
T Placed(float left, float top, float width, float height, bool visible) {
    T control;
    control.Left = left;
    control.Top = top;
    control.Width = width;
    control.Height = height;
    control.Visible = visible;
    return control;
}

// The frame whose geometry is the screen area.
struct Frame : toolkit::Control {
    float FontSize = 12.0f;
};

// The part of the window that a load lays out on: the screen area, the section surfaces and
// the control arrays of text runs, icons, images and their placeholders, as designed.
class SectionForm : public toolkit::Form {
  public:
    explicit SectionForm(std::unique_ptr<toolkit::FontEngine> fonts);

    Frame fraScreenArea;
    toolkit::PictureBox picSwatch;
    toolkit::ControlArray<toolkit::PictureBox> picSection;
    toolkit::ControlArray<toolkit::Label> lblText;
    toolkit::ControlArray<toolkit::Image> imgIco;
    toolkit::ControlArray<toolkit::Image> imgImage;
    toolkit::ControlArray<toolkit::Image> imgPH;
};

}  // namespace kavro::layout
