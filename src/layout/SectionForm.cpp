#include "layout/SectionForm.h"

namespace kavro::layout {

namespace {

toolkit::Label DesignLabel(const toolkit::FontEngine* fonts) {
    toolkit::Label label(fonts);
    label.Left = 600;
    label.Top = 480;
    label.Width = 1215;
    label.Height = 495;
    label.ForeColor = 255 + 256 * 255 + 65536 * 255;
    label.Visible = true;
    return label;
}

toolkit::Image DesignImage(float left, float top, float width, float height, bool visible,
                           bool stretch, int border) {
    auto image = Placed<toolkit::Image>(left, top, width, height, visible);
    image.Stretch = stretch;
    image.BorderStyle = border;
    return image;
}

}  // namespace

SectionForm::SectionForm(std::unique_ptr<toolkit::FontEngine> fonts)
    : toolkit::Form(std::move(fonts)),
      fraScreenArea(Placed<Frame>(3600, 0, 1815, 855, false)),
      picSwatch(Placed<toolkit::PictureBox>(600, 2040, 495, 375, false)),
      picSection("picSection", Placed<toolkit::PictureBox>(5520, 1680, 1095, 1095, false)),
      lblText("lblText", DesignLabel(&Fonts())),
      imgIco("imgIco", DesignImage(600, 2760, 495, 495, false, true, 0)),
      imgImage("imgImage", DesignImage(960, 4560, 855, 735, true, false, 0)),
      imgPH("imgPH", DesignImage(0, 0, 855, 735, false, false, 1)) {
    // Surfaces first; on each, pictures under text.
    AddToScene(&picSection);
    AddToScene(&imgImage);
    AddToScene(&imgIco);
    AddToScene(&imgPH);
    AddToScene(&lblText);
}

}  // namespace kavro::layout
