#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "common/TestData.h"
#include "imaging/cBitmap.h"

namespace kavro::imaging::testing {

inline std::filesystem::path PngSuiteDir() {
    return kavro::testing::TestData("pngsuite");
}
inline std::string PngSuite(const std::string& name) {
    return kavro::testing::TestData("pngsuite/" + name).string();
}

using kavro::testing::TempFolder;

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    kavro::testing::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const std::string bytes = kavro::testing::ReadFile(path);
    return {bytes.begin(), bytes.end()};
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

// Small pictures built byte by byte, 16 x 2 pixels (a whole IFF row word): TIFF and ICO/CUR,
// whose sizes sit where the Put* helpers can patch them, and formats the loaders refuse.
inline constexpr int kSampleWidth = 16;
inline constexpr int kSampleHeight = 2;

inline void PutLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutBe(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
}
inline std::vector<std::uint8_t> Text(const std::string& s) {
    return {s.begin(), s.end()};
}

// 8-bit grey, uncompressed, one strip; ImageWidth a SHORT at 18, ImageLength a LONG at 30.
inline std::vector<std::uint8_t> SampleTiff(bool big_endian) {
    auto put = [&](std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int n) {
        big_endian ? PutBe(b, at, v, n) : PutLe(b, at, v, n);
    };
    const std::uint32_t entries[][4] = {
        {256, 3, 1, kSampleWidth},
        {257, 4, 1, kSampleHeight},
        {258, 3, 1, 8},
        {259, 3, 1, 1},
        {262, 3, 1, 1},
        {273, 4, 1, 110},
        {278, 4, 1, kSampleHeight},
        {279, 4, 1, kSampleWidth * kSampleHeight},
    };
    std::vector<std::uint8_t> b(110 + kSampleWidth * kSampleHeight, 0x80);
    b[0] = b[1] = big_endian ? 'M' : 'I';
    put(b, 2, 42, 2);
    put(b, 4, 8, 4);
    put(b, 8, 8, 2);
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t e = 10 + i * 12;
        put(b, e, entries[i][0], 2);
        put(b, e + 2, entries[i][1], 2);
        put(b, e + 4, entries[i][2], 4);
        put(b, e + 8, 0, 4);
        put(b, e + 8, entries[i][3], entries[i][1] == 3 ? 2 : 4);
    }
    put(b, 106, 0, 4);  // no further directory
    return b;
}

// 8-bit colour-mapped, run-length packed; the window's corners (Xmax, Ymax) at 8 and 10.
inline std::vector<std::uint8_t> SamplePcx() {
    std::vector<std::uint8_t> b(128, 0);
    b[0] = 10, b[1] = 5, b[2] = 1, b[3] = 8;
    PutLe(b, 8, kSampleWidth - 1, 2);
    PutLe(b, 10, kSampleHeight - 1, 2);
    b[65] = 1;
    PutLe(b, 66, kSampleWidth, 2);
    for (int y = 0; y < kSampleHeight; ++y)
        b.insert(b.end(), {static_cast<std::uint8_t>(0xC0 | kSampleWidth), 1});
    b.push_back(12);  // the 256-colour palette follows
    b.resize(b.size() + 768, 0xFF);
    return b;
}

// A binary pixmap whose header says sizes ("width height").
inline std::vector<std::uint8_t> SamplePnm(const std::string& sizes = "16 2") {
    std::vector<std::uint8_t> b = Text("P6\n# made by hand\n" + sizes + "\n255\n");
    b.resize(b.size() + 3 * kSampleWidth * kSampleHeight, 0x40);
    return b;
}

// Sizes (big-endian) at 4 and 8; one colour, then a run for the rest, then the end padding.
inline std::vector<std::uint8_t> SampleQoi() {
    std::vector<std::uint8_t> b = Text("qoif");
    b.resize(14, 0);
    PutBe(b, 4, kSampleWidth, 4);
    PutBe(b, 8, kSampleHeight, 4);
    b[12] = 4;
    b.insert(b.end(), {0xFF, 0x20, 0x40, 0x60, 0xFF});  // one RGBA pixel
    b.push_back(static_cast<std::uint8_t>(0xC0 | (kSampleWidth * kSampleHeight - 2)));
    b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 1});
    return b;
}

