#include "imaging/PictureProblem.h"

#include <filesystem>
#include <system_error>

#include "backend/LoadPicture.h"
#include "backend/PictureHeader.h"

namespace kavro::imaging {

namespace {

std::string FormatName(toolkit::PictureHeader::Format format) {
    using F = toolkit::PictureHeader::Format;
    switch (format) {
        case F::Png:
            return "PNG";
        case F::Gif:
            return "GIF";
        case F::Bmp:
            return "BMP";
        case F::Jpeg:
            return "JPEG";
        case F::Tiff:
            return "TIFF";
        case F::Webp:
            return "WebP";
        case F::Ico:
            return "ICO";
        case F::Cur:
            return "CUR";
        case F::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace

std::string PictureProblem(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return "the file cannot be read: " + ec.message();
    if (size == 0) return "the file is empty";
    const auto bytes = toolkit::ReadPictureFile(path);
    if (!bytes) return "the file cannot be read";
    const toolkit::PictureHeader header = toolkit::ReadPictureHeader(*bytes);
    const std::string format = FormatName(header.format);
    if (header.format == toolkit::PictureHeader::Format::Unknown)
        return "it is not in a picture format the loader reads (PNG, GIF, JPEG, BMP, TIFF, "
               "ICO/CUR or WebP)";
    if (header.malformed) return "the size of the " + format + " picture cannot be found";
    if (header.truncated) return "the " + format + " file is cut short";
    if (!header.sizes_known) return "the size of the " + format + " picture cannot be read";
    if (!header.SizesAcceptable())
        return "the " + format + " picture is " + std::to_string(header.width) + "x" +
               std::to_string(header.height) + " pixels; the loader takes 1 to " +
               std::to_string(toolkit::kMaxPictureSide) + " a side and at most " +
               std::to_string(toolkit::kMaxPicturePixels) + " pixels in all";
    if (!toolkit::DecodePicture(*bytes, header)) return "the " + format + " decoder cannot read it";
    return std::string();
}

}  // namespace kavro::imaging
