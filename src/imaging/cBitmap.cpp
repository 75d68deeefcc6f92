#include "imaging/cBitmap.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/Strings.h"
#include "imaging/Surfaces.h"
#include "imaging/cGraphics.h"
#include "backend/LoadPicture.h"
#include "backend/PictureHeader.h"

namespace kavro::imaging {

const Clsid cBitmap::kBmpEncoder = {0x00, 0xF4, 0x7C, 0x55, 0x04, 0x1A, 0xD3, 0x11,
                                    0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E};
const Clsid cBitmap::kJpegEncoder = {0x01, 0xF4, 0x7C, 0x55, 0x04, 0x1A, 0xD3, 0x11,
                                     0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E};
const Clsid cBitmap::kPngEncoder = {0x06, 0xF4, 0x7C, 0x55, 0x04, 0x1A, 0xD3, 0x11,
                                    0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E};

std::string GdiErrorText(long lError) {
    switch (lError) {
        case 1:
            return "Generic Error";
        case 2:
            return "Invalid Parameter";
        case 3:
            return "Out Of Memory";
        case 4:
            return "Object Busy";
        case 5:
            return "Insufficient Buffer";
        case 6:
            return "Not Implemented";
        case 7:
            return "Win32 Error";
        case 8:
            return "Wrong State";
        case 9:
            return "Aborted";
        case 10:
            return "File Not Found";
        case 11:
            return "Value Overflow";
        case 12:
            return "Access Denied";
        case 13:
            return "Unknown Image Format";
        case 14:
            return "FontFamily Not Found";
        case 15:
            return "FontStyle Not Found";
        case 16:
            return "Not TrueType Font";
        case 17:
            return "Unsupported Gdiplus Version";
        case 18:
            return "Gdiplus Not Initialized";
        case 19:
            return "Property Not Found";
        case 20:
            return "Property Not Supported";
        default:
            return "Unknown GDI+ Error";
    }
}

namespace {

// Enough of a file to find the frame size of any reasonable JPEG (EXIF blocks come first).

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

using Bytes = std::vector<std::uint8_t>;

// PNG palette and grey depths below 8 bits, which the decoder widens.
long DeclaredFormat(const toolkit::PictureHeader& h) {
    if (h.format != toolkit::PictureHeader::Format::Png) return 0;
    if (h.png_colour_type != 3 && h.png_colour_type != 0) return 0;
    if (h.png_bit_depth == 1) return PixelFormat1bppIndexed;
    if (h.png_bit_depth == 2 || h.png_bit_depth == 4) return PixelFormat4bppIndexed;
    return 0;
}

bool TooLarge(long long w, long long h) {
    return w > toolkit::kMaxPictureSide || h > toolkit::kMaxPictureSide;
}

// A picture file to decode: also no more pixels than any picture the viewer takes.
bool TooLargeToDecode(long long w, long long h) {
    return TooLarge(w, h) || w * h > toolkit::kMaxPicturePixels;
}

// The decoded layouts that are kept as they are; anything else becomes 32-bit ARGB.
bool KeepsLayout(const SDL_PixelFormat& f) {
    if (IsIndexed(f)) return IsReadableFormat(f);
    switch (f.format) {
        case SDL_PIXELFORMAT_RGB565:
        case SDL_PIXELFORMAT_RGB555:
        case SDL_PIXELFORMAT_ARGB1555:
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24:
        case SDL_PIXELFORMAT_RGB888:
        case SDL_PIXELFORMAT_BGR888:
        case SDL_PIXELFORMAT_ARGB8888:
        case SDL_PIXELFORMAT_ABGR8888:
        case SDL_PIXELFORMAT_RGBA8888:
        case SDL_PIXELFORMAT_BGRA8888:
            return true;
        default:
            return false;
    }
}

long FormatOf(const SDL_Surface& s, long declared) {
    const SDL_PixelFormat& f = *s.format;
    if (IsIndexed(f)) {
        if (declared != 0) return declared;
        if (f.BitsPerPixel == 1) return PixelFormat1bppIndexed;
        if (f.BitsPerPixel <= 4) return PixelFormat4bppIndexed;
        return PixelFormat8bppIndexed;
    }
    switch (f.format) {
        case SDL_PIXELFORMAT_RGB565:
            return PixelFormat16bppRGB565;
        case SDL_PIXELFORMAT_RGB555:
            return PixelFormat16bppRGB555;
        case SDL_PIXELFORMAT_ARGB1555:
            return PixelFormat16bppARGB1555;
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24:
            return PixelFormat24bppRGB;
        default:
            break;
    }
    if (f.BitsPerPixel == 32) return f.Amask != 0 ? PixelFormat32bppARGB : PixelFormat32bppRGB;
    return PixelFormatUndefined;
}

// The SDL layout that holds a format's rows byte for byte.
std::optional<Uint32> SdlFormatFor(long e) {
    switch (e) {
        case PixelFormat1bppIndexed:
            return SDL_PIXELFORMAT_INDEX1MSB;
        case PixelFormat4bppIndexed:
            return SDL_PIXELFORMAT_INDEX4MSB;
        case PixelFormat8bppIndexed:
            return SDL_PIXELFORMAT_INDEX8;
        case PixelFormat16bppRGB555:
            return SDL_PIXELFORMAT_RGB555;
        case PixelFormat16bppRGB565:
            return SDL_PIXELFORMAT_RGB565;
        case PixelFormat16bppARGB1555:
            return SDL_PIXELFORMAT_ARGB1555;
        case PixelFormat24bppRGB:
            return SDL_PIXELFORMAT_BGR24;  // blue byte first
        case PixelFormat32bppRGB:
            return SDL_PIXELFORMAT_RGB888;
        case PixelFormat32bppARGB:
            return SDL_PIXELFORMAT_ARGB8888;
        default:
            return std::nullopt;
    }
}

// A grey ramp for new 4- and 8-bit indexed bitmaps, whose palette would otherwise be white.
void SetGreyRamp(SDL_Surface& s) {
    SDL_Palette* palette = s.format->palette;
    if (!palette || palette->ncolors <= 2) return;
    std::vector<SDL_Color> colours(static_cast<std::size_t>(palette->ncolors));
    for (int i = 0; i < palette->ncolors; ++i) {
        const auto v = static_cast<Uint8>(i * 255 / (palette->ncolors - 1));
        colours[static_cast<std::size_t>(i)] = SDL_Color{v, v, v, 255};
    }
    SDL_SetPaletteColors(palette, colours.data(), 0, palette->ncolors);
}

// Moves an indexed surface's colour key into its palette as alpha 0, so the palette alone
// says what is transparent, as palette operations expect.
void FoldColourKey(SDL_Surface& s) {
    Uint32 key = 0;
    if (!IsIndexed(*s.format) || SDL_GetColorKey(&s, &key) != 0) return;
    SDL_Palette* palette = s.format->palette;
    if (key < static_cast<Uint32>(palette->ncolors)) {
        SDL_Color c = palette->colors[key];
        c.a = 0;
        SDL_SetPaletteColors(palette, &c, static_cast<int>(key), 1);
    }
    SDL_SetColorKey(&s, SDL_FALSE, 0);
}

}  // namespace

cBitmap::cBitmap() {
    LoadEncoders();
}

cBitmap::~cBitmap() {
    Dispose();
}

long ReportStatus(long status, long& cur_err, const ErrorHandler& error) {
    cur_err = status;
    if (status != Ok && error) error(status, GdiErrorText(status));
    return status;
}

long cBitmap::CheckStatus(long status) {
    return ReportStatus(status, cur_err_, Error);
}

long cBitmap::TakeImage(std::shared_ptr<SDL_Surface> surface, std::string source) {
    Adopt(std::move(surface));
    source_ = std::move(source);
    const long result = CheckStatus(Ok);
    ReadPixelFormat();
    ReadDimensions();
    return result;
}

void cBitmap::LoadEncoders() {
    encoders_.clear();
    // Only what this build can actually write goes in, BMP first.
    encoders_.push_back({kBmpEncoder, "*.BMP;*.DIB;*.RLE"});
#if SDL_IMAGE_VERSION_ATLEAST(2, 0, 2)
    encoders_.push_back({kJpegEncoder, "*.JPG;*.JPEG;*.JPE;*.JFIF"});
#endif
    encoders_.push_back({kPngEncoder, "*.PNG"});
    extension_index_.clear();
    for (long i = static_cast<long>(encoders_.size()) - 1; i >= 0; --i)
        AddExtensions(encoders_[static_cast<std::size_t>(i)].extensions, i);
}

void cBitmap::AddExtensions(const std::string& extensions, long index) {
    const std::vector<std::string_view> pieces = base::Split(extensions, ';');
    // A pattern listed twice keeps the first index it was given.
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        extension_index_.try_emplace(Upper(std::string(pieces[i])), index);
    const std::string_view last = base::Trim(pieces.back());
    if (!last.empty()) extension_index_.try_emplace(Upper(std::string(last)), index);
}

long cBitmap::ExtensionExists(const std::string& sKey) const {
    const auto it = extension_index_.find(Upper(sKey));
    return it == extension_index_.end() ? -1 : it->second;
}

std::optional<Clsid> cBitmap::EncoderClsid(long index) const {
    if (index < 0 || index >= static_cast<long>(encoders_.size())) return std::nullopt;
    return encoders_[static_cast<std::size_t>(index)].clsid;
}

std::uintptr_t cBitmap::Handle() const {
    return reinterpret_cast<std::uintptr_t>(surface_.get());
}

void cBitmap::Dispose() {
    surface_.reset();
}

void cBitmap::Adopt(std::shared_ptr<SDL_Surface> surface) {
    surface_ = std::move(surface);
    declared_format_ = 0;
}

void cBitmap::ReadPixelFormat() {
    if (!surface_) {
        CheckStatus(InvalidParameter);
        return;
    }
    pixel_format_ = FormatOf(*surface_, declared_format_);
    CheckStatus(Ok);
}

void cBitmap::ReadDimensions() {
    if (!surface_) {
        CheckStatus(InvalidParameter);
        return;
    }
    width_ = surface_->w;
    height_ = surface_->h;
    bounds_ =
        BoundsRect{0, 0, static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_)};
    CheckStatus(Ok);
}

