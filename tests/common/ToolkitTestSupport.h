#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "text/FontEngine.h"

namespace kavro::toolkit::testing {

inline std::unique_ptr<FontEngine> MakeFonts() {
    std::string error;
    auto fonts = FontEngine::Create("Consolas", &error);
    EXPECT_NE(fonts, nullptr) << error;
    return fonts;
}

using kavro::testing::TempFolder;

// A PNG read back as 0xAARRGGBB pixels.
struct Bitmap {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t At(int x, int y) const {
        return px[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                  static_cast<std::size_t>(x)] &
               0xFFFFFFu;
    }
};

inline Bitmap ReadPng(const std::string& path) {
    Bitmap out;
    SDL_Surface* raw = IMG_Load(path.c_str());
    if (!raw) return out;
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> loaded(raw, SDL_FreeSurface);
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> argb(
        SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0), SDL_FreeSurface);
    if (!argb) return out;
    out.w = argb->w;
    out.h = argb->h;
    out.px.resize(static_cast<std::size_t>(out.w) * static_cast<std::size_t>(out.h));
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x)
            out.px[static_cast<std::size_t>(y * out.w + x)] = static_cast<const std::uint32_t*>(
                argb->pixels)[static_cast<std::size_t>(y) *
                                  static_cast<std::size_t>(argb->pitch / 4) +
                              static_cast<std::size_t>(x)];
    return out;
}

// A PNG file of w x h pixels in one colour, in a folder made for it when needed.
inline void WritePng(const std::filesystem::path& path, int w, int h, Uint32 argb = 0xFF3366CC) {
    std::filesystem::create_directories(path.parent_path());
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> s(
        SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888), SDL_FreeSurface);
    ASSERT_NE(s, nullptr);
    SDL_FillRect(s.get(), nullptr, argb);
    ASSERT_EQ(IMG_SavePNG(s.get(), path.string().c_str()), 0) << path;
}

// The colour type byte of a PNG file's header: 2 for RGB, 6 for RGB with alpha.
inline int ColourType(const std::string& path) {
    const std::string header = kavro::testing::ReadFile(path);
    return header.size() >= 26 ? static_cast<unsigned char>(header[25]) : -1;
}

}  // namespace kavro::toolkit::testing
