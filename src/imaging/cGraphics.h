#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imaging/cBitmap.h"

struct SDL_Surface;

namespace kavro::imaging {

enum MatrixOrder : long {
    MatrixOrderPrepend = 0,  // the new operation is applied before the current transform
    MatrixOrderAppend = 1,   // the new operation is applied after it
};

// A 2-D affine world transform in the row-vector convention:
// x' = x * m11 + y * m21 + dx, y' = x * m12 + y * m22 + dy.
struct WorldMatrix {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    // this applied first, then other.
    WorldMatrix Then(const WorldMatrix& other) const;
};

// Draws bitmaps on the pixels of a bitmap, through a world transform. The target pixels are
// shared with the bitmap, so the graphics stays valid even when that bitmap is disposed first.
// There are no device contexts or windows to draw on here: those creators and GetDC report
// NotImplemented.
class cGraphics {
  public:
    cGraphics() = default;
    ~cGraphics();
    cGraphics(const cGraphics&) = delete;
    cGraphics& operator=(const cGraphics&) = delete;

    ErrorHandler Error;

    // Makes a blank bitmap of the given size into `bitmap`; the graphics must be live.
    long CreateFromGraphics(long lWidth, long lHeight, cBitmap& bitmap);
    long CreateFromHDC(std::uintptr_t lHdc);
    long CreateFromHWND(std::uintptr_t lHwnd);
    // Draws on the given bitmap's pixels, which must be a direct-colour image.
    long CreateFromImage(cBitmap& bitmap);
    long CurErr() const { return cur_err_; }
    void Dispose();
    long DrawImageI(const cBitmap& image, long x, long y);
    long DrawImageRectI(const cBitmap& image, long x, long y, long lWidth, long lHeight);
    long GetDC();
    std::string GdiErrorString(long lError) const { return GdiErrorText(lError); }
    std::uintptr_t Handle() const;
    void ReleaseDC();
    long ResetTransform();
    long RotateTransform(float sngAngle, long eOrder);
    long TranslateTransform(float dx, float dy, long eOrder);

    const WorldMatrix& Transform() const { return transform_; }

  private:
    long CheckStatus(long status);
    long Combine(const WorldMatrix& op, long eOrder);

    std::shared_ptr<SDL_Surface> target_;
    std::uintptr_t dc_ = 0;
    long cur_err_ = 0;
    WorldMatrix transform_;
};

}  // namespace kavro::imaging
