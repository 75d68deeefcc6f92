#include "imaging/PictureFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "ImagingTestFiles.h"
#include "imaging/cBitmap.h"

namespace kavro::imaging {
namespace {

using testing::TempFolder;

toolkit::Image Box(float left, float top, float width, float height) {
    toolkit::Image control;
    control.Left = left;
    control.Top = top;
    control.Width = width;
    control.Height = height;
    return control;
}

class PictureFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(testing::SaveSolid(dir_.File("wide.png"), 100, 50, 0xFF204060));
        ASSERT_TRUE(testing::SaveSolid(dir_.File("tall.png"), 50, 100, 0xFF204060));
        ASSERT_TRUE(testing::SaveSolid(dir_.File("square.png"), 30, 30, 0xFF204060));
        ASSERT_TRUE(
            testing::SaveSolid(dir_.File("photo.jpeg"), 8, 4, 0xFFFFFFFF, cBitmap::kJpegEncoder));
        testing::WriteBytes(dir_.File("tiny.gif"), testing::TinyGif());
        testing::WriteBytes(dir_.File("TINY.GIF"), testing::TinyGif());
    }
    TempFolder dir_;
};

TEST_F(PictureFilesTest, FittingKeepsTheAspectRatioAndCentres) {
    toolkit::Image wide = Box(100, 200, 3000, 3000);
    const toolkit::PicturePtr picture = LoadControlPicture(dir_.File("wide.png"), wide, 0, nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture, wide.Picture());
    EXPECT_TRUE(wide.Stretch);
    EXPECT_FLOAT_EQ(wide.Width, 3000);
    EXPECT_FLOAT_EQ(wide.Height, 1500);
    EXPECT_FLOAT_EQ(wide.Left, 100);
    EXPECT_FLOAT_EQ(wide.Top, 200 + 750);

    toolkit::Image tall = Box(100, 200, 3000, 3000);
    LoadControlPicture(dir_.File("tall.png"), tall, 0, nullptr);
    EXPECT_FLOAT_EQ(tall.Width, 1500);
    EXPECT_FLOAT_EQ(tall.Height, 3000);
    EXPECT_FLOAT_EQ(tall.Left, 100 + 750);
    EXPECT_FLOAT_EQ(tall.Top, 200);

    // Equal ratios are fitted to the width and fill the box exactly; small pictures grow.
    toolkit::Image same = Box(0, 0, 6000, 3000);
    LoadControlPicture(dir_.File("wide.png"), same, 0, nullptr);
    EXPECT_FLOAT_EQ(same.Width, 6000);
    EXPECT_FLOAT_EQ(same.Height, 3000);
    EXPECT_FLOAT_EQ(same.Left, 0);
    EXPECT_FLOAT_EQ(same.Top, 0);
}

TEST_F(PictureFilesTest, OnlyMinusOneStretches) {
    toolkit::Image stretched = Box(10, 20, 3000, 3000);
    const toolkit::PicturePtr picture =
        LoadControlPicture(dir_.File("wide.png"), stretched, -1, nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(stretched.Picture(), nullptr);  // the caller assigns it
    EXPECT_FLOAT_EQ(stretched.Width, 3000);
    EXPECT_FLOAT_EQ(stretched.Height, 3000);
    EXPECT_FLOAT_EQ(stretched.Left, 10);
    EXPECT_FLOAT_EQ(stretched.Top, 20);

    toolkit::Image one = Box(10, 20, 3000, 3000);
    LoadControlPicture(dir_.File("wide.png"), one, 1, nullptr);
    EXPECT_FLOAT_EQ(one.Height, 1500);  // 1 is not true: fitted
    EXPECT_FLOAT_EQ(one.Top, 20 + 750);
}

TEST_F(PictureFilesTest, GifRoutingGoesByTheLastFourCharacters) {
    for (const char* name : {"tiny.gif", "TINY.GIF"}) {
        const toolkit::PicturePtr picture = LoadPictureFile(dir_.File(name), nullptr);
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->Width(), 2);
        EXPECT_EQ(picture->Pixels()[1], 0xFFFFFFFFu);
    }
    const toolkit::PicturePtr jpeg = LoadPictureFile(dir_.File("photo.jpeg"), nullptr);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->Width(), 8);

    // Names shorter than the extension are compared whole and do not break anything.
    EXPECT_EQ(LoadPictureFile("gif", nullptr), nullptr);
    EXPECT_EQ(LoadPictureFile("", nullptr), nullptr);
}

TEST_F(PictureFilesTest, MissingFiles) {
    const toolkit::PicturePtr gif = LoadPictureFile(dir_.File("absent.gif"), nullptr);
    ASSERT_NE(gif, nullptr);
    EXPECT_TRUE(gif->IsEmpty());
    EXPECT_EQ(LoadPictureFile(dir_.File("absent.png"), nullptr), nullptr);

    // In the fitted case a missing file leaves the control without a picture, even one it
    // showed before, and the control keeps its box.
    for (const char* name : {"absent.gif", "absent.png"}) {
        toolkit::Image control = Box(5, 6, 300, 200);
        control.SetPicture(LoadPictureFile(dir_.File("square.png"), nullptr));
        control.Width = 300;
        control.Height = 200;
        EXPECT_EQ(LoadControlPicture(dir_.File(name), control, 0, nullptr), nullptr) << name;
        EXPECT_EQ(control.Picture(), nullptr) << name;
        EXPECT_FLOAT_EQ(control.Width, 300);
        EXPECT_FLOAT_EQ(control.Height, 200);
        EXPECT_FLOAT_EQ(control.Left, 5);
        EXPECT_FLOAT_EQ(control.Top, 6);
    }
}

