#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavro::toolkit {

// What a picture file's first bytes say about it, before any decoder sees them, so that a
// hostile size is refused before a decoder allocates for it.
struct PictureHeader {
    enum class Format { Unknown, Png, Gif, Bmp, Jpeg, Xcf };
    Format format = Format::Unknown;
    bool malformed = false;    // a known format whose header is broken
    bool sizes_known = false;  // width and height were read
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool oversized_frame = false;  // a GIF frame larger than the largest picture taken
    // A PNG whose chunks run past the bytes at hand or that has no end chunk: some decoders
    // do not notice a short read and loop for ever on such a file.
    bool truncated = false;
    int png_bit_depth = 0;
    int png_colour_type = -1;

    // Known, well-formed, complete, and every size read within 1..kMaxPictureSide.
    bool SizesAcceptable() const;
};

// A picture file's bytes; nothing when it cannot be read, is empty, or is larger than any
// picture the viewer shows (512 MiB).
std::optional<std::vector<unsigned char>> ReadPictureFile(const std::string& path);

// Reads the header from the bytes at hand (the whole file, or its first bytes: what lies
// beyond them is not judged).
PictureHeader ReadPictureHeader(const std::vector<unsigned char>& bytes);

}  // namespace kavro::toolkit