long cBitmap::LoadFromFile(const std::string& sFileName) {
    // The new image (or none, on failure) takes the place of any image held before.
    surface_.reset();
    long status = Ok;
    std::shared_ptr<SDL_Surface> loaded;
    long declared = 0;
    std::error_code ec;
    if (sFileName.empty() || !std::filesystem::is_regular_file(sFileName, ec)) {
        status = FileNotFound;
    } else if (std::filesystem::file_size(sFileName, ec) == 0) {
        status = UnknownImageFormat;
    } else if (const std::optional<Bytes> bytes = toolkit::ReadPictureFile(sFileName); !bytes) {
        status = AccessDenied;
    } else if (const toolkit::PictureHeader header = toolkit::ReadPictureHeader(*bytes);
               header.format == toolkit::PictureHeader::Format::Unknown || header.malformed ||
               header.truncated || !header.sizes_known) {
        status = UnknownImageFormat;  // only a format whose sizes were read is decoded
    } else if (header.width == 0 || header.height == 0) {
        status = UnknownImageFormat;
    } else if (header.oversized_frame || TooLargeToDecode(header.width, header.height)) {
        status = OutOfMemory;  // refused before a decoder allocates for it
    } else {
        declared = DeclaredFormat(header);
        UniqueSurface decoded(toolkit::DecodePicture(*bytes, header).release());
        if (!decoded || decoded->w <= 0 || decoded->h <= 0 || !decoded->format) {
            status = UnknownImageFormat;
        } else if (TooLargeToDecode(decoded->w, decoded->h)) {
            status = OutOfMemory;
        } else {
            if (!KeepsLayout(*decoded->format)) {
                decoded.reset(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
                declared = 0;
            }
            if (!decoded) {
                status = OutOfMemory;
            } else {
                FoldColourKey(*decoded);
                loaded = ShareSurface(decoded.release());
            }
        }
    }
    Adopt(std::move(loaded));
    declared_format_ = declared;
    source_ = status == Ok ? sFileName : std::string();
    const long result = CheckStatus(status);
    ReadPixelFormat();
    ReadDimensions();
    return result;
}

long cBitmap::CreateFromScan0(long lWidth, long lHeight, long lStride, long ePixelFormat,
                              const void* data) {
    const std::optional<Uint32> sdl_format = SdlFormatFor(ePixelFormat);
    if (lWidth <= 0 || lHeight <= 0 || !sdl_format) return CheckStatus(InvalidParameter);
    if (TooLarge(lWidth, lHeight)) return CheckStatus(OutOfMemory);
    const long bits = (ePixelFormat >> 8) & 0xFF;
    const long row_bytes = (lWidth * bits + 7) / 8;
    if (data && (lStride < row_bytes || lStride % 4 != 0)) return CheckStatus(InvalidParameter);

    UniqueSurface made(SDL_CreateRGBSurfaceWithFormat(0, static_cast<int>(lWidth),
                                                      static_cast<int>(lHeight),
                                                      static_cast<int>(bits), *sdl_format));
    if (!made) return CheckStatus(OutOfMemory);
    SetGreyRamp(*made);
    if (data) {
        // The rows are copied, so the caller's buffer may go away at once.
        SurfaceLock lock(made.get());
        if (!lock.Locked()) return CheckStatus(OutOfMemory);
        const auto* from = static_cast<const std::uint8_t*>(data);
        auto* to = static_cast<std::uint8_t*>(made->pixels);
        for (long y = 0; y < lHeight; ++y)
            std::memcpy(to + y * made->pitch, from + y * lStride,
                        static_cast<std::size_t>(row_bytes));
    }
    return TakeImage(ShareSurface(made.release()), std::string());
}

long cBitmap::CreateFromHBitmap(const toolkit::Picture& picture) {
    if (picture.IsEmpty()) return CheckStatus(InvalidParameter);
    UniqueSurface made(SDL_CreateRGBSurfaceWithFormat(0, picture.Width(), picture.Height(), 32,
                                                      SDL_PIXELFORMAT_ARGB8888));
    if (!made) return CheckStatus(OutOfMemory);
    {
        SurfaceLock lock(made.get());
        if (!lock.Locked()) return CheckStatus(OutOfMemory);
        const std::size_t row_bytes = static_cast<std::size_t>(picture.Width()) * 4;
        for (int y = 0; y < picture.Height(); ++y)
            std::memcpy(static_cast<std::uint8_t*>(made->pixels) + y * made->pitch,
                        picture.Pixels().data() +
                            static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.Width()),
                        row_bytes);
    }
    // The size is read here too, so Width and Height never describe a previous image.
    return TakeImage(ShareSurface(made.release()), picture.Source());
}

