#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Picture.h"

struct SDL_Surface;

namespace kavro::imaging {

// Status codes of the bitmap and graphics wrappers. The numbering is the classic GDI+ status
// enumeration, so callers and messages keep their familiar meaning.
enum GpStatus : long {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

// Pixel-format values in the GDI+ encoding: index in bits 0-7, bits per pixel in bits 8-15,
// flags above.
enum ePixelFormats : long {
    PixelFormatUndefined = 0,
    PixelFormat1bppIndexed = 0x00030101,
    PixelFormat4bppIndexed = 0x00030402,
    PixelFormat8bppIndexed = 0x00030803,
    PixelFormat16bppGrayScale = 0x00101004,
    PixelFormat16bppRGB555 = 0x00021005,
    PixelFormat16bppRGB565 = 0x00021006,
    PixelFormat16bppARGB1555 = 0x00061007,
    PixelFormat24bppRGB = 0x00021808,
    PixelFormat32bppRGB = 0x00022009,
    PixelFormat32bppARGB = 0x0026200A,
    PixelFormat32bppPARGB = 0x000E200B,
    PixelFormat48bppRGB = 0x0010300C,
    PixelFormat64bppARGB = 0x0034400D,
    PixelFormat64bppPARGB = 0x001C400E,
};

// The message text of a status; "Unknown GDI+ Error" for 0 and for anything not listed.
std::string GdiErrorText(long lError);

// A colour palette record: flags, count, then up to 256 entries of 0xAARRGGBB.
struct ColorPalette {
    std::uint32_t Flags = 0;
    std::uint32_t Count = 0;
    std::array<std::uint32_t, 256> Entries{};
};

struct BoundsRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// A 16-byte encoder class identifier.
using Clsid = std::array<std::uint8_t, 16>;

class cGraphics;

// Error event signature shared by both wrappers.
using ErrorHandler = std::function<void(long lGdiError, const std::string& sErrorDesc)>;

// The status check of both wrappers: keeps the last status and announces a failure.
long ReportStatus(long status, long& cur_err, const ErrorHandler& error);

// One bitmap image with status codes and an Error event instead of exceptions. The pixels are
// an SDL surface, shared with any cGraphics that draws on them so neither can dangle. The
// imaging library needs no start-up or shut-down per object, so construction only builds the
// encoder table.
class cBitmap {
  public:
    cBitmap();
    ~cBitmap();
    cBitmap(const cBitmap&) = delete;
    cBitmap& operator=(const cBitmap&) = delete;

    // Raised with every failing status that goes through the status check.
    ErrorHandler Error;

    // Copies lHeight rows of lStride bytes from data (or starts zeroed when data is null).
    long CreateFromScan0(long lWidth, long lHeight, long lStride, long ePixelFormat,
                         const void* data);
    // A 32bppARGB bitmap holding a copy of a picture's pixels.
    long CreateFromHBitmap(const toolkit::Picture& picture);
    // A blank, transparent bitmap of the given size for a graphics object.
    long CreateFromGraphics(long lWidth, long lHeight, const cGraphics& graphics);
    long CurErr() const { return cur_err_; }
    void Dispose();
    // The encoder index stored under a file-name pattern such as "*.PNG" (any case), or -1.
    long ExtensionExists(const std::string& sKey) const;
    long LoadFromFile(const std::string& sFileName);
    std::string GdiErrorString(long lError) const { return GdiErrorText(lError); }
    // Opaque and non-zero while an image is held, 0 otherwise.
    std::uintptr_t Handle() const;
    long Height() const { return height_; }
    // A new picture owning a copy of the pixels, transparent parts composited over black and
    // made opaque; null when there is no image.
    toolkit::PicturePtr Picture();
    long PixelFormat() const { return pixel_format_; }
    void SetTransColor(long lIndex);
    long SetPalette(const ColorPalette& palette);
    long Width() const { return width_; }

    // Internal operations, for the program's own code.
    std::optional<Clsid> EncoderClsid(long index) const;
    long EncoderCount() const { return static_cast<long>(encoders_.size()); }
    long GetPalette(ColorPalette& palette, long count);
    const BoundsRect& Bounds() const { return bounds_; }
    long SaveToFile(const std::string& sFileName, const Clsid& encoder, const void* encoderParams);
    // There is no LockBits to pair with, so there is nothing to unlock.
    long UnlockBits(const void* lockedBitsData);
    // Adds the patterns of one encoder's ";"-separated list under the given index.
    void AddExtensions(const std::string& extensions, long index);

    // The surface, shared with graphics objects that draw on it; null when there is no image.
    const std::shared_ptr<SDL_Surface>& Surface() const { return surface_; }

    // Well-known encoder identifiers.
    static const Clsid kBmpEncoder;
    static const Clsid kJpegEncoder;
    static const Clsid kPngEncoder;

  private:
    struct Encoder {
        Clsid clsid;
        std::string extensions;
    };

    long CheckStatus(long status);
    void Adopt(std::shared_ptr<SDL_Surface> surface);
    // Holds a newly made image and reads its format and size; returns success.
    long TakeImage(std::shared_ptr<SDL_Surface> surface, std::string source);
    void ReadPixelFormat();
    void ReadDimensions();
    void LoadEncoders();

    std::shared_ptr<SDL_Surface> surface_;
    long cur_err_ = 0;
    long pixel_format_ = 0;
    long width_ = 0;
    long height_ = 0;
    // The pixel format the file itself declares where it differs from the decoded surface
    // (sub-byte palette depths), or 0.
    long declared_format_ = 0;
    // The file the image came from, handed on to pictures made from it.
    std::string source_;
    BoundsRect bounds_;
    std::vector<Encoder> encoders_;
    // Upper-cased pattern -> encoder index.
    std::map<std::string, long> extension_index_;
};

}  // namespace kavro::imaging
