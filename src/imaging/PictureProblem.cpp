#include "imaging/PictureProblem.h"

#include <filesystem>
#include <system_error>

#include "toolkit/LoadPicture.h"
#include "toolkit/PictureHeader.h"

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
        case F::Xcf:
            return "XCF";
        case F::Tga:
            return "TGA";
        case F::Tiff:
            return "TIFF";
        case F::Webp:
            return "WebP";
        case F::Pcx:
            return "PCX";
        case F::Pnm:
            return "PNM";
        case F::Qoi:
            return "QOI";
        case F::Ico:
            return "ICO";
        case F::Cur:
            return "CUR";
        case F::Lbm:
            return "LBM";
        case F::Xpm:
            return "XPM";
        case F::Xv:
            return "XV";
        case F::Unknown:
            break;
    }
    return "unknown";
}

// TGA has no magic: the loaders take the extension as the hint, and so does this.
std::string TypeHint(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    std::string upper;
    for (char c : ext.size() > 1 ? ext.substr(1) : std::string())
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return upper;
}

}  // namespace

std::string PictureProblem(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return "the file cannot be read: " + ec.message();
    if (size == 0) return "the file is empty";
    const auto bytes = toolkit::ReadPictureFile(path);
    if (!bytes) return "the file cannot be read";
    const toolkit::PictureHeader header = toolkit::ReadPictureHeader(*bytes, TypeHint(path));
    const std::string format = FormatName(header.format);
    if (header.format == toolkit::PictureHeader::Format::Unknown)
        return "it is not in a picture format the loader reads (PNG, GIF, JPEG, BMP, WebP, TIFF, "
               "TGA, QOI and a few more)";
    if (header.malformed) return "its " + format + " header is broken";
    if (header.truncated) return "the " + format + " file is cut short";
    if (!header.sizes_known) return "the size of the " + format + " picture cannot be read";
    if (!header.SizesAcceptable())
        return "the " + format + " picture is " + std::to_string(header.width) + "x" +
               std::to_string(header.height) + " pixels; the loader takes 1 to " +
               std::to_string(toolkit::kMaxPictureSide) + " a side";
    if (!toolkit::DecodePicture(*bytes, header)) return "the " + format + " decoder cannot read it";
    return std::string();
}

}  // namespace kavro::imaging
