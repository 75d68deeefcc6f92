#include "imaging/cGraphics.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
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

    // The inverse transform takes each target pixel centre back to world coordinates.
    const double i11 = m.m22 / det, i12 = -m.m12 / det, i21 = -m.m21 / det, i22 = m.m11 / det;
    const double scale_x = sw / static_cast<double>(lWidth);
    const double scale_y = sh / static_cast<double>(lHeight);

    SurfaceLock lock(&dst);
    if (!lock.Locked()) return CheckStatus(OutOfMemory);
    const bool dst_alpha = SDL_ISPIXELFORMAT_ALPHA(dst.format->format);
    for (int py = from_y; py < to_y; ++py) {
        for (int px = from_x; px < to_x; ++px) {
            const double wx = px + 0.5 - m.dx, wy = py + 0.5 - m.dy;
            const double u = wx * i11 + wy * i21;
            const double v = wx * i12 + wy * i22;
            if (u < x0 || u >= x1 || v < y0 || v >= y1) continue;
            const int sx = std::clamp(static_cast<int>((u - x0) * scale_x), 0, sw - 1);
            const int sy = std::clamp(static_cast<int>((v - y0) * scale_y), 0, sh - 1);
            const std::uint32_t s =
                (*pixels)[static_cast<std::size_t>(sy) * static_cast<std::size_t>(sw) +
                          static_cast<std::size_t>(sx)];
            Uint8 r = 0, g = 0, b = 0, a = 255;
            SDL_GetRGBA(ReadRaw(dst, px, py), dst.format, &r, &g, &b, &a);
            if (!dst_alpha) a = 255;
            const std::uint32_t d = (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) |
                                    (std::uint32_t{g} << 8) | std::uint32_t{b};
            const std::uint32_t o = Over(s, d);
            WriteRaw(
                dst, px, py,
                SDL_MapRGBA(dst.format, static_cast<Uint8>(o >> 16), static_cast<Uint8>(o >> 8),
                            static_cast<Uint8>(o), static_cast<Uint8>(o >> 24)));
        }
    }
    return CheckStatus(Ok);
}

}  // namespace kavro::imaging
