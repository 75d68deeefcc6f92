#include "toolkit/Image.h"

#include <utility>

namespace kavro::toolkit {

void Image::SetPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    if (Stretch || !picture_ || picture_->IsEmpty()) return;
    Width = static_cast<float>(picture_->Width()) * 15.0f;
    Height = static_cast<float>(picture_->Height()) * 15.0f;
}

void Image::CopyDesignFrom(const Image& other) {
    if (&other == this) return;
    picture_ = other.picture_;
    Stretch = other.Stretch;
    BorderStyle = other.BorderStyle;
    Left = other.Left;
    Top = other.Top;
    Width = other.Width;
    Height = other.Height;
    Container = other.Container;
}

}  // namespace kavro::toolkit
