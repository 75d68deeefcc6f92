#pragma once

#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "text/FontEngine.h"

namespace kavro::toolkit::testing {

inline std::unique_ptr<FontEngine> MakeFonts() {
    std::string error;
    auto fonts = FontEngine::Create("Consolas", &error);
    EXPECT_NE(fonts, nullptr) << error;
    return fonts;
}

// A scratch folder, removed with everything in it at the end of the test.
class TempDir {
  public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("kavro_toolkit_" + std::string(info->test_suite_name()) + "_" + info->name() +
                 "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

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

// The colour type byte of a PNG file's header: 2 for RGB, 6 for RGB with alpha.
inline int ColourType(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[26] = {};
    in.read(header, sizeof header);
    return in ? static_cast<unsigned char>(header[25]) : -1;
}

}  // namespace kavro::toolkit::testing
