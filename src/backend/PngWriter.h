#pragma once

#include <string>

struct SDL_Surface;

namespace kavro::toolkit {

// Writes the surface as a PNG file, fast: zlib's lowest level without row filters, which
// keeps screen pictures (flat areas and text) within about half again the default's size.
// Opaque pictures (a surface without an alpha channel, or with alpha 255 in every pixel) are
// written without their alpha channel; the decoded pixels are the surface's exactly. Returns false
// with the reason in *error; a failed write leaves no file.
bool WritePng(SDL_Surface* surface, const std::string& path, std::string* error);

}  // namespace kavro::toolkit
