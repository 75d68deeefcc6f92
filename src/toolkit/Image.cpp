#include "toolkit/Image.h"

#include <utility>

namespace kavro::toolkit {

void Image::SetPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    if (Stretch || !picture_ || picture_->IsEmpty()) return;
    Width = static_cast<float>(picture_->Width()) * 15.0f;
    Height = static_cast<float>(picture_->Height()) * 15.0f;
}

}  // namespace kavro::toolkit
