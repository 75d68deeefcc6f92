#include "forms/Image.h"

#include <utility>

#include "base/Twips.h"

namespace kavro::toolkit {

void Image::SetPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    if (Stretch || !picture_ || picture_->IsEmpty()) return;
    Width = static_cast<float>(picture_->Width()) * base::kTwipsPerPixel;
    Height = static_cast<float>(picture_->Height()) * base::kTwipsPerPixel;
}

}  // namespace kavro::toolkit
