#include "backend/PictureHeader.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>

#include "base/Deleter.h"
#include "backend/LoadPicture.h"

namespace kavro::toolkit {

namespace {

using Bytes = std::vector<unsigned char>;
using Format = PictureHeader::Format;

std::uint32_t Be16(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 8) | std::uint32_t{b[at + 1]};
}
std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return (Be16(b, at) << 16) | Be16(b, at + 2);
}
std::uint32_t Le16(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8);
}
std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

// Whether n bytes from at lie within the bytes at hand.
bool Has(const Bytes& b, std::uint64_t at, std::uint64_t n) {
    return at <= b.size() && n <= b.size() - at;
}

bool Is(const Bytes& b, std::size_t at, const char* tag, std::size_t n) {
    return Has(b, at, n) && std::memcmp(b.data() + at, tag, n) == 0;
}

bool SideOk(std::uint32_t side) {
    return side > 0 && side <= static_cast<std::uint32_t>(kMaxPictureSide);
}

void Sizes(PictureHeader& h, std::uint32_t width, std::uint32_t height) {
    h.width = width;
    h.height = height;
    h.sizes_known = true;
}

// Sizes given as signed 32-bit values (BMP and ICO bitmap headers): a negative one is malformed.
void SignedSizes(PictureHeader& h, std::uint32_t width, std::uint32_t height) {
    if (static_cast<std::int32_t>(width) < 0 || static_cast<std::int32_t>(height) < 0)
        h.malformed = true;
    else
        Sizes(h, width, height);
}

// Libpng does not notice every short read, and its reader loops for ever on some files cut
// short: every chunk must lie within the bytes, up to the end chunk. Each step moves on by at
// least 12 bytes, so the walk is bounded by the size.
void ReadPng(const Bytes& b, PictureHeader& h) {
    if (b.size() < 26 || !Is(b, 12, "IHDR", 4)) {
        h.malformed = true;
        return;
    }
    Sizes(h, Be32(b, 16), Be32(b, 20));
    h.png_bit_depth = b[24];
    h.png_colour_type = b[25];
    for (std::size_t at = 8; at + 8 <= b.size();) {
        const std::uint32_t length = Be32(b, at);
        if (length > 0x7FFFFFFFu) {
            h.malformed = true;
            return;
        }
        if (b.size() - at < std::size_t{12} + length) break;
        if (Is(b, at + 4, "IEND", 4)) return;
        at += std::size_t{12} + length;
    }
    h.truncated = true;
}

// The decoder sizes its buffer from each frame's image descriptor, not from the logical
// screen, so every frame is looked at. Bytes the walk cannot follow are refused, as their
// frames could not be checked.
void ReadGif(const Bytes& b, PictureHeader& h) {
    if (b.size() < 13) {
        h.malformed = true;
        return;
    }
    Sizes(h, Le16(b, 6), Le16(b, 8));
    auto colour_table = [](unsigned char flags) {
        return flags & 0x80 ? 3u * (std::size_t{1} << ((flags & 0x07) + 1)) : 0;
    };
    std::size_t at = 13 + colour_table(b[10]);
    auto skip_sub_blocks = [&]() -> bool {
        while (at < b.size()) {
            const std::size_t len = b[at++];
            if (len == 0) return true;
            at += len;
        }
        return false;
    };
    while (at < b.size()) {
        const unsigned char tag = b[at++];
        if (tag == 0x3B) return;                                // trailer
        if (tag == 0x21) {                                      // extension: label, then sub-blocks
            if (++at > b.size() || !skip_sub_blocks()) return;  // cut short: frames seen are fine
        } else if (tag == 0x2C) {                               // image descriptor
            if (at + 9 > b.size()) return;
            if (!SideOk(Le16(b, at + 4)) || !SideOk(Le16(b, at + 6))) {
                h.oversized_frame = true;
                return;
            }
            at += 9 + colour_table(b[at + 8]) + 1;  // and the LZW minimum code size
            if (!skip_sub_blocks()) return;
        } else {
            h.malformed = true;
            return;
        }
    }
}

