#include "toolkit/PictureHeader.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <climits>
#include <cstring>
#include <fstream>
#include <utility>

#include "toolkit/LoadPicture.h"

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

bool StartsWith(const Bytes& b, const char* magic, std::size_t n) {
    return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
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

void ReadPng(const Bytes& b, PictureHeader& h) {
    // Signature, then the IHDR chunk: length, type, width, height, depth, colour type.
    if (b.size() < 26 || std::memcmp(b.data() + 12, "IHDR", 4) != 0) {
        h.malformed = true;
        return;
    }
    Sizes(h, Be32(b, 16), Be32(b, 20));
    h.png_bit_depth = b[24];
    h.png_colour_type = b[25];
    // Every chunk must lie within the bytes, up to the end chunk. Each step moves on by at
    // least 12 bytes, so the walk is bounded by the size.
    std::size_t at = 8;
    while (at + 8 <= b.size()) {
        const std::uint32_t length = Be32(b, at);
        if (length > 0x7FFFFFFFu) {
            h.malformed = true;
            return;
        }
        if (b.size() - at < std::size_t{12} + length) break;
        if (std::memcmp(b.data() + at + 4, "IEND", 4) == 0) return;
        at += std::size_t{12} + length;
    }
    h.truncated = true;
}

// Every frame of a GIF is checked, not only the logical screen: a decoder sizes its buffer
// from the image descriptor.
void ReadGif(const Bytes& b, PictureHeader& h) {
    if (b.size() < 13) {
        h.malformed = true;
        return;
    }
    Sizes(h, Le16(b, 6), Le16(b, 8));
    std::size_t at = 13;
    if (b[10] & 0x80) at += 3u * (std::size_t{1} << ((b[10] & 0x07) + 1));
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
        if (tag == 0x3B) return;  // trailer
        if (tag == 0x21) {        // extension: label, then sub-blocks
            if (at >= b.size()) return;
            ++at;
            if (!skip_sub_blocks()) return;  // cut short: the frames seen are fine
        } else if (tag == 0x2C) {            // image descriptor
            if (at + 9 > b.size()) return;
            if (!SideOk(Le16(b, at + 4)) || !SideOk(Le16(b, at + 6))) {
                h.oversized_frame = true;
                return;
            }
            const unsigned char flags = b[at + 8];
            at += 9;
            if (flags & 0x80) at += 3u * (std::size_t{1} << ((flags & 0x07) + 1));
            ++at;  // LZW minimum code size
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
    if (Le32(b, 14) == 12) {
        Sizes(h, Le16(b, 18), Le16(b, 20));
        return;
    }
    const auto w = static_cast<std::int32_t>(Le32(b, 18));
    const auto ht = static_cast<std::int32_t>(Le32(b, 22));  // negative: top-down rows
    if (w <= 0 || ht == INT32_MIN) {
        h.malformed = true;
        return;
    }
    Sizes(h, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(ht < 0 ? -ht : ht));
}

// Walks the marker segments up to the frame header; one beyond the bytes at hand leaves the
// sizes unknown.
void ReadJpeg(const Bytes& b, PictureHeader& h) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) {
            h.malformed = true;
            return;
        }
        const unsigned char marker = b[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) {  // no frame header before the data
            h.malformed = true;
            return;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > b.size()) return;
            Sizes(h, Be16(b, at + 7), Be16(b, at + 5));
            return;
        }
        const std::uint32_t len = Be16(b, at + 2);
        if (len < 2) {
            h.malformed = true;
            return;
        }
        at += 2 + len;
    }
}

constexpr std::streamoff kMaxFileBytes = 512LL * 1024 * 1024;

// GIMP images: the decoder allocates the canvas from these sizes before reading any layer.
void ReadXcf(const Bytes& b, PictureHeader& h) {
    if (b.size() < 22) {
        h.malformed = true;
        return;
    }
    Sizes(h, Be32(b, 14), Be32(b, 18));
}

// A file too short for the pixel data its header declares is refused: the decoders of these
// formats allocate the whole picture before reading a single pixel. Judged only for sizes that
// would be accepted, so that a hostile size is reported as such.
void NeedBytes(const Bytes& b, PictureHeader& h, std::uint64_t at, std::uint64_t n) {
    if (SideOk(h.width) && SideOk(h.height) && !Has(b, at, n)) h.truncated = true;
}

std::uint64_t Pixels(const PictureHeader& h) {
    return std::uint64_t{h.width} * h.height;
}