TEST_F(PictureFilesTest, DegenerateBoxesLeaveTheControlAlone) {
    toolkit::Image flat = Box(5, 6, 3000, 0);
    EXPECT_NE(LoadControlPicture(dir_.File("square.png"), flat, 0, nullptr), nullptr);
    EXPECT_FALSE(flat.Stretch);
    EXPECT_FLOAT_EQ(flat.Left, 5);
    EXPECT_FLOAT_EQ(flat.Top, 6);

    toolkit::Image nothing = Box(5, 6, 0, 0);  // no picture and no box: ratio 0/0
    EXPECT_EQ(LoadControlPicture(dir_.File("absent.png"), nothing, 0, nullptr), nullptr);
    EXPECT_FLOAT_EQ(nothing.Left, 5);
    EXPECT_FLOAT_EQ(nothing.Width, 0);
}

TEST_F(PictureFilesTest, CorruptFilesGiveNoPicture) {
    const std::vector<std::uint8_t> png = testing::ReadBytes(dir_.File("wide.png"));
    testing::WriteBytes(dir_.File("empty.png"), {});
    testing::WriteBytes(dir_.File("cut.png"),
                        std::vector<std::uint8_t>(png.begin(), png.begin() + png.size() / 2));
    testing::WriteBytes(dir_.File("zero.png"), testing::PngHeaderOnly(0, 10));
    testing::WriteBytes(dir_.File("huge.png"), testing::PngHeaderOnly(30000, 30000));
    testing::WriteBytes(dir_.File("empty.gif"), {});
    testing::WriteBytes(dir_.File("cut.gif"), {'G', 'I', 'F', '8', '9', 'a', 2});
    for (const char* name :
         {"empty.png", "cut.png", "zero.png", "huge.png", "empty.gif", "cut.gif"}) {
        EXPECT_EQ(LoadPictureFile(dir_.File(name), nullptr), nullptr) << name;
        toolkit::Image control = Box(0, 0, 100, 100);
        EXPECT_EQ(LoadControlPicture(dir_.File(name), control, 0, nullptr), nullptr) << name;
        EXPECT_EQ(control.Picture(), nullptr) << name;
    }
}

TEST_F(PictureFilesTest, CacheDecodesOncePerFileVersion) {
    PictureCache cache;
    const std::string png = dir_.File("square.png");
    const toolkit::PicturePtr first = LoadPictureFile(png, &cache);
    const toolkit::PicturePtr second = LoadPictureFile(png, &cache);
    toolkit::Image control = Box(0, 0, 300, 300);
    LoadControlPicture(png, control, 0, &cache);
    EXPECT_EQ(cache.Decodes(), 1);
    EXPECT_EQ(first, second);
    EXPECT_EQ(control.Picture(), first);

    const std::string gif = dir_.File("tiny.gif");
    LoadPictureFile(gif, &cache);
    toolkit::Image icon = Box(0, 0, 300, 300);
    LoadControlPicture(gif, icon, 0, &cache);
    EXPECT_EQ(cache.Decodes(), 2);
    EXPECT_NE(icon.Picture(), nullptr);

    // A file changed on disk is decoded afresh by the next load; within one load the file is
    // checked once.
    ASSERT_TRUE(testing::SaveSolid(png, 40, 20, 0xFF00FF00));
    std::filesystem::last_write_time(
        png, std::filesystem::last_write_time(png) + std::chrono::seconds(5));
    EXPECT_EQ(LoadPictureFile(png, &cache), first);
    cache.NewLoad();
    const toolkit::PicturePtr changed = LoadPictureFile(png, &cache);
    EXPECT_EQ(cache.Decodes(), 3);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->Width(), 40);
    // So is one rewritten with its size kept.
    const auto size = std::filesystem::file_size(png);
    ASSERT_TRUE(testing::SaveSolid(png, 40, 20, 0xFF0000FF));
    ASSERT_EQ(std::filesystem::file_size(png), size) << "the case this is about";
    std::filesystem::last_write_time(
        png, std::filesystem::last_write_time(png) + std::chrono::seconds(10));
    cache.NewLoad();
    EXPECT_NE(LoadPictureFile(png, &cache), changed);
    EXPECT_EQ(cache.Decodes(), 4);

    // Missing files are neither decoded nor remembered.
    LoadPictureFile(dir_.File("absent.gif"), &cache);
    EXPECT_EQ(cache.Decodes(), 4);
    toolkit::PicturePtr found;
    EXPECT_FALSE(cache.Find(dir_.File("absent.png"), &found));
    std::filesystem::remove(png);
    cache.NewLoad();
    EXPECT_FALSE(cache.Find(png, &found));
    cache.Clear();
    EXPECT_FALSE(cache.Find(gif, &found));
}

TEST(BundledPictures, EveryBundledPictureLoads) {
    const auto root = std::filesystem::path(KAVRO_SOURCE_DIR) / "metadata" / "default";
    int count = 0;
    for (const char* folder : {"icons", "images"}) {
        if (!std::filesystem::is_directory(root / folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
            ++count;
            const toolkit::PicturePtr picture = LoadPictureFile(entry.path().string(), nullptr);
            ASSERT_NE(picture, nullptr) << entry.path();
            EXPECT_FALSE(picture->IsEmpty()) << entry.path();
        }
    }
    EXPECT_GT(count, 20);
}

}  // namespace
}  // namespace kavro::imaging
