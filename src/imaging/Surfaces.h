#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/Deleter.h"

namespace kavro::imaging {

using UniqueSurface = base::Owned<SDL_Surface, SDL_FreeSurface>;

// Takes ownership of a surface into shared ownership (null stays null).
inline std::shared_ptr<SDL_Surface> ShareSurface(SDL_Surface* s) {
    if (!s) return nullptr;
    return std::shared_ptr<SDL_Surface>(s, base::Deleter<SDL_FreeSurface>{});
}

// Locks a surface for direct pixel access for as long as the guard lives.
class SurfaceLock {
  public:
    explicit SurfaceLock(SDL_Surface* s) : surface_(s), locked_(s && SDL_LockSurface(s) == 0) {}
    ~SurfaceLock() {
        if (locked_) SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool Locked() const { return locked_; }

  private:
    SDL_Surface* surface_;
    bool locked_;
};

// True for the pixel layouts the wrappers read and write directly: 1-, 2-, 4- and 8-bit
// indexed and packed 8/16/24/32-bit formats.
bool IsReadableFormat(const SDL_PixelFormat& format);
bool IsIndexed(const SDL_PixelFormat& format);

// Straight (not premultiplied) 0xAARRGGBB for every pixel, honouring palette alpha and a
// colour key. The surface must be locked or not need locking. nullopt for unreadable layouts.
std::optional<std::vector<std::uint32_t>> ReadArgb(const SDL_Surface& surface);

// Raw pixel access for packed formats of 8 to 32 bits per pixel, x and y in range.
std::uint32_t ReadRaw(const SDL_Surface& surface, int x, int y);
void WriteRaw(SDL_Surface& surface, int x, int y, std::uint32_t value);

}  // namespace kavro::imaging