// Truevision TGA: 18 header bytes, then the image ID and the colour map.
void ReadTga(const Bytes& b, PictureHeader& h) {
    if (b.size() < 18) {
        h.malformed = true;
        return;
    }
    const unsigned char type = b[2];  // colour-mapped, true-colour, grey; plus 8 when packed
    const bool rle = type >= 9;
    const std::uint32_t pixel_bytes = (std::uint32_t{b[16]} + 7) / 8;
    if (!((type >= 1 && type <= 3) || (type >= 9 && type <= 11)) || pixel_bytes == 0) {
        h.malformed = true;
        return;
    }
    Sizes(h, Le16(b, 12), Le16(b, 14));
    const std::uint64_t map = b[1] ? std::uint64_t{Le16(b, 5)} * ((b[7] + 7u) / 8) : 0;
    // A run-length packet holds at most 128 pixels and may run on into the next row.
    const std::uint64_t data =
        rle ? (Pixels(h) + 127) / 128 * (1 + pixel_bytes) : Pixels(h) * pixel_bytes;
    NeedBytes(b, h, 18 + std::uint64_t{b[0]} + map, data);
}

// Classic TIFF: the first directory's ImageWidth and ImageLength, which the decoder sizes its
// canvas from. Every entry of that directory is looked at, so a repeated tag cannot hide a
// larger value.
void ReadTiff(const Bytes& b, PictureHeader& h) {
    const bool little = b[0] == 'I';
    auto u16 = [&](std::size_t at) { return little ? Le16(b, at) : Be16(b, at); };
    auto u32 = [&](std::size_t at) { return little ? Le32(b, at) : Be32(b, at); };
    if (b.size() < 8) {
        h.malformed = true;
        return;
    }
    const std::uint32_t ifd = u32(4);
    if (!Has(b, ifd, 2) || !Has(b, std::uint64_t{ifd} + 2, u16(ifd) * 12ull)) {
        h.malformed = true;
        return;
    }
    std::optional<std::uint32_t> width, length;
    for (std::uint32_t i = 0, n = u16(ifd); i < n; ++i) {
        const std::size_t e = ifd + 2 + std::size_t{i} * 12;
        const std::uint32_t tag = u16(e);
        if (tag != 256 && tag != 257) continue;
        std::uint32_t value = 0;
        switch (u16(e + 2)) {
            case 1:  // BYTE
                value = b[e + 8];
                break;
            case 3:  // SHORT
                value = u16(e + 8);
                break;
            case 4:  // LONG
                value = u32(e + 8);
                break;
            default:  // the decoder's reading of other types is not followed here
                h.malformed = true;
                return;
        }
        if (u32(e + 4) != 1) {
            h.malformed = true;
            return;
        }
        std::optional<std::uint32_t>& side = tag == 256 ? width : length;
        side = std::max(side.value_or(0), value);
    }
    if (!width || !length) {
        h.malformed = true;
        return;
    }
    Sizes(h, *width, *length);
}

