#include "imaging/Surfaces.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace kavro::imaging {
namespace {

// What a surface's pixels read as, one SDL_GetRGBA at a time: the reference for the faster
// whole-row paths.
std::vector<std::uint32_t> PixelByPixel(const SDL_Surface& s, bool keyed, std::uint32_t key) {
    const bool has_alpha = SDL_ISPIXELFORMAT_ALPHA(s.format->format) || IsIndexed(*s.format);
    std::vector<std::uint32_t> out;
    for (int y = 0; y < s.h; ++y) {
        for (int x = 0; x < s.w; ++x) {
            const auto* p = static_cast<const std::uint8_t*>(s.pixels) + y * s.pitch +
                            x * s.format->BytesPerPixel;
            std::uint32_t raw = 0;
            SDL_memcpy(&raw, p, s.format->BytesPerPixel);
            Uint8 r = 0, g = 0, b = 0, a = 255;
            SDL_GetRGBA(raw, s.format, &r, &g, &b, &a);
            if (!has_alpha) a = 255;
            if (keyed && raw == key) a = 0;
            out.push_back((std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) |
                          (std::uint32_t{g} << 8) | b);
        }
    }
    return out;
}

// Every 8-bit-a-channel layout a decoder hands over, an 8-bit palette with and without a
// colour key, and a 16-bit layout that takes the pixel-by-pixel way: all read the same as
// pixel by pixel, on an odd width so that row padding shows.
TEST(SurfacesTest, ReadArgbMatchesPixelByPixelReading) {
    const Uint32 formats[] = {SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_ABGR8888,
                              SDL_PIXELFORMAT_RGBA8888, SDL_PIXELFORMAT_BGRA8888,
                              SDL_PIXELFORMAT_RGB888,   SDL_PIXELFORMAT_BGR888,
                              SDL_PIXELFORMAT_RGB24,    SDL_PIXELFORMAT_BGR24,
                              SDL_PIXELFORMAT_INDEX8,   SDL_PIXELFORMAT_RGB565};
    std::mt19937 random(7);
    for (const Uint32 format : formats) {
        for (const bool keyed : {false, true}) {
            UniqueSurface s(SDL_CreateRGBSurfaceWithFormat(0, 13, 5, 32, format));
            ASSERT_NE(s, nullptr) << SDL_GetPixelFormatName(format);
            if (s->format->palette) {
                std::vector<SDL_Color> colours(200);
                for (SDL_Color& c : colours)
                    c = {static_cast<Uint8>(random()), static_cast<Uint8>(random()),
                         static_cast<Uint8>(random()), static_cast<Uint8>(random())};
                SDL_SetPaletteColors(s->format->palette, colours.data(), 0, 200);
            }
            auto* bytes = static_cast<std::uint8_t*>(s->pixels);
            for (int i = 0; i < s->pitch * s->h; ++i)
                bytes[i] = static_cast<std::uint8_t>(random());
            std::uint32_t key = 0;
            SDL_memcpy(&key, bytes, s->format->BytesPerPixel);  // the first pixel's value
            if (keyed) {
                ASSERT_EQ(SDL_SetColorKey(s.get(), SDL_TRUE, key), 0);
            }

            const auto read = ReadArgb(*s);
            ASSERT_TRUE(read.has_value());
            EXPECT_EQ(*read, PixelByPixel(*s, keyed, key))
                << SDL_GetPixelFormatName(format) << (keyed ? " keyed" : "");
            if (keyed) {
                EXPECT_EQ((*read)[0] >> 24, 0u);
            }
        }
    }
}

}  // namespace
}  // namespace kavro::imaging
