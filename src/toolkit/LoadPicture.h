#pragma once

#include <optional>
#include <string>

#include "toolkit/Picture.h"

namespace kavro::toolkit {

// The toolkit's own picture loader (GIF among others, decoded with SDL2_image; transparent
// pixels keep their alpha). nullopt when the file is missing, unreadable, not a picture, or
// larger than kMaxPictureSide in either dimension (checked before decoding where the header
// tells).
std::optional<PicturePtr> LoadPicture(const std::string& path);
// With no file: an empty picture.
inline PicturePtr LoadPicture() { return MakeEmptyPicture(); }

inline constexpr int kMaxPictureSide = 16384;

}  // namespace kavro::toolkit