// WebP: the lossy, lossless or extended header, whichever chunk comes first.
void ReadWebp(const Bytes& b, PictureHeader& h) {
    const std::size_t data = 20;
    if (b[15] == ' ') {  // key frame tag, start code, then 14-bit sizes
        if (!Has(b, data, 10) || (b[data] & 1) != 0 || b[data + 3] != 0x9D || b[data + 4] != 0x01 ||
            b[data + 5] != 0x2A) {
            h.malformed = true;
            return;
        }
        Sizes(h, Le16(b, data + 6) & 0x3FFF, Le16(b, data + 8) & 0x3FFF);
    } else if (b[15] == 'L') {  // signature, then 14-bit sizes less one
        if (!Has(b, data, 5) || b[data] != 0x2F) {
            h.malformed = true;
            return;
        }
        const std::uint32_t bits = Le32(b, data + 1);
        Sizes(h, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    } else {  // extended: the canvas, 24-bit sizes less one
        if (!Has(b, data, 10)) {
            h.malformed = true;
            return;
        }
        auto u24 = [&](std::size_t at) { return Le16(b, at) | (std::uint32_t{b[at + 2]} << 16); };
        Sizes(h, u24(data + 4) + 1, u24(data + 7) + 1);
    }
}

// ZSoft PCX: the window corners in the 128-byte header.
void ReadPcx(const Bytes& b, PictureHeader& h) {
    if (b.size() < 128) {
        h.malformed = true;
        return;
    }
    auto s16 = [&](std::size_t at) { return static_cast<std::int16_t>(Le16(b, at)); };
    const int w = s16(8) - s16(4) + 1;
    const int ht = s16(10) - s16(6) + 1;
    // The decoder allocates a line buffer from the (signed) bytes per line.
    if (w <= 0 || ht <= 0 || s16(66) <= 0) {
        h.malformed = true;
        return;
    }
    Sizes(h, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(ht));
}

// A number of a text header as SDL_image reads it: white space and, where comments are
// allowed, '#' comments to the end of the line, then digits. Nothing when it is missing, not a
// number, or too large for the decoder's int.
std::optional<std::uint32_t> TextNumber(const unsigned char* text, std::size_t end, std::size_t& at,
                                        bool comments) {
    for (;;) {
        if (at >= end) return std::nullopt;
        if (comments && text[at] == '#') {
            while (at < end && text[at] != '\n' && text[at] != '\r')
                ++at;
            if (at >= end) return std::nullopt;
        } else if (!std::isspace(text[at])) {
            break;
        }
        ++at;
    }
    if (!std::isdigit(text[at])) return std::nullopt;
    std::uint64_t n = 0;
    while (at < end && std::isdigit(text[at])) {
        n = n * 10 + (text[at++] - '0');
        if (n > INT_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(n);
}

// Netpbm P1..P6: width, height and (but for bitmaps) the largest sample, in text with
// comments; the decoder takes the byte after each number as its end, so the pixels start one
// byte after the last.
void ReadPnm(const Bytes& b, PictureHeader& h) {
    const int kind = (b[1] - '1') % 3;  // bitmap, grey map, pixmap
    const bool ascii = b[1] <= '3';
    std::size_t at = 2;
    auto number = [&] { return TextNumber(b.data(), b.size(), at, true); };
    const std::optional<std::uint32_t> w = number();
    const std::optional<std::uint32_t> ht = w ? number() : std::nullopt;
    const std::optional<std::uint32_t> maxval = !ht         ? std::nullopt
                                                : kind == 0 ? std::optional<std::uint32_t>(255)
                                                            : number();
    if (!w || !ht || !maxval || *maxval == 0 || *maxval > 255 || at >= b.size()) {
        h.malformed = true;
        return;
    }
    Sizes(h, *w, *ht);
    ++at;
    const std::uint64_t samples = Pixels(h) * (kind == 2 ? 3 : 1);
    // A text sample takes a digit and a separator at least; a text bit, one character.
    std::uint64_t data = samples * 2;
    if (kind == 0)
        data = ascii ? samples : (std::uint64_t{h.width} + 7) / 8 * h.height;
    else if (!ascii)
        data = samples;
    NeedBytes(b, h, at, data);
}

// Quite OK Image: sizes in the header; an operation covers at most 62 pixels, and eight bytes
// of padding end the file.
void ReadQoi(const Bytes& b, PictureHeader& h) {
    if (b.size() < 14 || (b[12] != 3 && b[12] != 4) || b[13] > 1) {
        h.malformed = true;
        return;
    }
    Sizes(h, Be32(b, 4), Be32(b, 8));
    NeedBytes(b, h, 14, (Pixels(h) + 61) / 62 + 8);
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
    const std::uint32_t bits = Has(b, offset, 40) ? Le16(b, offset + 14) : 0;
    if (!Has(b, offset, 40) || Le32(b, offset) != 40 || Le32(b, offset + 16) != 0 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        h.malformed = true;  // not a bitmap the decoder reads (a PNG entry, or compressed)
        return;
    }
    const auto w = static_cast<std::int32_t>(Le32(b, offset + 4));
    const auto ht = static_cast<std::int32_t>(Le32(b, offset + 8));
    if (w < 0 || ht < 0) {
        h.malformed = true;
        return;
    }
    Sizes(h, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(ht) >> 1);
}

// IFF ILBM and PBM: the chunks are walked exactly as the decoder walks them up to the body,
// quirks included (a CAMG chunk counts as read whole; sizes wrap as 32-bit values), so the
// bitmap header checked is the one it uses: the last before the body. Every step moves on by
// at least eight bytes, so the walk is bounded by the size.
void ReadLbm(const Bytes& b, PictureHeader& h) {
    std::size_t at = 12;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> bmhd;
    for (;;) {
        if (!Has(b, at, 8)) {
            h.malformed = true;
            return;
        }
        const std::size_t id = at;
        std::uint32_t size = Be32(b, at + 4);
        at += 8;
        if (Is(b, id, "BODY", 4)) break;
        std::uint32_t consumed = 0;  // bytes the decoder reads
        std::uint32_t counted = 0;   // bytes it takes itself to have read
        if (Is(b, id, "BMHD", 4)) {
            consumed = counted = 20;
            if (Has(b, at, consumed)) bmhd.emplace(Be16(b, at), Be16(b, at + 2));
        } else if (Is(b, id, "CMAP", 4)) {
            consumed = counted = size;
            if (size == 0 || size > 768) {
                h.malformed = true;
                return;
            }
        } else if (Is(b, id, "CAMG", 4)) {
            consumed = 4;
            counted = size;
        }
        if (!Has(b, at, consumed)) {
            h.malformed = true;
            return;
        }
        at += consumed;
        if (size & 1) ++size;
        size -= counted;
        at = static_cast<std::size_t>(std::min<std::uint64_t>(b.size(), std::uint64_t{at} + size));
    }
    if (!bmhd) {
        h.malformed = true;
        return;
    }
    Sizes(h, (bmhd->first + 15) & ~15u, bmhd->second);  // rows are whole 16-pixel words
}

// XPM: the strings are found as the decoder finds them (from one double quote to the next; a
// pixel row is the width times the characters per pixel after its opening quote). The values
// string gives the sizes. With one character per pixel the decoder looks each pixel up without
// checking that a colour was defined for it, so every pixel must name one.
void ReadXpm(const Bytes& b, PictureHeader& h) {
    std::size_t at = 0;
    auto next_string = [&](std::size_t& start) -> std::optional<std::size_t> {
        const auto open = std::find(b.begin() + static_cast<std::ptrdiff_t>(at), b.end(), '"');
        if (open == b.end()) return std::nullopt;
        const auto close = std::find(open + 1, b.end(), '"');
        if (close == b.end()) return std::nullopt;
        start = static_cast<std::size_t>(open - b.begin()) + 1;
        at = static_cast<std::size_t>(close - b.begin()) + 1;
        return static_cast<std::size_t>(close - open) - 1;
    };
    std::size_t start = 0;
    const std::optional<std::size_t> values = next_string(start);
    if (!values) {
        h.malformed = true;
        return;
    }
    // "width height colours characters-per-pixel", as the decoder's sscanf reads them (a sign,
    // which it would take, is refused here).
    std::uint32_t v[4] = {};
    std::size_t pos = start;
    for (std::uint32_t& value : v) {
        const std::optional<std::uint32_t> n = TextNumber(b.data(), start + *values, pos, false);
        if (!n || *n == 0) {
            h.malformed = true;
            return;
        }
        value = *n;
    }
    Sizes(h, v[0], v[1]);
    if (!SideOk(h.width) || !SideOk(h.height)) return;
    const std::uint32_t ncolours = v[2];
    const std::uint32_t cpp = v[3];
    std::bitset<256> keys;
    for (std::uint32_t i = 0; i < ncolours; ++i) {
        const std::optional<std::size_t> len = next_string(start);
        if (!len) {
            h.truncated = true;
            return;
        }
        if (*len <= cpp) {  // the decoder reads the colour past the key regardless
            h.malformed = true;
            return;
        }
        keys.set(b[start]);
    }
    const std::uint64_t row = std::uint64_t{h.width} * cpp;
    for (std::uint32_t y = 0; y < h.height; ++y) {
        const auto open = std::find(b.begin() + static_cast<std::ptrdiff_t>(at), b.end(), '"');
        if (open == b.end() || !Has(b, static_cast<std::size_t>(open - b.begin()) + 1, row + 3)) {
            h.truncated = true;
            return;
        }
        start = static_cast<std::size_t>(open - b.begin()) + 1;
        if (cpp == 1)
            for (std::size_t x = start; x < start + row; ++x)
                if (!keys.test(b[x])) {
                    h.malformed = true;
                    return;
                }
        at = static_cast<std::size_t>(start + row + 3);
    }
}

// One header line as the decoder reads it: carriage returns dropped, at most 1023 characters.
std::optional<std::string> XvLine(const Bytes& b, std::size_t& at) {
    std::string line;
    for (; at < b.size(); ++at) {
        if (b[at] == '\r') continue;
        if (b[at] == '\n') {
            ++at;
            return line;
        }
        if (line.size() == 1023) return std::nullopt;
        line.push_back(static_cast<char>(b[at]));
    }
    return std::nullopt;
}

// XV thumbnails: "P7 332", comment lines up to "#END_OF_COMMENTS", then "width height ..."
// and one byte a pixel.
void ReadXv(const Bytes& b, PictureHeader& h) {
    std::size_t at = 0;
    if (!XvLine(b, at)) {  // the magic line, whose start the caller has seen
        h.malformed = true;
        return;
    }
    for (;;) {
        const std::optional<std::string> comment = XvLine(b, at);
        if (!comment || comment->starts_with("#BUILTIN:")) {  // no pixels follow
            h.malformed = true;
            return;
        }
        if (comment->starts_with("#END_OF_COMMENTS")) break;
    }
    const std::string line = XvLine(b, at).value_or(std::string());
    const auto* text = reinterpret_cast<const unsigned char*>(line.data());
    std::size_t pos = 0;
    const std::optional<std::uint32_t> w = TextNumber(text, line.size(), pos, false);
    const std::optional<std::uint32_t> ht =
        w ? TextNumber(text, line.size(), pos, false) : std::nullopt;
    if (!w || !ht) {
        h.malformed = true;
        return;
    }
    Sizes(h, *w, *ht);
    NeedBytes(b, h, at, Pixels(h));
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

struct RwDeleter {
    void operator()(SDL_RWops* rw) const { SDL_RWclose(rw); }
};
using RwPtr = std::unique_ptr<SDL_RWops, RwDeleter>;

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
        case Format::Xcf:
            return IMG_LoadXCF_RW;
        case Format::Tga:
            return IMG_LoadTGA_RW;
        case Format::Tiff:
            return IMG_LoadTIF_RW;
        case Format::Webp:
            return IMG_LoadWEBP_RW;
        case Format::Pcx:
            return IMG_LoadPCX_RW;
        case Format::Pnm:
            return IMG_LoadPNM_RW;
        case Format::Qoi:
            return IMG_LoadQOI_RW;
        case Format::Ico:
            return IMG_LoadICO_RW;
        case Format::Cur:
            return IMG_LoadCUR_RW;
        case Format::Lbm:
            return IMG_LoadLBM_RW;
        case Format::Xpm:
            return IMG_LoadXPM_RW;
        case Format::Xv:
            return IMG_LoadXV_RW;
        case Format::Unknown:
            break;
    }
    return nullptr;
}

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
           sizes_known && SideOk(width) && SideOk(height);
}

PictureHeader ReadPictureHeader(const std::vector<unsigned char>& bytes,
                                std::string_view type_hint) {
    // The formats SDL_image tells by their first bytes, and TGA, which it takes on the hint
    // alone before looking at any bytes. Not here, so never decoded: SVG, whose size no header
    // bounds, and AVIF and JPEG XL, which Debian's library is built without.
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
        {Format::Xcf, "gimp xcf ", 9},
        {Format::Tiff, "II*\0", 4},
        {Format::Tiff, "MM\0*", 4},
        {Format::Qoi, "qoif", 4},
        {Format::Xpm, "/* XPM */", 9},
        {Format::Xv, "P7 332", 6},
    };
    PictureHeader h;
    const Bytes& b = bytes;
    if (SameText(type_hint, "TGA")) {
        h.format = Format::Tga;
    } else if (b.size() >= 6 && Le16(b, 0) == 0 && (Le16(b, 2) == 1 || Le16(b, 2) == 2) &&
               Le16(b, 4) != 0) {
        h.format = Le16(b, 2) == 1 ? Format::Ico : Format::Cur;
    } else if (Is(b, 0, "FORM", 4) && (Is(b, 8, "ILBM", 4) || Is(b, 8, "PBM ", 4))) {
        h.format = Format::Lbm;
    } else if (b.size() >= 3 && b[0] == 10 && b[1] == 5 && b[2] <= 1) {
        h.format = Format::Pcx;
    } else if (b.size() >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6') {
        h.format = Format::Pnm;
    } else if (Is(b, 0, "RIFF", 4) && Is(b, 8, "WEBPVP8", 7) && b.size() >= 16 &&
               (b[15] == ' ' || b[15] == 'L' || b[15] == 'X')) {
        h.format = Format::Webp;
    } else {
        for (const Magic& m : kMagics)
            if (StartsWith(b, m.bytes, m.length)) {
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
        case Format::Xcf:
            ReadXcf(b, h);
            break;
        case Format::Tga:
            ReadTga(b, h);
            break;
        case Format::Tiff:
            ReadTiff(b, h);
            break;
        case Format::Webp:
            ReadWebp(b, h);
            break;
        case Format::Pcx:
            ReadPcx(b, h);
            break;
        case Format::Pnm:
            ReadPnm(b, h);
            break;
        case Format::Qoi:
            ReadQoi(b, h);
            break;
        case Format::Ico:
        case Format::Cur:
            ReadIco(b, h);
            break;
        case Format::Lbm:
            ReadLbm(b, h);
            break;
        case Format::Xpm:
            ReadXpm(b, h);
            break;
        case Format::Xv:
            ReadXv(b, h);
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
