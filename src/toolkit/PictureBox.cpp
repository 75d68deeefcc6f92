#include "toolkit/PictureBox.h"

#include <utility>

namespace kavro::toolkit {

void PictureBox::PaintPicture(PicturePtr picture, float x, float y, float width, float height) {
    bands_.push_back(Band{std::move(picture), x, y, width, height});
}

void PictureBox::CopyDesignFrom(const PictureBox& other) {
    // A loaded element starts with a clean surface even when it was copied whole.
    bands_.clear();
    if (&other == this) return;
    BackColor = other.BackColor;
    Picture = other.Picture;
    AutoSize = other.AutoSize;
    BorderStyle = other.BorderStyle;
    Left = other.Left;
    Top = other.Top;
    Width = other.Width;
    Height = other.Height;
    Container = other.Container;
}

}  // namespace kavro::toolkit
