#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SDL_Surface;

namespace kavro::toolkit {

// What a picture file's first bytes say about it, before any decoder sees them: the format,
// which picks the one decoder the bytes go to, and the sizes, so that a hostile size is
// refused before that decoder allocates for it. Only the formats documents are made with are
// read (BMP, GIF, JPEG, PNG, TIFF, ICO/CUR, WebP); anything else stays Unknown and is refused.
// Whether the rest of the file is sound is the decoder's business.
struct PictureHeader {
    enum class Format { Unknown, Png, Gif, Bmp, Jpeg, Tiff, Webp, Ico, Cur };
    Format format = Format::Unknown;
    bool malformed = false;    // a known format whose sizes cannot be found
    bool sizes_known = false;  // width and height were read
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool oversized_frame = false;  // a GIF frame larger than the largest picture taken
    // A PNG whose chunks run past the bytes at hand or that has no end chunk: libpng does not
    // notice every short read and loops for ever on some such files.
    bool truncated = false;
    int png_bit_depth = 0;
    int png_colour_type = -1;

    // Known, well-formed, complete, and its sizes allowed (PictureSizesAllowed).
    bool SizesAcceptable() const;
};

// A picture file's bytes; nothing when it cannot be read, is empty, or is larger than any
// picture the viewer shows (512 MiB).
std::optional<std::vector<unsigned char>> ReadPictureFile(const std::string& path);

// Reads the header from the bytes at hand (the whole file, or its first bytes: what lies
// beyond them is not judged).
PictureHeader ReadPictureHeader(const std::vector<unsigned char>& bytes);

struct DecodedPictureDeleter {
    void operator()(SDL_Surface* surface) const;
};
using DecodedPicture = std::unique_ptr<SDL_Surface, DecodedPictureDeleter>;

// Decodes a whole file's bytes with the decoder of the format its header names and no other,
// so that no decoder whose own detection would claim the bytes first ever runs. Null when the
// header's sizes are not acceptable or decoding fails.
DecodedPicture DecodePicture(const std::vector<unsigned char>& bytes, const PictureHeader& header);

}  // namespace kavro::toolkit
