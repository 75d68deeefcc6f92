#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavro::toolkit {

// A decoded picture that owns its pixels. Immutable once made, shared by every control that
// shows it, so it outlives whatever decoded it. An empty picture holds no image at all.
class Picture {
public:
    Picture() = default;  // the empty picture
    Picture(int width, int height, std::vector<std::uint32_t> argb, std::string source);

    bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }    // pixels
    int Height() const { return height_; }  // pixels
    // Straight (not premultiplied) 0xAARRGGBB, row by row, width * height entries.
    const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
    // The file the picture came from, or empty.
    const std::string& Source() const { return source_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::string source_;
};

// Null stands for "no picture object at all"; a non-null empty Picture for "an empty picture".
using PicturePtr = std::shared_ptr<const Picture>;

inline PicturePtr MakeEmptyPicture() { return std::make_shared<const Picture>(); }

}  // namespace kavro::toolkit