void ReadBmp(const Bytes& b, PictureHeader& h) {
    if (b.size() < 26) {
        h.malformed = true;
        return;
    }
    if (Le32(b, 14) == 12) {  // the OS/2 core header: 16-bit sizes
        Sizes(h, Le16(b, 18), Le16(b, 20));
        return;
    }
    const auto height = static_cast<std::int32_t>(Le32(b, 22));  // negative: top-down rows
    if (height == INT32_MIN || Le32(b, 18) == 0) {
        h.malformed = true;
        return;
    }
    SignedSizes(h, Le32(b, 18), static_cast<std::uint32_t>(height < 0 ? -height : height));
}

// Walks the marker segments up to the frame header; one beyond the bytes at hand leaves the
// sizes unknown.
void ReadJpeg(const Bytes& b, PictureHeader& h) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        const unsigned char marker = b[at + 1];
        if (b[at] != 0xFF || marker == 0xD9 || marker == 0xDA) {  // no frame header first
            h.malformed = true;
            return;
        }
        if (marker == 0xFF) {  // fill byte
            ++at;
        } else if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a segment
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC) {
            if (at + 9 <= b.size()) Sizes(h, Be16(b, at + 7), Be16(b, at + 5));
            return;
        } else if (Be16(b, at + 2) < 2) {
            h.malformed = true;
            return;
        } else {
            at += 2 + Be16(b, at + 2);
        }
    }
}

// Classic TIFF: the first directory's ImageWidth and ImageLength, which the decoder sizes its
// canvas from. Every entry is looked at, so a repeated tag cannot hide a larger value.
void ReadTiff(const Bytes& b, PictureHeader& h) {
    const bool little = b[0] == 'I';
    auto u16 = [&](std::size_t at) { return little ? Le16(b, at) : Be16(b, at); };
    auto u32 = [&](std::size_t at) { return little ? Le32(b, at) : Be32(b, at); };
    const std::uint32_t ifd = b.size() >= 8 ? u32(4) : UINT32_MAX;
    if (!Has(b, ifd, 2) || !Has(b, std::uint64_t{ifd} + 2, u16(ifd) * 12ull)) {
        h.malformed = true;
        return;
    }
    std::uint32_t sides[2] = {};  // width, length
    for (std::uint32_t i = 0, n = u16(ifd); i < n; ++i) {
        const std::size_t e = ifd + 2 + std::size_t{i} * 12;
        const std::uint32_t tag = u16(e), type = u16(e + 2);
        if (tag != 256 && tag != 257) continue;
        // BYTE, SHORT or LONG, one value: the decoder's reading of anything else is not
        // followed here.
        if ((type != 1 && type != 3 && type != 4) || u32(e + 4) != 1) {
            h.malformed = true;
            return;
        }
        const std::uint32_t value = type == 1 ? b[e + 8] : type == 3 ? u16(e + 8) : u32(e + 8);
        sides[tag - 256] = std::max(sides[tag - 256], value);
    }
    if (sides[0] == 0 || sides[1] == 0)
        h.malformed = true;
    else
        Sizes(h, sides[0], sides[1]);
}

// WebP: the sizes of the lossy, lossless or extended header, whichever chunk comes first. The
// first two hold at most 16384 a side; the extended one's canvas is what the decoder allocates.
void ReadWebp(const Bytes& b, PictureHeader& h) {
    const std::size_t data = 20;
    if (!Has(b, data, 10)) {
        h.malformed = true;
    } else if (b[15] == ' ') {  // frame tag, start code, then 14-bit sizes
        Sizes(h, Le16(b, data + 6) & 0x3FFF, Le16(b, data + 8) & 0x3FFF);
    } else if (b[15] == 'L') {  // signature, then 14-bit sizes less one
        const std::uint32_t bits = Le32(b, data + 1);
        Sizes(h, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    } else {  // extended: 24-bit sizes less one
        auto u24 = [&](std::size_t at) { return Le16(b, at) | (std::uint32_t{b[at + 2]} << 16); };
        Sizes(h, u24(data + 4) + 1, u24(data + 7) + 1);
    }
}

// Windows icons and cursors: the decoder takes the directory entry with the most colours (the
// first of them) and sizes the picture from that entry's bitmap header, height halved for the
// mask; that is the picture checked.
void ReadIco(const Bytes& b, PictureHeader& h) {
    const std::uint32_t count = Le16(b, 4);
    if (!Has(b, 6, std::uint64_t{count} * 16)) {
        h.malformed = true;
        return;
    }
    std::uint32_t most_colours = 0;
    std::uint32_t offset = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t e = 6 + std::size_t{i} * 16;
        const std::uint32_t colours = b[e + 2] == 0 ? 256 : b[e + 2];
        if (colours > most_colours) {
            most_colours = colours;
            offset = Le32(b, e + 12);
        }
    }
    if (!Has(b, offset, 40) || Le32(b, offset) != 40) {  // not a bitmap the decoder reads
        h.malformed = true;
        return;
    }
    SignedSizes(h, Le32(b, offset + 4), Le32(b, offset + 8));
    h.height >>= 1;
}

