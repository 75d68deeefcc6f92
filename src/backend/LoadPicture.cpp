#include "backend/LoadPicture.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Deleter.h"
#include "backend/PictureHeader.h"

namespace kavro::toolkit {

namespace {

using SurfacePtr = base::Owned<SDL_Surface, SDL_FreeSurface>;

using Bytes = std::vector<unsigned char>;

}  // namespace

std::optional<PicturePtr> LoadPicture(const std::string& path) {
    std::optional<Bytes> data = ReadPictureFile(path);
    if (!data) return std::nullopt;
    // The whole file is at hand: only a format whose header was read, with acceptable sizes,
    // reaches its decoder.
    const PictureHeader header = ReadPictureHeader(*data);
    if (!header.SizesAcceptable()) return std::nullopt;
    DecodedPicture decoded = DecodePicture(*data, header);
    if (!decoded) return std::nullopt;
    if (!PictureSizesAllowed(decoded->w, decoded->h)) return std::nullopt;
    // A colour key (GIF transparency) becomes alpha 0 in the conversion.
    SurfacePtr argb(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
    if (!argb) return std::nullopt;
    decoded.reset();

    const int w = argb->w;
    const int h = argb->h;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    if (SDL_LockSurface(argb.get()) != 0) return std::nullopt;
    const auto* base = static_cast<const unsigned char*>(argb->pixels);
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                    base + static_cast<std::size_t>(y) * static_cast<std::size_t>(argb->pitch),
                    static_cast<std::size_t>(w) * sizeof(std::uint32_t));
    SDL_UnlockSurface(argb.get());
    return std::make_shared<const Picture>(w, h, std::move(pixels), path);
}

}  // namespace kavro::toolkit
