#include "toolkit/PngWriter.h"

#include <SDL.h>
#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace kavro::toolkit {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

// libpng reports an error by calling this and then jumping back to WriteImage's setjmp.
void OnPngError(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message ? message : "libpng error";
    png_longjmp(png, 1);
}

// libpng's write structures, freed together.
class PngWrite {
  public:
    explicit PngWrite(std::string* message) {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, OnPngError, nullptr);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngWrite() {
        if (png_) png_destroy_write_struct(&png_, &info_);
    }
    PngWrite(const PngWrite&) = delete;
    PngWrite& operator=(const PngWrite&) = delete;
    bool Ok() const { return png_ && info_; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// Everything libpng does, in a function whose locals have no destructors, as its longjmp on
// an error requires. The rows are B, G, R, A bytes; without alpha the fourth byte is dropped.
bool WriteImage(const PngWrite& write, std::FILE* file, int width, int height, bool alpha,
                png_bytep* rows) {
    png_structp png = write.Png();
    png_infop info = write.Info();
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Level 1 writes a 1920x1080 screen about four times faster than zlib's default level.
    // Screen pictures are flat areas and text: at this level every row filter tried made the
    // file larger as well as slower, so rows are stored unfiltered.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Four bytes a pixel lying B, G, R and one unused, so that libpng can take the rows as they are.
bool BgrxBytes(const SDL_PixelFormat& f) {
    const auto byte = [](Uint32 mask, int index) {
        return SDL_BYTEORDER == SDL_LIL_ENDIAN ? mask == Uint32{0xFF} << (8 * index)
                                               : mask == Uint32{0xFF} << (8 * (3 - index));
    };
    return f.BytesPerPixel == 4 && f.Amask == 0 && byte(f.Bmask, 0) && byte(f.Gmask, 1) &&
           byte(f.Rmask, 2);
}

bool AllOpaque(const SDL_Surface& s) {
    for (int y = 0; y < s.h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(s.pixels) + std::ptrdiff_t{y} * s.pitch;
        for (int x = 0; x < s.w; ++x)
            if (row[x * 4 + 3] != 0xFF) return false;
    }
    return true;
}

bool Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

}  // namespace

bool WritePng(SDL_Surface* surface, const std::string& path, std::string* error) {
    if (!surface || surface->w <= 0 || surface->h <= 0)
        return Fail(error, "cannot write " + path + ": no picture");
    // B, G, R, A bytes in memory whatever the machine's byte order; a picture without an alpha
    // channel whose bytes already lie B, G, R, unused is taken as it is.
    std::unique_ptr<SDL_Surface, SurfaceDeleter> converted;
    if (surface->format->format != SDL_PIXELFORMAT_BGRA32 && !BgrxBytes(*surface->format)) {
        converted.reset(SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_BGRA32, 0));
        if (!converted)
            return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
        surface = converted.get();
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
    std::vector<png_bytep> rows(static_cast<std::size_t>(surface->h));
    for (int y = 0; y < surface->h; ++y)
        rows[static_cast<std::size_t>(y)] =
            static_cast<png_bytep>(surface->pixels) + std::ptrdiff_t{y} * surface->pitch;
    // Without an alpha channel the fourth byte means nothing: blending may have left any value.
    const bool alpha = surface->format->Amask != 0 && !AllOpaque(*surface);

    std::string message;
    bool ok = false;
    bool opened = false;
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
        if (!file) {
            message = std::strerror(errno);
        } else {
            opened = true;
            PngWrite write(&message);
            ok = write.Ok() &&
                 WriteImage(write, file.get(), surface->w, surface->h, alpha, rows.data());
            if (!write.Ok()) message = "out of memory";
            // Buffered bytes reach the disk only here; a full disk shows now.
            if (ok && std::fflush(file.get()) != 0) {
                ok = false;
                message = std::strerror(errno);
            }
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (!ok) {
        // Only a file of our own making: the path may name a device.
        std::error_code ec;
        if (opened && std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
        return Fail(error, "cannot write " + path + ": " + message);
    }
    return true;
}

}  // namespace kavro::toolkit
