#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kavro::toolkit {

// A decoded picture that owns its pixels. Immutable once made, shared by every control that
// shows it, so it outlives whatever decoded it. An empty picture holds no image at all.
class Picture {
  public:
    Picture() = default;  // the empty picture
    Picture(int width, int height, std::vector<std::uint32_t> argb, std::string source);
    // A picture of a known size whose pixels are decoded only when it is drawn, and not kept:
    // a manual of many large pages holds none of them while they are out of view. decode
    // gives width * height pixels (anything else draws as transparent).
    using Decoder = std::function<std::vector<std::uint32_t>()>;
    Picture(int width, int height, Decoder decode, std::string source);

    bool IsEmpty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }    // pixels
    int Height() const { return height_; }  // pixels
    // Straight (not premultiplied) 0xAARRGGBB, row by row, width * height entries.
    // A deferred picture is decoded on the first call and kept from then on.
    const std::vector<std::uint32_t>& Pixels() const { return decode_ ? Kept() : pixels_; }
    // The pixels for drawing one texture: a deferred picture's decoded afresh and let go with
    // the result; another's shared without a copy.
    std::shared_ptr<const std::vector<std::uint32_t>> PixelsToDraw() const;
    // The pixel bytes the picture holds now.
    std::size_t HeldBytes() const;
    // The file the picture came from, or empty.
    const std::string& Source() const { return source_; }

  private:
    const std::vector<std::uint32_t>& Kept() const;
    std::vector<std::uint32_t> Decoded() const;

    int width_ = 0;
    int height_ = 0;
    mutable std::vector<std::uint32_t> pixels_;
    std::string source_;
    Decoder decode_;
    mutable std::mutex decoding_;
};

// Null stands for "no picture object at all"; a non-null empty Picture for "an empty picture".
using PicturePtr = std::shared_ptr<const Picture>;

inline PicturePtr MakeEmptyPicture() {
    return std::make_shared<const Picture>();
}

}  // namespace kavro::toolkit
