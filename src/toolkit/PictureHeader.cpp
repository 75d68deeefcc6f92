#include "toolkit/PictureHeader.h"

#include <climits>
#include <cstring>
#include <fstream>

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

PictureHeader ReadPictureHeader(const std::vector<unsigned char>& bytes) {
    PictureHeader h;
    if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) {
        h.format = Format::Png;
        ReadPng(bytes, h);
    } else if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) {
        h.format = Format::Gif;
        ReadGif(bytes, h);
    } else if (StartsWith(bytes, "BM", 2)) {
        h.format = Format::Bmp;
        ReadBmp(bytes, h);
    } else if (StartsWith(bytes, "\xFF\xD8\xFF", 3)) {
        h.format = Format::Jpeg;
        ReadJpeg(bytes, h);
    } else if (StartsWith(bytes, "gimp xcf ", 9)) {
        h.format = Format::Xcf;
        ReadXcf(bytes, h);
    }
    return h;
}

}  // namespace kavro::toolkit