long cBitmap::CreateFromGraphics(long lWidth, long lHeight, const cGraphics& graphics) {
    if (graphics.Handle() == 0 || lWidth <= 0 || lHeight <= 0) return CheckStatus(InvalidParameter);
    if (TooLarge(lWidth, lHeight)) return CheckStatus(OutOfMemory);
    UniqueSurface made(SDL_CreateRGBSurfaceWithFormat(
        0, static_cast<int>(lWidth), static_cast<int>(lHeight), 32, SDL_PIXELFORMAT_ARGB8888));
    if (!made) return CheckStatus(OutOfMemory);
    return TakeImage(ShareSurface(made.release()), std::string());
}

toolkit::PicturePtr cBitmap::Picture() {
    if (!surface_) return nullptr;
    std::optional<std::vector<std::uint32_t>> argb;
    {
        SurfaceLock lock(surface_.get());
        if (lock.Locked()) argb = ReadArgb(*surface_);
    }
    if (!argb) {
        // The conversion failed: announce it, but it is not a status of a call.
        if (Error) Error(GenericError, GdiErrorText(GenericError));
        return nullptr;
    }
    // Composited over black, as a conversion with background colour 0 gives.
    for (std::uint32_t& p : *argb) {
        const std::uint32_t a = p >> 24;
        if (a == 255) continue;  // most pixels: nothing to blend
        auto over_black = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        p = 0xFF000000u | (over_black((p >> 16) & 0xFF) << 16) |
            (over_black((p >> 8) & 0xFF) << 8) | over_black(p & 0xFF);
    }
    return std::make_shared<const toolkit::Picture>(surface_->w, surface_->h, std::move(*argb),
                                                    source_);
}

