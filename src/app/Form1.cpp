#include "app/Form1.h"

#include <utility>

namespace kavro::app {

namespace {

CommandButton Button(const char* caption, float left, float top, float width, float height) {
    auto button = layout::Placed<CommandButton>(left, top, width, height, false);
    button.Caption = caption;
    return button;
}

template <class T, class... Args>
T Hidden(Args&&... args) {
    T control(std::forward<Args>(args)...);
    control.Visible = false;
    return control;
}

}  // namespace

Form1::Form1(std::unique_ptr<toolkit::FontEngine> fonts)
    : layout::SectionForm(std::move(fonts)),
      cmdLoad(Button("Load/Reload", 0, 0, 1935, 300)),
      cmdLastSect(Button("<", 1920, 0, 855, 285)),
      cmdNextSect(Button(">", 2760, 0, 855, 285)),
      cmdUp(Button("^", 7800, 0, 495, 285)),
      cmdDown(Button("v", 8640, 0, 495, 285)),
      picErrorBar("picErrorBar", Hidden<toolkit::PictureBox>()),
      lblErrorBar("lblErrorBar", Hidden<toolkit::Label>(&Fonts())),
      picCountdown("picCountdown", Hidden<toolkit::PictureBox>()),
      picPagesBar("picPagesBar", Hidden<toolkit::PictureBox>()),
      lblPagesBar("lblPagesBar", Hidden<toolkit::Label>(&Fonts())) {
    Caption = "Form1";
    BackColor = 0;
    Width = 14640;
    Height = 11640;
    timLoad.Interval = 100;
    timLoad.Enabled = true;
    AddToScene(&picErrorBar);
    AddToScene(&lblErrorBar);
    AddToScene(&picCountdown);
    AddToScene(&picPagesBar);
    AddToScene(&lblPagesBar);
}

}  // namespace kavro::app
