#include "toolkit/LoadPicture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace kavro::toolkit {

namespace {

// No picture file the viewer shows comes near this; larger files are refused unread.
constexpr std::streamoff kMaxFileBytes = 512LL * 1024 * 1024;

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

using Bytes = std::vector<unsigned char>;

std::optional<Bytes> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > kMaxFileBytes) return std::nullopt;
    in.seekg(0, std::ios::beg);
    Bytes data(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) return std::nullopt;
    return data;
}

std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | std::uint32_t{b[at + 3]};
}
std::uint32_t Be16(const Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 8) | std::uint32_t{b[at + 1]};
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

enum class Verdict { kAccept, kReject, kUnknownFormat };

Verdict CheckPng(const Bytes& b) {
    // Signature, then the IHDR chunk: length, type, width, height.
    if (b.size() < 24 || std::memcmp(b.data() + 12, "IHDR", 4) != 0) return Verdict::kReject;
    return SideOk(Be32(b, 16)) && SideOk(Be32(b, 20)) ? Verdict::kAccept : Verdict::kReject;
}

// Every frame of a GIF is checked, not only the logical screen: a decoder sizes its buffer
// from the image descriptor.
Verdict CheckGif(const Bytes& b) {
    if (b.size() < 13) return Verdict::kReject;
    if (!SideOk(Le16(b, 6)) || !SideOk(Le16(b, 8))) return Verdict::kReject;
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
        if (tag == 0x3B) return Verdict::kAccept;  // trailer
        if (tag == 0x21) {                         // extension: label, then sub-blocks
            if (at >= b.size()) return Verdict::kReject;
            ++at;
            if (!skip_sub_blocks()) return Verdict::kAccept;  // cut short; sizes seen are fine
        } else if (tag == 0x2C) {                             // image descriptor
            if (at + 9 > b.size()) return Verdict::kReject;
            if (!SideOk(Le16(b, at + 4)) || !SideOk(Le16(b, at + 6))) return Verdict::kReject;
            const unsigned char flags = b[at + 8];
            at += 9;
            if (flags & 0x80) at += 3u * (std::size_t{1} << ((flags & 0x07) + 1));
            ++at;  // LZW minimum code size
            if (!skip_sub_blocks()) return Verdict::kAccept;
        } else {
            return Verdict::kReject;
        }
    }
    // A stream cut short before its trailer: let the decoder take what is there.
    return Verdict::kAccept;
}

Verdict CheckBmp(const Bytes& b) {
    if (b.size() < 26) return Verdict::kReject;
    const std::uint32_t header = Le32(b, 14);
    std::uint32_t w = 0, h = 0;
    if (header == 12) {
        w = Le16(b, 18);
        h = Le16(b, 20);
    } else {
        const auto sw = static_cast<std::int32_t>(Le32(b, 18));
        const auto sh = static_cast<std::int32_t>(Le32(b, 22));  // negative: top-down rows
        if (sw <= 0 || sh == INT32_MIN) return Verdict::kReject;
        w = static_cast<std::uint32_t>(sw);
        h = static_cast<std::uint32_t>(sh < 0 ? -sh : sh);
    }
    return SideOk(w) && SideOk(h) ? Verdict::kAccept : Verdict::kReject;
}

Verdict CheckJpeg(const Bytes& b) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) return Verdict::kReject;
        const unsigned char marker = b[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return Verdict::kReject;  // no frame header
        const std::uint32_t len = Be16(b, at + 2);
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (at + 9 > b.size()) return Verdict::kReject;
            return SideOk(Be16(b, at + 5)) && SideOk(Be16(b, at + 7)) ? Verdict::kAccept
                                                                      : Verdict::kReject;
        }
        if (len < 2) return Verdict::kReject;
        at += 2 + len;
    }
    return Verdict::kReject;
}

Verdict CheckHeader(const Bytes& b) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n", 8)) return CheckPng(b);
    if (StartsWith(b, "GIF87a", 6) || StartsWith(b, "GIF89a", 6)) return CheckGif(b);
    if (StartsWith(b, "BM", 2)) return CheckBmp(b);
    if (StartsWith(b, "\xFF\xD8\xFF", 3)) return CheckJpeg(b);
    return Verdict::kUnknownFormat;
}

// The file name's extension, as SDL_image takes it as a type hint for formats without magic.
std::string TypeHint(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext;
}

}  // namespace

std::optional<PicturePtr> LoadPicture(const std::string& path) {
    std::optional<Bytes> data = ReadFile(path);
    if (!data) return std::nullopt;
    if (CheckHeader(*data) == Verdict::kReject) return std::nullopt;

    SDL_RWops* rw = SDL_RWFromConstMem(data->data(), static_cast<int>(data->size()));
    if (!rw) return std::nullopt;
    const std::string hint = TypeHint(path);
    SurfacePtr decoded(IMG_LoadTyped_RW(rw, 1, hint.empty() ? nullptr : hint.c_str()));
    if (!decoded) return std::nullopt;
    if (!SideOk(static_cast<std::uint32_t>(std::max(decoded->w, 0))) ||
        !SideOk(static_cast<std::uint32_t>(std::max(decoded->h, 0))))
        return std::nullopt;
    // A colour key (GIF transparency) becomes alpha 0 in the conversion.
    SurfacePtr argb(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
    if (!argb) return std::nullopt;
    decoded.reset();

    const int w = argb->w;
    const int h = argb->h;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    if (SDL_LockSurface(argb.get()) != 0) return std::nullopt;
    const auto* base = static_cast<const unsigned char*>(argb->pixels);
    for (int y = 0; y < h; ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                    base + static_cast<std::size_t>(y) * static_cast<std::size_t>(argb->pitch),
                    static_cast<std::size_t>(w) * sizeof(std::uint32_t));
    SDL_UnlockSurface(argb.get());
    return std::make_shared<const Picture>(w, h, std::move(pixels), path);
}

}  // namespace kavro::toolkit
