#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "backend/LoadPicture.h"
#include "common/TestData.h"
#include "common/ToolkitTestSupport.h"

namespace kavro::toolkit {
namespace {

using testing::TempFolder;

std::string Suite(const std::string& name) {
    return kavro::testing::TestData("pngsuite/" + name).string();
}

std::uint32_t Crc32(const std::vector<unsigned char>& bytes, std::size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBe32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(v >> shift));
}

void Chunk(std::vector<unsigned char>& out, const char* type,
           const std::vector<unsigned char>& data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, Crc32(body, 0));
}

// A valid PNG header announcing width x height, with a token data stream behind it.
std::vector<unsigned char> PngHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<unsigned char> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> ihdr;
    PutBe32(ihdr, width);
    PutBe32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    Chunk(png, "IEND", {});
    return png;
}

void Write(const std::string& path, const std::vector<unsigned char>& bytes) {
    kavro::testing::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

TEST(LoadPictureTest, DecodesPngSuiteRgbaWithStraightAlpha) {
    const std::string path = Suite("basn6a08.png");
    auto pic = LoadPicture(path);
    ASSERT_TRUE(pic.has_value());
    ASSERT_NE(*pic, nullptr);
    EXPECT_EQ((*pic)->Width(), 32);
    EXPECT_EQ((*pic)->Height(), 32);
    EXPECT_EQ((*pic)->Source(), path);
    ASSERT_EQ((*pic)->Pixels().size(), 32u * 32u);
    // The image fades from opaque to transparent; colour survives where alpha is low.
    bool some_transparent = false, some_opaque = false;
    for (std::uint32_t p : (*pic)->Pixels()) {
        some_transparent = some_transparent || (p >> 24) < 0x20;
        some_opaque = some_opaque || (p >> 24) == 0xFF;
    }
    EXPECT_TRUE(some_transparent);
    EXPECT_TRUE(some_opaque);
}

TEST(LoadPictureTest, PalettedTransparencyBecomesAlpha) {
    auto pic = LoadPicture(Suite("tbbn3p08.png"));
    ASSERT_TRUE(pic.has_value());
    bool any_clear = false;
    for (std::uint32_t p : (*pic)->Pixels())
        any_clear = any_clear || (p >> 24) == 0;
    EXPECT_TRUE(any_clear);
}

TEST(LoadPictureTest, DecodesEveryValidSuiteFile) {
    for (const char* name :
         {"basi0g01.png", "basn0g16.png", "basi3p02.png", "basn4a16.png", "basi6a16.png"}) {
        auto pic = LoadPicture(Suite(name));
        ASSERT_TRUE(pic.has_value()) << name;
        EXPECT_EQ((*pic)->Width(), 32) << name;
    }
}

TEST(LoadPictureTest, CorruptSuiteFilesGiveNothing) {
    for (const char* name : {"xs1n0g01.png", "xcrn0g04.png", "xd0n2c08.png", "xhdn0g08.png",
                             "xdtn0g01.png", "xc9n2c08.png"}) {
        EXPECT_FALSE(LoadPicture(Suite(name)).has_value()) << name;
    }
}

TEST(LoadPictureTest, MissingEmptyAndNonPictureFiles) {
    TempFolder dir;
    EXPECT_FALSE(LoadPicture(dir.File("missing.png")).has_value());
    Write(dir.File("empty.gif"), {});
    EXPECT_FALSE(LoadPicture(dir.File("empty.gif")).has_value());
    Write(dir.File("text.png"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(LoadPicture(dir.File("text.png")).has_value());
    EXPECT_FALSE(LoadPicture(dir.File("")).has_value());  // a folder
}

TEST(LoadPictureTest, HugeDimensionsAreRefusedBeforeDecoding) {
    TempFolder dir;
    Write(dir.File("huge.png"), PngHeader(30000, 30000));
    Write(dir.File("wide.png"), PngHeader(kMaxPictureSide + 1, 1));
    Write(dir.File("zero.png"), PngHeader(0, 10));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LoadPicture(dir.File("huge.png")).has_value());
    EXPECT_FALSE(LoadPicture(dir.File("wide.png")).has_value());
    EXPECT_FALSE(LoadPicture(dir.File("zero.png")).has_value());
    // Refused from the header: no gigabyte allocation, so well under a second.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(LoadPictureTest, GifFrameLargerThanItsScreenIsRefused) {
    TempFolder dir;
    // Logical screen 1 x 1, but the one frame claims 60000 x 60000.
    std::vector<unsigned char> gif{'G',  'I',  'F', '8',  '9', 'a',  1,    0, 1,    0,
                                   0,    0,    0,   0x2C, 0,   0,    0,    0, 0x60, 0xEA,
                                   0x60, 0xEA, 0,   2,    2,   0x4C, 0x01, 0, 0x3B};
    Write(dir.File("frame.gif"), gif);
    EXPECT_FALSE(LoadPicture(dir.File("frame.gif")).has_value());
}

TEST(LoadPictureTest, SmallGifDecodesWithTransparency) {
    TempFolder dir;
    // 2 x 1, two-colour palette, colour 1 transparent: pixels 0 (red) and 1 (clear).
    std::vector<unsigned char> gif{
        'G',  'I',  'F',  '8',  '9', 'a', 2, 0, 1, 0,
        0x80, 0,    0,    0xFF, 0,   0,   0, 0, 0,     // palette: red, black
        0x21, 0xF9, 4,    0x01, 0,   0,   1, 0,        // graphic control: transparent index 1
        0x2C, 0,    0,    0,    0,   2,   0, 1, 0, 0,  // image descriptor 2 x 1
        2,    2,    0x44, 0x0A, 0,                     // LZW: clear, 0, 1, end
        0x3B};
    Write(dir.File("two.gif"), gif);
    auto pic = LoadPicture(dir.File("two.gif"));
    ASSERT_TRUE(pic.has_value());
    ASSERT_EQ((*pic)->Width(), 2);
    ASSERT_EQ((*pic)->Height(), 1);
    EXPECT_EQ((*pic)->Pixels()[0], 0xFFFF0000u);
    EXPECT_EQ((*pic)->Pixels()[1] >> 24, 0u);
}

// A true-colour TGA, top row first, declaring width x height, holding two pixels: blue, red.
std::vector<unsigned char> Tga(std::uint16_t width, std::uint16_t height) {
    const auto low = [](std::uint16_t v) { return static_cast<unsigned char>(v & 0xFF); };
    const auto high = [](std::uint16_t v) { return static_cast<unsigned char>(v >> 8); };
    // Made in one piece: GCC 12 at -O3 wrongly reports an out-of-bounds copy (-Warray-bounds)
    // when a vector of the 18 header bytes grows by the pixels.
    // clang-format off
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,                             // true colour, no map
            low(width), high(width), low(height), high(height), 24, 0x20,  // top row first
            0xFF, 0, 0, 0, 0, 0xFF};                                       // blue, green, red
    // clang-format on
}

// TGA is not a format documents use: a true-colour picture is refused whatever its name.
TEST(LoadPictureTest, TgaIsRefusedWhateverItsName) {
    TempFolder dir;
    for (const char* name : {"pic.tga", "PIC.Tga", "pic.png"}) {
        Write(dir.File(name), Tga(2, 1));
        EXPECT_FALSE(LoadPicture(dir.File(name)).has_value()) << name;
    }
}

TEST(LoadPictureTest, NoPathGivesAnEmptyPicture) {
    PicturePtr empty = LoadPicture();
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->IsEmpty());
}

}  // namespace
}  // namespace kavro::toolkit
