#include "imaging/Surfaces.h"

#include <cstddef>

namespace kavro::imaging {

namespace {

const std::uint8_t* Row(const SDL_Surface& s, int y) {
    return static_cast<const std::uint8_t*>(s.pixels) +
           static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(s.pitch);
}

std::uint8_t* Row(SDL_Surface& s, int y) {
    return static_cast<std::uint8_t*>(s.pixels) +
           static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(s.pitch);
}

bool EightBitsPerChannel(Uint32 format) {
    switch (format) {
        case SDL_PIXELFORMAT_ARGB8888:
        case SDL_PIXELFORMAT_ABGR8888:
        case SDL_PIXELFORMAT_RGBA8888:
        case SDL_PIXELFORMAT_BGRA8888:
        case SDL_PIXELFORMAT_RGB888:
        case SDL_PIXELFORMAT_BGR888:
        case SDL_PIXELFORMAT_RGBX8888:
        case SDL_PIXELFORMAT_BGRX8888:
        case SDL_PIXELFORMAT_RGB24:
        case SDL_PIXELFORMAT_BGR24:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool IsIndexed(const SDL_PixelFormat& format) {
    return SDL_ISPIXELFORMAT_INDEXED(format.format) && format.palette != nullptr;
}

bool IsReadableFormat(const SDL_PixelFormat& format) {
    if (SDL_ISPIXELFORMAT_FOURCC(format.format)) return false;
    if (SDL_ISPIXELFORMAT_INDEXED(format.format)) {
        return format.palette != nullptr && (format.BitsPerPixel == 1 || format.BitsPerPixel == 2 ||
                                             format.BitsPerPixel == 4 || format.BitsPerPixel == 8);
    }
    return format.BitsPerPixel >= 8 && format.BitsPerPixel <= 32 &&
           format.BytesPerPixel == (format.BitsPerPixel + 7) / 8;
}

std::uint32_t ReadRaw(const SDL_Surface& s, int x, int y) {
    const std::uint8_t* row = Row(s, y);
    const int bits = s.format->BitsPerPixel;
    if (bits < 8) {
        const int per_byte = 8 / bits;
        const std::uint8_t byte = row[x / per_byte];
        const int slot = x % per_byte;
        const bool lsb_first = SDL_PIXELORDER(s.format->format) == SDL_BITMAPORDER_4321;
        const int shift = lsb_first ? slot * bits : 8 - bits - slot * bits;
        return static_cast<std::uint32_t>(byte >> shift) & ((1u << bits) - 1u);
    }
    const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * s.format->BytesPerPixel;
    switch (s.format->BytesPerPixel) {
        case 1:
            return p[0];
        case 2: {
            std::uint16_t v = 0;
            SDL_memcpy(&v, p, sizeof v);
            return v;
        }
        case 3:
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
            return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
#else
            return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | std::uint32_t{p[2]};
#endif
        default: {
            std::uint32_t v = 0;
            SDL_memcpy(&v, p, sizeof v);
            return v;
        }
    }
}

void WriteRaw(SDL_Surface& s, int x, int y, std::uint32_t value) {
    std::uint8_t* p = Row(s, y) + static_cast<std::ptrdiff_t>(x) * s.format->BytesPerPixel;
    switch (s.format->BytesPerPixel) {
        case 1:
            p[0] = static_cast<std::uint8_t>(value);
            break;
        case 2: {
            const auto v = static_cast<std::uint16_t>(value);
            SDL_memcpy(p, &v, sizeof v);
            break;
        }
        case 3:
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
            p[0] = static_cast<std::uint8_t>(value);
            p[1] = static_cast<std::uint8_t>(value >> 8);
            p[2] = static_cast<std::uint8_t>(value >> 16);
#else
            p[0] = static_cast<std::uint8_t>(value >> 16);
            p[1] = static_cast<std::uint8_t>(value >> 8);
            p[2] = static_cast<std::uint8_t>(value);
#endif
            break;
        default:
            SDL_memcpy(p, &value, sizeof value);
            break;
    }
}

std::optional<std::vector<std::uint32_t>> ReadArgb(const SDL_Surface& s) {
    if (!s.format || !s.pixels || s.w <= 0 || s.h <= 0 || !IsReadableFormat(*s.format))
        return std::nullopt;
    std::uint32_t key = 0;
    // SDL_GetColorKey takes a non-const surface but only reads it.
    const bool keyed = SDL_GetColorKey(const_cast<SDL_Surface*>(&s), &key) == 0;
    const bool has_alpha = SDL_ISPIXELFORMAT_ALPHA(s.format->format) || IsIndexed(*s.format);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(s.w) * static_cast<std::size_t>(s.h));
    // Whole rows at once for the usual decoder outputs (8 bits a channel, no colour key): the
    // same values as pixel by pixel, many times faster.
    if (!keyed && EightBitsPerChannel(s.format->format) &&
        SDL_ConvertPixels(s.w, s.h, s.format->format, s.pixels, s.pitch, SDL_PIXELFORMAT_ARGB8888,
                          out.data(), s.w * static_cast<int>(sizeof(std::uint32_t))) == 0)
        return out;
    // 8-bit palettes through a table of the 256 colours the pixels can take.
    if (IsIndexed(*s.format) && s.format->BitsPerPixel == 8 && s.format->BytesPerPixel == 1) {
        std::uint32_t table[256];
        for (std::uint32_t i = 0; i < 256; ++i) {
            Uint8 r = 0, g = 0, b = 0, a = 255;
            SDL_GetRGBA(i, s.format, &r, &g, &b, &a);
            if (keyed && i == key) a = 0;
            table[i] = (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) |
                       (std::uint32_t{g} << 8) | std::uint32_t{b};
        }
        std::uint32_t* to = out.data();
        for (int y = 0; y < s.h; ++y) {
            const std::uint8_t* row = Row(s, y);
            for (int x = 0; x < s.w; ++x)
                *to++ = table[row[x]];
        }
        return out;
    }
    std::size_t at = 0;
    for (int y = 0; y < s.h; ++y) {
        for (int x = 0; x < s.w; ++x) {
            const std::uint32_t raw = ReadRaw(s, x, y);
            Uint8 r = 0, g = 0, b = 0, a = 255;
            SDL_GetRGBA(raw, s.format, &r, &g, &b, &a);
            if (!has_alpha) a = 255;
            if (keyed && raw == key) a = 0;
            out[at++] = (std::uint32_t{a} << 24) | (std::uint32_t{r} << 16) |
                        (std::uint32_t{g} << 8) | std::uint32_t{b};
        }
    }
    return out;
}

}  // namespace kavro::imaging
