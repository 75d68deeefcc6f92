#include "backend/Screen.h"

#include <SDL.h>

#include <cstdint>
#include <string>

#include "base/Failure.h"
#include "backend/Painter.h"
#include "backend/PngWriter.h"
#include "backend/ScreenSupport.h"

namespace kavro::toolkit {

using base::Fail;

namespace {

// The physical picture: the form's pixels turned clockwise by quarter turns.
SurfacePtr Turned(SDL_Surface* src, int turns) {
    const int w = src->w, h = src->h;
    const bool sideways = turns % 2 != 0;
    SurfacePtr out(SDL_CreateRGBSurfaceWithFormat(0, sideways ? h : w, sideways ? w : h, 32,
                                                  src->format->format));
    if (!out) return nullptr;
    const int src_stride = src->pitch / 4, out_stride = out->pitch / 4;
    const auto* from = static_cast<const std::uint32_t*>(src->pixels);
    auto* to = static_cast<std::uint32_t*>(out->pixels);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int tx = turns == 1 ? h - 1 - y : turns == 2 ? w - 1 - x : y;
            const int ty = turns == 1 ? x : turns == 2 ? h - 1 - y : w - 1 - x;
            to[ty * out_stride + tx] = from[y * src_stride + x];
        }
    }
    return out;
}

// Paints the form with the software renderer on a surface of the given size and turns it by
// the form's rotation. The surface has no alpha channel, as a screen has none: SDL's blending
// leaves alpha a little below opaque (253) where text is drawn on an opaque background, which
// would otherwise make the picture look partly transparent.
SurfacePtr PaintScreen(const Form& form, int width_px, int height_px, std::string* error) {
    SurfacePtr surface(
        SDL_CreateRGBSurfaceWithFormat(0, width_px, height_px, 32, SDL_PIXELFORMAT_RGB888));
    if (!surface) {
        Fail(error, std::string("cannot make a surface: ") + SDL_GetError());
        return nullptr;
    }
    {
        RendererPtr renderer(SDL_CreateSoftwareRenderer(surface.get()));
        if (!renderer) {
            Fail(error, std::string("cannot make a renderer: ") + SDL_GetError());
            return nullptr;
        }
        Painter painter(renderer.get());
        painter.Paint(form, width_px, height_px);
        SDL_RenderPresent(renderer.get());
    }
    if (const int turns = QuarterTurns(form.Rotation); turns != 0) {
        surface = Turned(surface.get(), turns);
        if (!surface) Fail(error, std::string("cannot turn the picture: ") + SDL_GetError());
    }
    return surface;
}

}  // namespace

bool PaintToPng(const Form& form, int width_px, int height_px, const std::string& png_path,
                std::string* error) {
    const SurfacePtr screen = PaintScreen(form, width_px, height_px, error);
    return screen && WritePng(screen.get(), png_path, error);
}

void ScreenPictureFree::operator()(SDL_Surface* surface) const {
    SDL_FreeSurface(surface);
}

ScreenPicture PaintForm(const Form& form, std::string* error) {
    return ScreenPicture(
        PaintScreen(form, SidePx(form.Width), SidePx(form.Height), error).release());
}

bool RenderFormToPng(const Form& form, const std::string& png_path, std::string* error) {
    return PaintToPng(form, SidePx(form.Width), SidePx(form.Height), png_path, error);
}

}  // namespace kavro::toolkit