using Decoder = SDL_Surface* (*)(SDL_RWops*);

Decoder DecoderFor(Format format) {
    switch (format) {
        case Format::Png:
            return IMG_LoadPNG_RW;
        case Format::Gif:
            return IMG_LoadGIF_RW;
        case Format::Bmp:
            return IMG_LoadBMP_RW;
        case Format::Jpeg:
            return IMG_LoadJPG_RW;
        case Format::Tiff:
            return IMG_LoadTIF_RW;
        case Format::Webp:
            return IMG_LoadWEBP_RW;
        case Format::Ico:
            return IMG_LoadICO_RW;
        case Format::Cur:
            return IMG_LoadCUR_RW;
        case Format::Unknown:
            break;
    }
    return nullptr;
}

using RwPtr = base::Owned<SDL_RWops, SDL_RWclose>;

constexpr std::streamoff kMaxFileBytes = 512LL * 1024 * 1024;

}  // namespace

std::optional<std::vector<unsigned char>> ReadPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxFileBytes) return std::nullopt;
    in.seekg(0, std::ios::beg);
    std::vector<unsigned char> data(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) return std::nullopt;
    return data;
}

bool PictureHeader::SizesAcceptable() const {
    return format != Format::Unknown && !malformed && !oversized_frame && !truncated &&
           sizes_known && PictureSizesAllowed(width, height);
}

PictureHeader ReadPictureHeader(const std::vector<unsigned char>& bytes) {
    struct Magic {
        Format format;
        const char* bytes;
        std::size_t length;
    };
    static constexpr Magic kMagics[] = {
        {Format::Png, "\x89PNG\r\n\x1a\n", 8},
        {Format::Gif, "GIF87a", 6},
        {Format::Gif, "GIF89a", 6},
        {Format::Bmp, "BM", 2},
        {Format::Jpeg, "\xFF\xD8\xFF", 3},
        {Format::Tiff, "II*\0", 4},
        {Format::Tiff, "MM\0*", 4},
    };
    PictureHeader h;
    const Bytes& b = bytes;
    if (b.size() >= 6 && Le16(b, 0) == 0 && (Le16(b, 2) == 1 || Le16(b, 2) == 2) &&
        Le16(b, 4) != 0) {
        h.format = Le16(b, 2) == 1 ? Format::Ico : Format::Cur;
    } else if (Is(b, 0, "RIFF", 4) && Is(b, 8, "WEBPVP8", 7) && b.size() >= 16 &&
               (b[15] == ' ' || b[15] == 'L' || b[15] == 'X')) {
        h.format = Format::Webp;
    } else {
        for (const Magic& m : kMagics)
            if (Is(b, 0, m.bytes, m.length)) {
                h.format = m.format;
                break;
            }
    }
    switch (h.format) {
        case Format::Png:
            ReadPng(b, h);
            break;
        case Format::Gif:
            ReadGif(b, h);
            break;
        case Format::Bmp:
            ReadBmp(b, h);
            break;
        case Format::Jpeg:
            ReadJpeg(b, h);
            break;
        case Format::Tiff:
            ReadTiff(b, h);
            break;
        case Format::Webp:
            ReadWebp(b, h);
            break;
        case Format::Ico:
        case Format::Cur:
            ReadIco(b, h);
            break;
        case Format::Unknown:
            break;
    }
    return h;
}

void DecodedPictureDeleter::operator()(SDL_Surface* surface) const {
    SDL_FreeSurface(surface);
}

DecodedPicture DecodePicture(const std::vector<unsigned char>& bytes, const PictureHeader& header) {
    const Decoder decode = DecoderFor(header.format);
    if (!decode || !header.SizesAcceptable() || bytes.size() > static_cast<std::size_t>(INT_MAX))
        return nullptr;
    const RwPtr rw(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())));
    if (!rw) return nullptr;
    return DecodedPicture(decode(rw.get()));
}

}  // namespace kavro::toolkit