long cBitmap::GetPalette(ColorPalette& palette, long count) {
    if (!surface_ || count < 0 || count > 256) return CheckStatus(InvalidParameter);
    palette = ColorPalette{};
    const SDL_Palette* own = IsIndexed(*surface_->format) ? surface_->format->palette : nullptr;
    if (!own) return CheckStatus(Ok);  // a direct-colour image has an empty palette
    if (own->ncolors > count) return CheckStatus(InsufficientBuffer);
    bool alpha = false;
    bool grey = true;
    for (int i = 0; i < own->ncolors; ++i) {
        const SDL_Color c = own->colors[i];
        palette.Entries[static_cast<std::size_t>(i)] =
            (std::uint32_t{c.a} << 24) | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) |
            std::uint32_t{c.b};
        alpha = alpha || c.a != 255;
        grey = grey && c.r == c.g && c.g == c.b;
    }
    palette.Count = static_cast<std::uint32_t>(own->ncolors);
    palette.Flags = (alpha ? 1u : 0u) | (grey ? 2u : 0u);
    return CheckStatus(Ok);
}

long cBitmap::SetPalette(const ColorPalette& palette) {
    if (!surface_ || palette.Count > palette.Entries.size()) return CheckStatus(InvalidParameter);
    SDL_Palette* own = IsIndexed(*surface_->format) ? surface_->format->palette : nullptr;
    if (!own) return CheckStatus(Ok);  // nothing to apply it to
    const int n = std::min(static_cast<int>(palette.Count), own->ncolors);
    std::vector<SDL_Color> colours(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::uint32_t e = palette.Entries[static_cast<std::size_t>(i)];
        colours[static_cast<std::size_t>(i)] =
            SDL_Color{static_cast<Uint8>(e >> 16), static_cast<Uint8>(e >> 8),
                      static_cast<Uint8>(e), static_cast<Uint8>(e >> 24)};
    }
    if (n > 0 && SDL_SetPaletteColors(own, colours.data(), 0, n) != 0)
        return CheckStatus(GenericError);
    return CheckStatus(Ok);
}

