#include "imaging/PictureProblem.h"

#include <gtest/gtest.h>

#include <string>

#include "ImagingTestFiles.h"

namespace kavro::imaging {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

// A 1x1 PNG, whole.
const std::vector<std::uint8_t> kPng = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
    0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78,
    0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF, 0x89, 0x99,
    0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

TEST(PictureProblemTest, SaysWhyAPictureCannotBeShown) {
    TempFolder dir;
    WriteBytes(dir.File("good.png"), kPng);
    EXPECT_EQ(PictureProblem(dir.File("good.png")), "");
    // The loader goes by the bytes, not the name: a PNG named .gif is shown.
    WriteBytes(dir.File("png.gif"), kPng);
    EXPECT_EQ(PictureProblem(dir.File("png.gif")), "");

    EXPECT_NE(PictureProblem(dir.File("missing.png")).find("cannot be read"), std::string::npos);
    WriteBytes(dir.File("empty.gif"), {});
    EXPECT_EQ(PictureProblem(dir.File("empty.gif")), "the file is empty");
    WriteBytes(dir.File("text.gif"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_NE(PictureProblem(dir.File("text.gif")).find("not in a picture format"),
              std::string::npos);
    std::vector<std::uint8_t> cut(kPng.begin(), kPng.begin() + 40);
    WriteBytes(dir.File("cut.png"), cut);
    const std::string reason = PictureProblem(dir.File("cut.png"));
    EXPECT_NE(reason.find("PNG"), std::string::npos) << reason;
}

}  // namespace
}  // namespace kavro::imaging
