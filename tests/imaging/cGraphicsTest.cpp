#include "imaging/cGraphics.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "imaging/cBitmap.h"

namespace kavro::imaging {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kClear = 0x00000000u;

// A canvas of transparent pixels and a two-pixel red/green brush.
struct Scene {
    cBitmap canvas;
    cBitmap brush;
    cGraphics graphics;

    explicit Scene(int side) {
        EXPECT_EQ(canvas.CreateFromScan0(side, side, 0, PixelFormat32bppARGB, nullptr), Ok);
        const std::vector<std::uint32_t> pixels = {kRed, kGreen};
        EXPECT_EQ(brush.CreateFromScan0(2, 1, 8, PixelFormat32bppARGB, pixels.data()), Ok);
        EXPECT_EQ(graphics.CreateFromImage(canvas), Ok);
    }

    // Straight ARGB of one canvas pixel, read without compositing.
    std::uint32_t At(int x, int y) {
        const SDL_Surface* s = canvas.Surface().get();
        std::uint32_t v = 0;
        SDL_memcpy(&v, static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
        return v;
    }

    int Painted() {
        int n = 0;
        for (int y = 0; y < canvas.Height(); ++y)
            for (int x = 0; x < canvas.Width(); ++x)
                n += At(x, y) != kClear;
        return n;
    }
};

TEST(GraphicsDraw, TranslateMovesTheImage) {
    Scene scene(4);
    ASSERT_EQ(scene.graphics.TranslateTransform(1, 2, MatrixOrderPrepend), Ok);
    ASSERT_EQ(scene.graphics.DrawImageI(scene.brush, 0, 0), Ok);
    EXPECT_EQ(scene.At(1, 2), kRed);
    EXPECT_EQ(scene.At(2, 2), kGreen);
    EXPECT_EQ(scene.Painted(), 2);

    // DrawImageRectI scales: 2x1 into 4x2 gives two 2x2 blocks.
    Scene scaled(4);
    ASSERT_EQ(scaled.graphics.DrawImageRectI(scaled.brush, 0, 1, 4, 2), Ok);
    EXPECT_EQ(scaled.At(0, 1), kRed);
    EXPECT_EQ(scaled.At(1, 2), kRed);
    EXPECT_EQ(scaled.At(2, 1), kGreen);
    EXPECT_EQ(scaled.At(3, 2), kGreen);
    EXPECT_EQ(scaled.Painted(), 8);
}

TEST(GraphicsDraw, RotationOrderFollowsPrependAndAppend) {
    // Rotate a quarter turn clockwise, then move by (10, 10): (x, y) -> (10 - y, 10 + x).
    Scene appended(20);
    ASSERT_EQ(appended.graphics.RotateTransform(90, MatrixOrderPrepend), Ok);
    ASSERT_EQ(appended.graphics.TranslateTransform(10, 10, MatrixOrderAppend), Ok);
    ASSERT_EQ(appended.graphics.DrawImageI(appended.brush, 0, 0), Ok);
    EXPECT_EQ(appended.At(9, 10), kRed);
    EXPECT_EQ(appended.At(9, 11), kGreen);
    EXPECT_EQ(appended.Painted(), 2);

    // The same transform built the other way round.
    Scene prepended(20);
    ASSERT_EQ(prepended.graphics.TranslateTransform(10, 10, MatrixOrderPrepend), Ok);
    ASSERT_EQ(prepended.graphics.RotateTransform(90, MatrixOrderPrepend), Ok);
    ASSERT_EQ(prepended.graphics.DrawImageI(prepended.brush, 0, 0), Ok);
    EXPECT_EQ(prepended.At(9, 10), kRed);
    EXPECT_EQ(prepended.At(9, 11), kGreen);

    // Translating first and rotating after swings the image about the origin instead:
    // (x, y) -> (x + 10, y + 10) -> (-(y + 10), x + 10), entirely off the canvas.
    Scene swung(20);
    ASSERT_EQ(swung.graphics.TranslateTransform(10, 10, MatrixOrderPrepend), Ok);
    ASSERT_EQ(swung.graphics.RotateTransform(90, MatrixOrderAppend), Ok);
    ASSERT_EQ(swung.graphics.DrawImageI(swung.brush, 0, 0), Ok);
    EXPECT_EQ(swung.Painted(), 0);

    ASSERT_EQ(swung.graphics.ResetTransform(), Ok);
    ASSERT_EQ(swung.graphics.DrawImageI(swung.brush, 5, 5), Ok);
    EXPECT_EQ(swung.At(5, 5), kRed);
}

TEST(GraphicsDraw, HalfTransparentPixelsBlend) {
    Scene scene(2);
    const std::vector<std::uint32_t> white = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    cBitmap backdrop;
    ASSERT_EQ(backdrop.CreateFromScan0(2, 2, 8, PixelFormat32bppARGB, white.data()), Ok);
    const std::vector<std::uint32_t> veil = {0x800000FFu};
    cBitmap blue;
    ASSERT_EQ(blue.CreateFromScan0(1, 1, 4, PixelFormat32bppARGB, veil.data()), Ok);
    ASSERT_EQ(scene.graphics.DrawImageI(backdrop, 0, 0), Ok);
    ASSERT_EQ(scene.graphics.DrawImageI(blue, 1, 1), Ok);
    const std::uint32_t mixed = scene.At(1, 1);
    EXPECT_EQ(mixed >> 24, 0xFFu);
    EXPECT_EQ(mixed & 0xFF, 0xFFu);
    EXPECT_NEAR(static_cast<int>((mixed >> 16) & 0xFF), 127, 1);
    EXPECT_EQ(scene.At(0, 0), 0xFFFFFFFFu);
    // A pixel with no alpha at all leaves the target as it was, whatever its colour.
    const std::vector<std::uint32_t> nothing = {0x000000FFu};
    cBitmap clear;
    ASSERT_EQ(clear.CreateFromScan0(1, 1, 4, PixelFormat32bppARGB, nothing.data()), Ok);
    ASSERT_EQ(scene.graphics.DrawImageI(clear, 0, 0), Ok);
    EXPECT_EQ(scene.At(0, 0), 0xFFFFFFFFu);
}

// A picture covers the pixels whose centres it covers: moved by half a pixel or less it stays,
// by more it moves on.
TEST(GraphicsDraw, FractionalMovesCoverPixelCentres) {
    for (const auto& [dx, first] : {std::pair{0.4f, 0}, {0.5f, 0}, {0.6f, 1}, {-0.5f, -1}}) {
        Scene scene(4);
        ASSERT_EQ(scene.graphics.TranslateTransform(dx, 0, MatrixOrderPrepend), Ok);
        ASSERT_EQ(scene.graphics.DrawImageI(scene.brush, 1, 1), Ok);
        EXPECT_EQ(scene.At(1 + first, 1), kRed) << dx;
        EXPECT_EQ(scene.At(2 + first, 1), kGreen) << dx;
        EXPECT_EQ(scene.Painted(), 2) << dx;
    }
}

// A target without alpha and with five or six bits a channel: the mix is computed in full
// colour and then reduced as SDL_MapRGB reduces it; pixels the picture does not reach keep
// their value.
TEST(GraphicsDraw, SixteenBitTargetsTakeTheMixedColour) {
    const std::vector<std::uint16_t> white(4 * 2, 0xFFFF);
    cBitmap canvas;
    ASSERT_EQ(canvas.CreateFromScan0(4, 2, 8, PixelFormat16bppRGB565, white.data()), Ok);
    cGraphics graphics;
    ASSERT_EQ(graphics.CreateFromImage(canvas), Ok);
    const std::vector<std::uint32_t> veil = {0x800000FFu};
    cBitmap blue;
    ASSERT_EQ(blue.CreateFromScan0(1, 1, 4, PixelFormat32bppARGB, veil.data()), Ok);
    ASSERT_EQ(graphics.DrawImageRectI(blue, 1, 0, 2, 1), Ok);

    const SDL_Surface* s = canvas.Surface().get();
    auto at = [&](int x, int y) {
        std::uint16_t v = 0;
        SDL_memcpy(&v, static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * 2, 2);
        return v;
    };
    // Half of 255 red and green is 127; blue stays 255.
    const auto mixed = static_cast<std::uint16_t>(SDL_MapRGB(s->format, 127, 127, 255));
    EXPECT_EQ(at(1, 0), mixed);
    EXPECT_EQ(at(2, 0), mixed);
    for (const auto& [x, y] : {std::pair{0, 0}, {3, 0}, {1, 1}, {2, 1}})
        EXPECT_EQ(at(x, y), 0xFFFF) << x << "," << y;
}

TEST(GraphicsState, UnsupportedCreatorsAndBadArgumentsReportErrors) {
    cGraphics graphics;
    std::vector<long> events;
    graphics.Error = [&](long code, const std::string&) { events.push_back(code); };
    EXPECT_EQ(graphics.Handle(), 0u);
    EXPECT_EQ(graphics.CreateFromHDC(1), NotImplemented);
    EXPECT_EQ(graphics.CreateFromHWND(1), NotImplemented);
    EXPECT_EQ(graphics.GetDC(), NotImplemented);
    graphics.ReleaseDC();
    EXPECT_EQ(graphics.CurErr(), NotImplemented);
    EXPECT_EQ(graphics.GdiErrorString(6), "Not Implemented");

    cBitmap empty;
    EXPECT_EQ(graphics.CreateFromImage(empty), InvalidParameter);
    EXPECT_EQ(graphics.RotateTransform(45, MatrixOrderPrepend), InvalidParameter);  // no target
    cBitmap made;
    EXPECT_EQ(graphics.CreateFromGraphics(4, 4, made), InvalidParameter);
    EXPECT_EQ(events.size(), 6u);

    cBitmap indexed;
    ASSERT_EQ(indexed.CreateFromScan0(4, 4, 0, PixelFormat8bppIndexed, nullptr), Ok);
    EXPECT_EQ(graphics.CreateFromImage(indexed), InvalidParameter);

    cBitmap canvas;
    ASSERT_EQ(canvas.CreateFromScan0(4, 4, 0, PixelFormat32bppRGB, nullptr), Ok);
    ASSERT_EQ(graphics.CreateFromImage(canvas), Ok);
    EXPECT_NE(graphics.Handle(), 0u);
    EXPECT_EQ(graphics.RotateTransform(10, 7), InvalidParameter);
    EXPECT_EQ(graphics.TranslateTransform(NAN, 0, MatrixOrderAppend), InvalidParameter);
    EXPECT_EQ(graphics.DrawImageI(empty, 0, 0), InvalidParameter);
    EXPECT_EQ(graphics.DrawImageRectI(canvas, 0, 0, 0, 3), InvalidParameter);

    ASSERT_EQ(graphics.CreateFromGraphics(5, 3, made), Ok);
    EXPECT_EQ(made.Width(), 5);
    EXPECT_EQ(made.Height(), 3);
    EXPECT_EQ(made.PixelFormat(), PixelFormat32bppARGB);
}

TEST(GraphicsState, TargetOutlivesItsBitmap) {
    Scene scene(4);
    scene.canvas.Dispose();
    EXPECT_EQ(scene.graphics.DrawImageI(scene.brush, 0, 0), Ok);  // still draws, no dangling
    scene.graphics.Dispose();
    EXPECT_EQ(scene.graphics.Handle(), 0u);
    EXPECT_EQ(scene.graphics.DrawImageI(scene.brush, 0, 0), InvalidParameter);
}

}  // namespace
}  // namespace kavro::imaging
