#include "forms/Picture.h"

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

Picture::Picture(int width, int height, Decoder decode, std::string source)
    : source_(std::move(source)) {
    if (width > 0 && height > 0 && decode) {
        width_ = width;
        height_ = height;
        decode_ = std::move(decode);
    }
}

std::vector<std::uint32_t> Picture::Decoded() const {
    std::vector<std::uint32_t> pixels = decode_();
    const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    if (pixels.size() != count) pixels.assign(count, 0);
    return pixels;
}

const std::vector<std::uint32_t>& Picture::Kept() const {
    std::lock_guard lock(decoding_);
    if (pixels_.empty()) pixels_ = Decoded();
    return pixels_;
}

std::shared_ptr<const std::vector<std::uint32_t>> Picture::PixelsToDraw() const {
    if (decode_) {
        std::lock_guard lock(decoding_);
        if (pixels_.empty()) return std::make_shared<const std::vector<std::uint32_t>>(Decoded());
    }
    // Owned by the picture, which outlives the drawing: an alias without an owner.
    return std::shared_ptr<const std::vector<std::uint32_t>>(
        std::shared_ptr<const std::vector<std::uint32_t>>(), &pixels_);
}

std::size_t Picture::HeldBytes() const {
    std::lock_guard lock(decoding_);
    return pixels_.size() * sizeof(std::uint32_t);
}

}  // namespace kavro::toolkit
