#pragma once

// What the screen backend's parts share: owners of SDL objects, and twips to pixels.
#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "base/Deleter.h"

#include "base/Twips.h"

namespace kavro::toolkit {

using SurfacePtr = base::Owned<SDL_Surface, SDL_FreeSurface>;
using TexturePtr = base::Owned<SDL_Texture, SDL_DestroyTexture>;
using RendererPtr = base::Owned<SDL_Renderer, SDL_DestroyRenderer>;
using WindowPtr = base::Owned<SDL_Window, SDL_DestroyWindow>;

constexpr int kMaxSurfaceSide = 16384;

// Twips to a pixel edge. Every edge goes through here, so a surface that starts where another
// ends starts on the very pixel row where the other stops. The small allowance absorbs float
// error in sums such as 14.99999 for 15.
inline int EdgePx(double twips) {
    const double px = std::floor(twips / base::kTwipsPerPixel + 1e-4);
    if (!std::isfinite(px)) return px > 0 ? INT_MAX / 4 : -INT_MAX / 4;
    return static_cast<int>(std::clamp(px, -1.0e9, 1.0e9));
}

// A side of a whole surface in pixels.
inline int SidePx(float twips) {
    return std::clamp(EdgePx(twips), 1, kMaxSurfaceSide);
}

// Quarter turns clockwise for a rotation in degrees; anything but 90, 180 and 270 is none.
inline int QuarterTurns(int degrees) {
    return degrees == 90 ? 1 : degrees == 180 ? 2 : degrees == 270 ? 3 : 0;
}

}  // namespace kavro::toolkit
