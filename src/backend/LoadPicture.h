#pragma once

#include <optional>
#include <string>

#include "forms/Picture.h"

namespace kavro::toolkit {

// The toolkit's own picture loader (GIF among others: BMP, GIF, JPEG, PNG, TIFF, ICO/CUR and
// WebP, decoded with SDL2_image; transparent pixels keep their alpha). nullopt when the file is
// missing, unreadable, of another format, not decodable, or larger than kMaxPictureSide in
// either dimension or kMaxPicturePixels in all (checked before decoding).
std::optional<PicturePtr> LoadPicture(const std::string& path);
// With no file: an empty picture.
inline PicturePtr LoadPicture() {
    return MakeEmptyPicture();
}

inline constexpr int kMaxPictureSide = 16384;
// And at most this many pixels (8192 x 8192, 256 MiB decoded): one 16384 x 16384 picture took
// seconds and gigabytes to show.
inline constexpr long long kMaxPicturePixels = 8192LL * 8192;

// Whether a picture of these sizes is taken: 1 to kMaxPictureSide a side, and no more than
// kMaxPicturePixels in all.
inline bool PictureSizesAllowed(long long width, long long height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

}  // namespace kavro::toolkit
