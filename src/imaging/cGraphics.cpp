#include "imaging/cGraphics.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <optional>
#include <vector>

#include "imaging/Surfaces.h"

namespace kavro::imaging {

WorldMatrix WorldMatrix::Then(const WorldMatrix& o) const {
    WorldMatrix r;
    r.m11 = m11 * o.m11 + m12 * o.m21;
    r.m12 = m11 * o.m12 + m12 * o.m22;
    r.m21 = m21 * o.m11 + m22 * o.m21;
    r.m22 = m21 * o.m12 + m22 * o.m22;
    r.dx = dx * o.m11 + dy * o.m21 + o.dx;
    r.dy = dx * o.m12 + dy * o.m22 + o.dy;
    return r;
}

namespace {

// Straight-alpha "source over" of one 0xAARRGGBB pixel onto another.
std::uint32_t Over(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t sa = src >> 24;
    if (sa == 255) return src;
    if (sa == 0) return dst;
    const double as = sa / 255.0;
    const double ad = (dst >> 24) / 255.0;
    const double ao = as + ad * (1.0 - as);
    auto channel = [&](int shift) {
        const double cs = ((src >> shift) & 0xFF);
        const double cd = ((dst >> shift) & 0xFF);
        const double c = (cs * as + cd * ad * (1.0 - as)) / ao;
        return static_cast<std::uint32_t>(std::lround(std::clamp(c, 0.0, 255.0)));
    };
    const auto a = static_cast<std::uint32_t>(std::lround(ao * 255.0));
    return (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

}  // namespace

cGraphics::~cGraphics() {
    if (target_) {
        if (dc_ != 0) ReleaseDC();
        Dispose();
    }
}

long cGraphics::CheckStatus(long status) {
    return ReportStatus(status, cur_err_, Error);
}

std::uintptr_t cGraphics::Handle() const {
    return target_ ? reinterpret_cast<std::uintptr_t>(this) : 0;
}

long cGraphics::CreateFromGraphics(long lWidth, long lHeight, cBitmap& bitmap) {
    if (!target_) return CheckStatus(InvalidParameter);
    return CheckStatus(bitmap.CreateFromGraphics(lWidth, lHeight, *this));
}

long cGraphics::CreateFromHDC(std::uintptr_t /*lHdc*/) {
    return CheckStatus(NotImplemented);
}

long cGraphics::CreateFromHWND(std::uintptr_t /*lHwnd*/) {
    return CheckStatus(NotImplemented);
}

long cGraphics::CreateFromImage(cBitmap& bitmap) {
    const std::shared_ptr<SDL_Surface>& surface = bitmap.Surface();
    // Indexed pixels cannot take blended colours.
    if (!surface || IsIndexed(*surface->format) || !IsReadableFormat(*surface->format))
        return CheckStatus(InvalidParameter);
    target_ = surface;
    transform_ = WorldMatrix{};
    return CheckStatus(Ok);
}

void cGraphics::Dispose() {
    target_.reset();
    transform_ = WorldMatrix{};
}

long cGraphics::GetDC() {
    return CheckStatus(NotImplemented);
}

void cGraphics::ReleaseDC() {
    dc_ = 0;
}

long cGraphics::ResetTransform() {
    if (!target_) return CheckStatus(InvalidParameter);
    transform_ = WorldMatrix{};
    return CheckStatus(Ok);
}

long cGraphics::Combine(const WorldMatrix& op, long eOrder) {
    if (!target_) return CheckStatus(InvalidParameter);
    if (eOrder == MatrixOrderPrepend) {
        transform_ = op.Then(transform_);
    } else if (eOrder == MatrixOrderAppend) {
        transform_ = transform_.Then(op);
    } else {
        return CheckStatus(InvalidParameter);
    }
    return CheckStatus(Ok);
}

long cGraphics::RotateTransform(float sngAngle, long eOrder) {
    if (!std::isfinite(sngAngle)) return CheckStatus(InvalidParameter);
    const double rad = static_cast<double>(sngAngle) * std::numbers::pi / 180.0;
    double c = std::cos(rad);
    double s = std::sin(rad);
    // Quarter turns come out exact, so pixels land where they are expected.
    if (std::fabs(c) < 1e-12) c = 0;
    if (std::fabs(s) < 1e-12) s = 0;
    return Combine(WorldMatrix{c, s, -s, c, 0, 0}, eOrder);
}

long cGraphics::TranslateTransform(float dx, float dy, long eOrder) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return CheckStatus(InvalidParameter);
    return Combine(WorldMatrix{1, 0, 0, 1, dx, dy}, eOrder);
}

long cGraphics::DrawImageI(const cBitmap& image, long x, long y) {
    const std::shared_ptr<SDL_Surface>& src = image.Surface();
    if (!src) return CheckStatus(InvalidParameter);
    return DrawImageRectI(image, x, y, src->w, src->h);
}

namespace {

// Nearest-pixel sampling by hand, for scaled and turned pictures, where SDL's own would pick
// other pixels: its stretch (nearest pixel; its other modes blend neighbours) steps in 16.16
// fixed point with the step cut short, so a pixel centre falling exactly between two source
// pixels takes the one before, and it steps afresh from rounded rectangles when clipped; its
// renderer turns pictures in two passes (scaled, then turned) and rounds a turned rectangle's
// corners its own way, which moves quarter-turned pictures of odd width minus height by a
// pixel. Here each layer pixel whose centre the transform takes back into the destination
// rectangle gets the source pixel there.
void SampleInto(std::vector<std::uint32_t>& layer, int box_x, int box_y, int box_w, int box_h,
                const WorldMatrix& m, const std::vector<std::uint32_t>& pixels, int sw, int sh,
                double x0, double y0, double width, double height) {
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    const double i11 = m.m22 / det, i12 = -m.m12 / det, i21 = -m.m21 / det, i22 = m.m11 / det;
    const double scale_x = sw / width, scale_y = sh / height;
    for (int ly = 0; ly < box_h; ++ly) {
        for (int lx = 0; lx < box_w; ++lx) {
            const double wx = box_x + lx + 0.5 - m.dx, wy = box_y + ly + 0.5 - m.dy;
            const double u = wx * i11 + wy * i21 - x0, v = wx * i12 + wy * i22 - y0;
            if (u < 0 || u >= width || v < 0 || v >= height) continue;
            const int sx = std::clamp(static_cast<int>(u * scale_x), 0, sw - 1);
            const int sy = std::clamp(static_cast<int>(v * scale_y), 0, sh - 1);
            layer[static_cast<std::size_t>(ly) * static_cast<std::size_t>(box_w) +
                  static_cast<std::size_t>(lx)] =
                pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(sw) +
                       static_cast<std::size_t>(sx)];
        }
    }
}

}  // namespace

long cGraphics::DrawImageRectI(const cBitmap& image, long x, long y, long lWidth, long lHeight) {
    const std::shared_ptr<SDL_Surface> src = image.Surface();
    if (!target_ || !src || lWidth <= 0 || lHeight <= 0) return CheckStatus(InvalidParameter);

    const WorldMatrix& m = transform_;
    const double det = m.m11 * m.m22 - m.m12 * m.m21;
    if (std::fabs(det) < 1e-12) return CheckStatus(Ok);  // everything collapses: nothing shows

    std::optional<std::vector<std::uint32_t>> pixels;
    {
        SurfaceLock lock(src.get());
        if (lock.Locked()) pixels = ReadArgb(*src);
    }
    if (!pixels) return CheckStatus(OutOfMemory);
    const int sw = src->w;
    const int sh = src->h;

    // The destination rectangle's corners on the target bound the pixels to visit.
    const double x0 = static_cast<double>(x), y0 = static_cast<double>(y);
    const double x1 = x0 + static_cast<double>(lWidth), y1 = y0 + static_cast<double>(lHeight);
    double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY;
    for (const auto& [cx, cy] : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}}) {
        const double tx = cx * m.m11 + cy * m.m21 + m.dx;
        const double ty = cx * m.m12 + cy * m.m22 + m.dy;
        min_x = std::min(min_x, tx), max_x = std::max(max_x, tx);
        min_y = std::min(min_y, ty), max_y = std::max(max_y, ty);
    }
    SDL_Surface& dst = *target_;
    const int from_x = static_cast<int>(std::clamp(std::floor(min_x), 0.0, double(dst.w)));
    const int to_x = static_cast<int>(std::clamp(std::ceil(max_x), 0.0, double(dst.w)));
    const int from_y = static_cast<int>(std::clamp(std::floor(min_y), 0.0, double(dst.h)));
    const int to_y = static_cast<int>(std::clamp(std::ceil(max_y), 0.0, double(dst.h)));
    if (from_x >= to_x || from_y >= to_y) return CheckStatus(Ok);
    const int box_w = to_x - from_x, box_h = to_y - from_y;

    // The picture as it lands on the visited pixels, transparent around it.
    std::vector<std::uint32_t> layer(static_cast<std::size_t>(box_w) *
                                     static_cast<std::size_t>(box_h));
    const bool turned = m.m11 != 1 || m.m22 != 1 || m.m12 != 0 || m.m21 != 0;
    // A moved picture covers the pixels whose centres lie in it: from the first position at or
    // past its edge less half a pixel.
    const double left = std::ceil(x0 + m.dx - 0.5) - from_x;
    const double top = std::ceil(y0 + m.dy - 0.5) - from_y;
    if (turned || lWidth != sw || lHeight != sh || std::fabs(left) > INT_MAX / 2 ||
        std::fabs(top) > INT_MAX / 2) {
        SampleInto(layer, from_x, from_y, box_w, box_h, m, *pixels, sw, sh, x0, y0,
                   static_cast<double>(lWidth), static_cast<double>(lHeight));
    } else {
        // At its own size, SDL's blit without blending: the layer takes the picture's pixels
        // as they are, clipped to the visited pixels.
        UniqueSurface from(SDL_CreateRGBSurfaceWithFormatFrom(pixels->data(), sw, sh, 32, sw * 4,
                                                              SDL_PIXELFORMAT_ARGB8888));
        UniqueSurface to(SDL_CreateRGBSurfaceWithFormatFrom(layer.data(), box_w, box_h, 32,
                                                            box_w * 4, SDL_PIXELFORMAT_ARGB8888));
        if (!from || !to) return CheckStatus(OutOfMemory);
        SDL_SetSurfaceBlendMode(from.get(), SDL_BLENDMODE_NONE);
        SDL_Rect at{static_cast<int>(left), static_cast<int>(top), sw, sh};
        if (SDL_BlitSurface(from.get(), nullptr, to.get(), &at) != 0)
            return CheckStatus(OutOfMemory);
    }

    // The layer goes over the target's pixels with straight-alpha "source over", computed
    // here: SDL's blending rounds by shifts, so an opaque target comes out with alpha 253 and
    // colours up to two steps off. The pixels are read and written in the target's own layout
    // by SDL's conversions, which give the same values as SDL_GetRGBA and SDL_MapRGBA for the
    // layouts a bitmap holds (unused bits within the box come out 0).
    SurfaceLock lock(&dst);
    if (!lock.Locked()) return CheckStatus(OutOfMemory);
    auto* corner = static_cast<std::uint8_t*>(dst.pixels) +
                   static_cast<std::ptrdiff_t>(from_y) * dst.pitch +
                   static_cast<std::ptrdiff_t>(from_x) * dst.format->BytesPerPixel;
    UniqueSurface view(SDL_CreateRGBSurfaceWithFormatFrom(
        corner, box_w, box_h, dst.format->BitsPerPixel, dst.pitch, dst.format->format));
    std::optional<std::vector<std::uint32_t>> under;
    if (view) under = ReadArgb(*view);
    if (!under) return CheckStatus(OutOfMemory);
    for (std::size_t i = 0; i < under->size(); ++i)
        (*under)[i] = Over(layer[i], (*under)[i]);
    if (SDL_ConvertPixels(box_w, box_h, SDL_PIXELFORMAT_ARGB8888, under->data(), box_w * 4,
                          dst.format->format, corner, dst.pitch) != 0)
        return CheckStatus(OutOfMemory);
    return CheckStatus(Ok);
}

}  // namespace kavro::imaging