void cBitmap::SetTransColor(long lIndex) {
    if (!surface_ || lIndex < 0 || lIndex > 255) return;
    ColorPalette palette;
    if (GetPalette(palette, 256) != Ok) return;
    palette.Entries[static_cast<std::size_t>(lIndex)] &= 0x00FFFFFFu;
    SetPalette(palette);
}

long cBitmap::SaveToFile(const std::string& sFileName, const Clsid& encoder,
                         const void* /*encoderParams: defaults are used*/) {
    if (!surface_ || sFileName.empty()) return CheckStatus(InvalidParameter);
    const bool offered = std::any_of(encoders_.begin(), encoders_.end(),
                                     [&](const Encoder& e) { return e.clsid == encoder; });
    if (!offered) return CheckStatus(InvalidParameter);
    int rc = -1;
    if (encoder == kBmpEncoder) {
        rc = SDL_SaveBMP(surface_.get(), sFileName.c_str());
    } else if (encoder == kPngEncoder) {
        rc = IMG_SavePNG(surface_.get(), sFileName.c_str());
#if SDL_IMAGE_VERSION_ATLEAST(2, 0, 2)
    } else if (encoder == kJpegEncoder) {
        rc = IMG_SaveJPG(surface_.get(), sFileName.c_str(), 90);
#endif
    }
    return CheckStatus(rc == 0 ? Ok : Win32Error);
}

long cBitmap::UnlockBits(const void* /*lockedBitsData*/) {
    return CheckStatus(NotImplemented);
}

}  // namespace kavro::imaging
