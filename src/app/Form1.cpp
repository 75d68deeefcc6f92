#include "app/Form1.h"

namespace kavro::app {

namespace {

CommandButton Button(const char* caption, float left, float top, float width, float height) {
    CommandButton button;
    button.Left = left;
    button.Top = top;
    button.Width = width;
    button.Height = height;
    button.Visible = false;
    button.Caption = caption;
    return button;
}

}  // namespace

Form1::Form1(std::unique_ptr<toolkit::FontEngine> fonts)
    : layout::SectionForm(std::move(fonts)),
      cmdLoad(Button("Load/Reload", 0, 0, 1935, 300)),
      cmdLastSect(Button("<", 1920, 0, 855, 285)),
      cmdNextSect(Button(">", 2760, 0, 855, 285)),
      cmdUp(Button("^", 7800, 0, 495, 285)),
      cmdDown(Button("v", 8640, 0, 495, 285)) {
    Caption = "Form1";
    BackColor = 0;
    Width = 14640;
    Height = 11640;
    timLoad.Interval = 100;
    timLoad.Enabled = true;
}

}  // namespace kavro::app
