#include "backend/PngWriter.h"

#include <SDL.h>
#include <spng.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Deleter.h"
#include "base/Failure.h"

namespace kavro::toolkit {

using base::Fail;

namespace {

// zlib's lowest level writes a 1920x1080 screen about four times faster than its default level.
// Screen pictures are flat areas and text: at this level every row filter tried made the file
// larger as well as slower, so rows are stored unfiltered.
constexpr int kLevel = 1;

// Four bytes a pixel lying B, G, R and one unused, so that the rows can be read as they are.
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

// The PNG file of a surface whose pixels lie B, G, R, A (or unused) in memory, row by row as
// PNG stores them (R, G, B and, with alpha, A bytes a pixel); empty with the reason in *why.
std::vector<unsigned char> Encode(const SDL_Surface& s, bool alpha, std::string* why) {
    const base::Owned<spng_ctx, spng_ctx_free> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) {
        *why = "out of memory";
        return {};
    }
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(s.w);
    header.height = static_cast<std::uint32_t>(s.h);
    header.bit_depth = 8;
    header.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<unsigned char> row(static_cast<std::size_t>(s.w) * channels);
    int status = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (status == 0) status = spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, kLevel);
    if (status == 0)
        status = spng_set_option(ctx.get(), SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
    if (status == 0) status = spng_set_ihdr(ctx.get(), &header);
    if (status == 0)
        status = spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG,
                                   SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    for (int y = 0; y < s.h && status == 0; ++y) {
        const auto* px = static_cast<const unsigned char*>(s.pixels) + std::ptrdiff_t{y} * s.pitch;
        unsigned char* out = row.data();
        for (int x = 0; x < s.w; ++x, px += 4, out += channels) {
            out[0] = px[2];
            out[1] = px[1];
            out[2] = px[0];
            if (alpha) out[3] = px[3];
        }
        status = spng_encode_row(ctx.get(), row.data(), row.size());
    }
    if (status != SPNG_EOI) {
        *why = spng_strerror(status);
        return {};
    }
    std::size_t size = 0;
    int get_status = 0;
    const base::Owned<void, std::free> png(spng_get_png_buffer(ctx.get(), &size, &get_status));
    if (!png) {
        *why = spng_strerror(get_status);
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(png.get());
    return std::vector<unsigned char>(bytes, bytes + size);
}

}  // namespace

bool WritePng(SDL_Surface* surface, const std::string& path, std::string* error) {
    if (!surface || surface->w <= 0 || surface->h <= 0)
        return Fail(error, "cannot write " + path + ": no picture");
    // B, G, R, A bytes in memory whatever the machine's byte order; a picture without an alpha
    // channel whose bytes already lie B, G, R, unused is taken as it is.
    base::Owned<SDL_Surface, SDL_FreeSurface> converted;
    if (surface->format->format != SDL_PIXELFORMAT_BGRA32 && !BgrxBytes(*surface->format)) {
        converted.reset(SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_BGRA32, 0));
        if (!converted)
            return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
        surface = converted.get();
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
    // Without an alpha channel the fourth byte means nothing: blending may have left any value.
    const bool alpha = surface->format->Amask != 0 && !AllOpaque(*surface);
    std::string why;
    const std::vector<unsigned char> png = Encode(*surface, alpha, &why);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (png.empty()) return Fail(error, "cannot write " + path + ": " + why);
    const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
    // The replacement's reason already names the file.
    return base::ReplaceFile(path, bytes, error);
}

}  // namespace kavro::toolkit
