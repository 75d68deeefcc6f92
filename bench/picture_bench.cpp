// Picture decoding through both loaders, and drawing with the graphics wrapper.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/cBitmap.h"
#include "imaging/cGraphics.h"
#include "backend/LoadPicture.h"

namespace {

namespace fs = std::filesystem;
using kavro::imaging::cBitmap;
using kavro::imaging::cGraphics;

std::string Bundled(const std::string& name) {
    return (fs::path(KAVRO_SOURCE_DIR) / "metadata" / "default" / name).string();
}

// A bundled picture through the bitmap wrapper: header check, decode, picture.
void BM_BitmapLoad(benchmark::State& state, const std::string& name) {
    const std::string path = Bundled(name);
    for (auto _ : state) {
        cBitmap bitmap;
        if (bitmap.LoadFromFile(path) != kavro::imaging::Ok) state.SkipWithError("not loaded");
        benchmark::DoNotOptimize(bitmap.Picture());
    }
}
BENCHMARK_CAPTURE(BM_BitmapLoad, png, std::string("images/paper.png"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BitmapLoad, jpeg, std::string("images/stripes.jpg"))
    ->Unit(benchmark::kMicrosecond);

// A bundled icon through the toolkit's loader.
void BM_ToolkitLoadGif(benchmark::State& state) {
    const std::string path = Bundled("icons/lp.gif");
    for (auto _ : state)
        benchmark::DoNotOptimize(kavro::toolkit::LoadPicture(path));
}
BENCHMARK(BM_ToolkitLoadGif)->Unit(benchmark::kMicrosecond);

// A half-transparent 256 x 256 picture drawn on an opaque 512 x 512 canvas: at its own size
// (arg 0), scaled to 400 x 300 (1), and turned by 30 degrees (2).
void BM_DrawImage(benchmark::State& state) {
    std::vector<std::uint32_t> canvas_pixels(512u * 512u, 0xFF204060u);
    std::vector<std::uint32_t> brush_pixels(256u * 256u);
    for (std::size_t i = 0; i < brush_pixels.size(); ++i)
        brush_pixels[i] = (static_cast<std::uint32_t>(i % 256) << 24) | 0x00C08040u;
    cBitmap canvas, brush;
    cGraphics graphics;
    if (canvas.CreateFromScan0(512, 512, 512 * 4, kavro::imaging::PixelFormat32bppARGB,
                               canvas_pixels.data()) != kavro::imaging::Ok ||
        brush.CreateFromScan0(256, 256, 256 * 4, kavro::imaging::PixelFormat32bppARGB,
                              brush_pixels.data()) != kavro::imaging::Ok ||
        graphics.CreateFromImage(canvas) != kavro::imaging::Ok) {
        state.SkipWithError("cannot set up");
        return;
    }
    if (state.range(0) == 2) {
        graphics.TranslateTransform(256, 0, kavro::imaging::MatrixOrderPrepend);
        graphics.RotateTransform(30, kavro::imaging::MatrixOrderPrepend);
    }
    for (auto _ : state) {
        const long status = state.range(0) == 1 ? graphics.DrawImageRectI(brush, 50, 60, 400, 300)
                                                : graphics.DrawImageI(brush, 100, 100);
        if (status != kavro::imaging::Ok) state.SkipWithError("not drawn");
    }
}
BENCHMARK(BM_DrawImage)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
