#include "forms/PictureBox.h"

#include <utility>

namespace kavro::toolkit {

void PictureBox::PaintPicture(PicturePtr picture, float x, float y, float width, float height) {
    bands_.push_back(Band{std::move(picture), x, y, width, height});
}

}  // namespace kavro::toolkit