// An icon (type 1) or cursor (type 2) with one 32-bit entry; its bitmap header's width and
// doubled height at 26 and 30.
inline std::vector<std::uint8_t> SampleIco(int type) {
    const std::uint32_t pixels = kSampleWidth * kSampleHeight * 4;
    const std::uint32_t mask = kSampleHeight * 4;
    // Made at its full size: GCC 12 at -O3 wrongly reports an out-of-bounds copy
    // (-Warray-bounds) when the vector grows by the pixels.
    std::vector<std::uint8_t> b(62 + pixels + mask, 0);
    PutLe(b, 2, static_cast<std::uint32_t>(type), 2);
    PutLe(b, 4, 1, 2);
    b[6] = kSampleWidth, b[7] = kSampleHeight;
    PutLe(b, 10, 1, 2);
    PutLe(b, 12, 32, 2);
    PutLe(b, 14, 40 + pixels + mask, 4);
    PutLe(b, 18, 22, 4);
    PutLe(b, 22, 40, 4);
    PutLe(b, 26, kSampleWidth, 4);
    PutLe(b, 30, 2 * kSampleHeight, 4);
    PutLe(b, 34, 1, 2);
    PutLe(b, 36, 32, 2);
    std::fill_n(b.begin() + 62, pixels, 0xC0);  // the mask stays 0
    return b;
}

// IFF with packed (chunky) 8-bit rows; the bitmap header's sizes at 20 and 22.
inline std::vector<std::uint8_t> SampleLbm() {
    std::vector<std::uint8_t> b = Text("FORM....PBM BMHD");
    b.resize(40, 0);
    PutBe(b, 16, 20, 4);
    PutBe(b, 20, kSampleWidth, 2);
    PutBe(b, 22, kSampleHeight, 2);
    b[28] = 8;          // planes
    b[34] = b[35] = 1;  // aspect
    PutBe(b, 36, kSampleWidth, 2);
    PutBe(b, 38, kSampleHeight, 2);
    b.insert(b.end(), {'C', 'M', 'A', 'P', 0, 0, 0, 6, 0, 0, 0, 255, 0, 0});
    b.insert(b.end(), {'B', 'O', 'D', 'Y', 0, 0, 0, kSampleWidth * kSampleHeight});
    for (int i = 0; i < kSampleWidth * kSampleHeight; ++i)
        b.push_back(static_cast<std::uint8_t>(i & 1));
    PutBe(b, 4, static_cast<std::uint32_t>(b.size() - 8), 4);
    return b;
}

// XPM text: "width height colours 1" (sizes), two colours a and b, then the given rows.
inline std::vector<std::uint8_t> SampleXpm(const std::string& sizes = "16 2",
                                           const std::string& row = "abababababababab") {
    std::string s = "/* XPM */\nstatic char *sample[] = {\n\"" + sizes + " 2 1\",\n";
    s += "\"a c #FF0000\",\n\"b c #0000FF\",\n";
    for (int y = 0; y < kSampleHeight; ++y)
        s += "\"" + row + "\"" + (y + 1 < kSampleHeight ? ",\n" : "\n};\n");
    return Text(s);
}

// An XV thumbnail: comment lines, then "width height maximum" (sizes), then a byte a pixel.
inline std::vector<std::uint8_t> SampleXv(const std::string& sizes = "16 2") {
    std::vector<std::uint8_t> b =
        Text("P7 332\n#XVVERSION:Version 2.28\n#IMGINFO:16x2 RGB\n#END_OF_COMMENTS\n" + sizes +
             " 255\n");
    b.resize(b.size() + kSampleWidth * kSampleHeight, 0xE0);
    return b;
}

// A picture made by ImageMagick's convert with the given arguments (the output file last);
// empty when convert fails.
inline std::vector<std::uint8_t> Convert(const std::string& arguments, const std::string& out) {
    const std::string command = "convert " + arguments + " '" + out + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return ReadBytes(out);
}

}  // namespace kavro::imaging::testing
