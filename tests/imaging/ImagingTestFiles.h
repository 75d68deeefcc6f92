#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imaging/cBitmap.h"

namespace kavro::imaging::testing {

inline std::filesystem::path PngSuiteDir() {
    return std::filesystem::path(KAVRO_TESTDATA_DIR) / "pngsuite";
}
inline std::string PngSuite(const std::string& name) {
    return (PngSuiteDir() / name).string();
}

// A fresh folder below the system temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = base / ("kavro-imaging-" + std::to_string(rd()));
            if (std::filesystem::create_directory(path_)) return;
        }
        path_.clear();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Saves a solid-colour 32-bit picture of the given size with the given encoder.
inline bool SaveSolid(const std::string& path, int width, int height, std::uint32_t argb,
                      const Clsid& encoder = cBitmap::kPngEncoder) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, argb);
    cBitmap bitmap;
    if (bitmap.CreateFromScan0(width, height, width * 4, PixelFormat32bppARGB, pixels.data()) != Ok)
        return false;
    return bitmap.SaveToFile(path, encoder, nullptr) == Ok;
}

// A two-pixel-wide, one-pixel-high GIF: black then white.
inline std::vector<std::uint8_t> TinyGif() {
    return {'G', 'I',  'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0,    0,    0, 255, 255,
            255, 0x2C, 0,   0,   0,   0,   2, 0, 1, 0, 0,    2, 2, 0x44, 0x0A, 0, 0x3B};
}

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose header declares the given size, with a valid header checksum, followed by
// nothing a decoder could use.
inline std::vector<std::uint8_t> PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                   0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    for (std::uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            b.push_back(static_cast<std::uint8_t>(v >> shift));
    b.insert(b.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
    const std::uint32_t crc = Crc32(b.data() + 12, 17);
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<std::uint8_t>(crc >> shift));
    b.insert(b.end(), {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    return b;
}

}  // namespace kavro::imaging::testing
