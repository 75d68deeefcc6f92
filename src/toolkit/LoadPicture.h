#pragma once

#include <optional>
#include <string>

#include "toolkit/Picture.h"

namespace kavro::toolkit {

// The toolkit's own picture loader (GIF among others: BMP, GIF, JPEG, PNG, TIFF, ICO/CUR and
// WebP, decoded with SDL2_image; transparent pixels keep their alpha). nullopt when the file is
// missing, unreadable, of another format, not decodable, or larger than kMaxPictureSide in
// either dimension (checked before decoding).
std::optional<PicturePtr> LoadPicture(const std::string& path);
// With no file: an empty picture.
inline PicturePtr LoadPicture() {
    return MakeEmptyPicture();
}

inline constexpr int kMaxPictureSide = 16384;

}  // namespace kavro::toolkit
