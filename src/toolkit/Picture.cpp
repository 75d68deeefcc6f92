#include "toolkit/Picture.h"

#include <utility>

namespace kavro::toolkit {

Picture::Picture(int width, int height, std::vector<std::uint32_t> argb, std::string source)
    : pixels_(std::move(argb)), source_(std::move(source)) {
    // A picture whose pixel count does not match its size is empty rather than out of bounds.
    if (width > 0 && height > 0 &&
        pixels_.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        width_ = width;
        height_ = height;
    } else {
        pixels_.clear();
    }
}

}  // namespace kavro::toolkit
