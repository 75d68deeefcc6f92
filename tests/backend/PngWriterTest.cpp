#include "backend/PngWriter.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "common/ToolkitTestSupport.h"

namespace kavro::toolkit {
namespace {

using testing::ColourType;
using testing::ReadPng;
using testing::TempFolder;

using SurfacePtr = std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)>;

// Every pixel different from its neighbours, so that no compression shortcut can hide a
// misplaced byte; alpha is opaque unless the caller changes it.
SurfacePtr Pattern(int w, int h, Uint32 format) {
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, format), SDL_FreeSurface);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto r = static_cast<Uint8>(x * 7 + y);
            const auto g = static_cast<Uint8>(y * 13 + x * 3);
            const auto b = static_cast<Uint8>((x ^ y) * 5);
            static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x] =
                SDL_MapRGBA(s->format, r, g, b, 0xFF);
        }
    return s;
}

std::uint32_t ArgbAt(SDL_Surface* s, int x, int y) {
    Uint8 r, g, b, a;
    SDL_GetRGBA(static_cast<Uint32*>(s->pixels)[y * (s->pitch / 4) + x], s->format, &r, &g, &b, &a);
    return (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

void ExpectSamePixels(SDL_Surface* s, const std::string& path) {
    const testing::Bitmap decoded = ReadPng(path);
    ASSERT_EQ(decoded.w, s->w);
    ASSERT_EQ(decoded.h, s->h);
    int mismatches = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            if (decoded.px[static_cast<std::size_t>(y * s->w + x)] != ArgbAt(s, x, y)) ++mismatches;
    EXPECT_EQ(mismatches, 0);
}

// Writes the surface and expects the colour type and the surface's pixels back.
void ExpectWrittenAs(SDL_Surface* s, const std::string& path, int colour_type) {
    std::string error;
    ASSERT_TRUE(WritePng(s, path, &error)) << error;
    EXPECT_EQ(ColourType(path), colour_type);
    ExpectSamePixels(s, path);
}

TEST(PngWriterTest, OpaquePictureDecodesToTheSamePixelsWithoutAlpha) {
    TempFolder dir;
    const std::string path = dir.File("screen.png");
    SurfacePtr s = Pattern(1920, 1080, SDL_PIXELFORMAT_ARGB8888);
    ExpectWrittenAs(s.get(), path, 2);
}

TEST(PngWriterTest, AlphaIsKeptWhenAnyPixelIsNotOpaque) {
    TempFolder dir;
    for (Uint8 alpha : {Uint8{0}, Uint8{254}}) {
        SCOPED_TRACE(alpha);
        const std::string path = dir.File("alpha.png");
        SurfacePtr s = Pattern(33, 17, SDL_PIXELFORMAT_ARGB8888);
        // One pixel, the last one, just below opaque (or clear).
        static_cast<Uint32*>(s->pixels)[16 * (s->pitch / 4) + 32] =
            SDL_MapRGBA(s->format, 1, 2, 3, alpha);
        ExpectWrittenAs(s.get(), path, 6);
        const testing::Bitmap decoded = ReadPng(path);
        ASSERT_EQ(decoded.px.size(), std::size_t{33 * 17});
        EXPECT_EQ(decoded.px.back() >> 24, alpha);
    }
}

TEST(PngWriterTest, WithoutAnAlphaChannelTheUnusedByteIsIgnored) {
    TempFolder dir;
    // The first taken as it lies, the second converted first.
    for (Uint32 format : {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_BGR888}) {
        SCOPED_TRACE(SDL_GetPixelFormatName(format));
        const std::string path = dir.File("rgb.png");
        SurfacePtr s = Pattern(31, 9, format);
        // Blending leaves anything in the unused top byte: just below opaque, opaque, clear.
        ASSERT_EQ(s->format->Rmask | s->format->Gmask | s->format->Bmask, 0x00FFFFFFu);
        ASSERT_EQ(s->pitch, 31 * 4);
        auto* px = static_cast<Uint32*>(s->pixels);
        const Uint32 fills[] = {0x00, 0xFD, 0xFE, 0xFF};
        for (int i = 0; i < 31 * 9; ++i)
            px[i] = (px[i] & 0x00FFFFFFu) | (fills[i % 4] << 24);
        ExpectWrittenAs(s.get(), path, 2);
    }
}

TEST(PngWriterTest, OtherPixelFormatsAndTheSmallestPicture) {
    TempFolder dir;
    for (Uint32 format : {SDL_PIXELFORMAT_ABGR8888, SDL_PIXELFORMAT_RGBA8888}) {
        SCOPED_TRACE(SDL_GetPixelFormatName(format));
        const std::string path = dir.File("other.png");
        SurfacePtr s = Pattern(64, 3, format);
        ExpectWrittenAs(s.get(), path, 2);
    }
    SurfacePtr one = Pattern(1, 1, SDL_PIXELFORMAT_ARGB8888);
    ExpectWrittenAs(one.get(), dir.File("one.png"), 2);
}

// Large and odd-shaped pictures, alpha or not: every pixel comes back.
TEST(PngWriterTest, LargeAndOddShapedPictures) {
    TempFolder dir;
    for (const auto& [w, h] : {std::pair{1920, 1081}, std::pair{700, 501}, std::pair{3, 90001}}) {
        SurfacePtr s = Pattern(w, h, SDL_PIXELFORMAT_ARGB8888);
        ExpectWrittenAs(s.get(), dir.File("opaque.png"), 2);
        static_cast<Uint32*>(s->pixels)[s->pitch / 4 * (h / 2)] &= 0x7FFFFFFFu;
        ExpectWrittenAs(s.get(), dir.File("alpha.png"), 6);
    }
}

TEST(PngWriterTest, FailuresSayWhyAndLeaveNoFile) {
    TempFolder dir;
    SurfacePtr s = Pattern(8, 8, SDL_PIXELFORMAT_ARGB8888);
    std::string error;
    const std::string missing_folder = dir.File("no/such/folder/out.png");
    EXPECT_FALSE(WritePng(s.get(), missing_folder, &error));
    EXPECT_NE(error.find(missing_folder), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(missing_folder));

    error.clear();
    EXPECT_FALSE(WritePng(nullptr, dir.File("none.png"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.png")));

    // /dev/full takes the file and refuses its bytes, as a full disk does.
    error.clear();
    EXPECT_FALSE(WritePng(s.get(), "/dev/full", &error));
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

}  // namespace
}  // namespace kavro::toolkit
