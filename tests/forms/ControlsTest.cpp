#include <gtest/gtest.h>

#include "common/ToolkitTestSupport.h"
#include "forms/ControlArray.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"

namespace kavro::toolkit {
namespace {

using testing::MakeFonts;

PicturePtr SolidPicture(int w, int h, std::uint32_t argb) {
    return std::make_shared<const Picture>(
        w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), argb), "solid");
}

TEST(ControlArrayTest, LoadCopiesElementZeroHiddenAndUnloadShrinks) {
    auto fonts = MakeFonts();
    Label design(fonts.get());
    design.SetCaption("x");
    design.ForeColor = 0x00FF00;
    design.BorderStyle = 1;
    design.Left = 30;
    ControlArray<Label> labels("lblText", design);
    EXPECT_EQ(labels.UBound(), 0);

    ASSERT_TRUE(labels.Load(1));
    ASSERT_TRUE(labels.Load(2));
    EXPECT_EQ(labels.UBound(), 2);
    const Label& one = labels[1];
    EXPECT_FALSE(one.Visible);
    EXPECT_TRUE(labels[0].Visible);
    EXPECT_EQ(one.Index, 1);
    EXPECT_EQ(one.ForeColor, 0x00FF00);
    EXPECT_EQ(one.BorderStyle, 1);
    EXPECT_EQ(one.Caption(), "x");
    EXPECT_FLOAT_EQ(one.Left, 30);

    EXPECT_TRUE(labels.Unload(2));
    EXPECT_EQ(labels.UBound(), 1);
    EXPECT_TRUE(labels.Unload(1));
    EXPECT_EQ(labels.UBound(), 0);
    EXPECT_THROW(labels[1], std::out_of_range);
}

TEST(ControlArrayTest, RefusesIndexZeroOutOfRangeAndReload) {
    ControlArray<Image> images("imgIco", Image{});
    EXPECT_FALSE(images.Load(0));
    EXPECT_FALSE(images.Load(-1));
    EXPECT_FALSE(images.Load(ControlArray<Image>::kMaxIndex + 1));
    EXPECT_TRUE(images.Load(1));
    EXPECT_FALSE(images.Load(1));
    EXPECT_FALSE(images.Unload(0));
    EXPECT_FALSE(images.Unload(5));
    EXPECT_EQ(images.UBound(), 1);
}

TEST(ControlArrayTest, UnloadInTheMiddleKeepsUpperBoundUntilTheTopGoes) {
    ControlArray<Image> images("imgImage", Image{});
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(images.Load(i));
    EXPECT_TRUE(images.Unload(2));
    EXPECT_EQ(images.UBound(), 3);
    EXPECT_EQ(images.At(2), nullptr);
    EXPECT_TRUE(images.Unload(3));
    EXPECT_EQ(images.UBound(), 1);  // the gap below the top went with it
    int seen = 0;
    images.ForEach([&](const Image&) { ++seen; });
    EXPECT_EQ(seen, 2);
}

TEST(ControlArrayTest, LoadedPictureBoxStartsWithoutDrawingButKeepsSettings) {
    PictureBox design;
    design.BackColor = 0x123456;
    design.Container = nullptr;
    design.PaintPicture(SolidPicture(1, 1, 0xFF000000), 0, 0, 15, 15);
    ControlArray<PictureBox> boxes("picSection", design);
    ASSERT_TRUE(boxes.Load(1));
    EXPECT_EQ(boxes[1].BackColor, 0x123456);
    EXPECT_TRUE(boxes[1].Bands().empty());
    EXPECT_EQ(boxes[0].Bands().size(), 1u);
}

TEST(ContainerTest, LoadedElementSharesTheDesignContainer) {
    PictureBox box;
    Image design;
    design.Container = &box;
    design.Stretch = true;
    ControlArray<Image> icons("imgIco", design);
    ASSERT_TRUE(icons.Load(1));
    EXPECT_EQ(icons[1].Container, &box);
    EXPECT_TRUE(icons[1].Stretch);
}

TEST(LabelTest, AutoSizeFollowsCaptionAndSize) {
    auto fonts = MakeFonts();
    Label label(fonts.get());
    label.SetCaption("abc");
    label.Width = 1;
    EXPECT_FLOAT_EQ(label.Width, 1);  // AutoSize off: geometry untouched

    label.SetAutoSize(true);
    const float w3 = label.Width;
    const float h = label.Height;
    EXPECT_GT(w3, 0);
    EXPECT_FLOAT_EQ(w3, fonts->TextWidth("abc", 12));
    EXPECT_FLOAT_EQ(h, fonts->TextHeight("abc", 12));

    label.SetCaption("abcdef");
    EXPECT_GT(label.Width, w3);
    EXPECT_FLOAT_EQ(label.Height, h);

    ASSERT_TRUE(label.SetFontSize(24));
    EXPECT_GT(label.Height, h);
    EXPECT_FLOAT_EQ(label.Width, fonts->TextWidth("abcdef", 24));
}

TEST(LabelTest, SettingWhatTheLabelHasStillLeavesItFitted) {
    auto fonts = MakeFonts();
    Label label(fonts.get());
    label.SetAutoSize(true);
    label.SetCaption("abc");
    const float w = fonts->TextWidth("abc", 12);
    const float h = fonts->TextHeight("abc", 12);
    // Geometry changed by hand: the same settings fit the label to its caption again.
    label.Width = w + 15;
    label.SetAutoSize(true);
    EXPECT_FLOAT_EQ(label.Width, w);
    label.Height = h - 15;
    ASSERT_TRUE(label.SetFontSize(12));
    EXPECT_FLOAT_EQ(label.Height, h);
    // A copy (as a control array loads one) keeps its fit; a new size or caption refits it.
    Label copy = label;
    copy.SetAutoSize(true);
    ASSERT_TRUE(copy.SetFontSize(12));
    EXPECT_FLOAT_EQ(copy.Width, w);
    ASSERT_TRUE(copy.SetFontSize(13));
    EXPECT_FLOAT_EQ(copy.Width, fonts->TextWidth("abc", 13));
    // Switched off and on: fitted again, whatever was set meanwhile.
    copy.SetAutoSize(false);
    copy.Width = 1;
    copy.SetAutoSize(false);
    EXPECT_FLOAT_EQ(copy.Width, 1);
    copy.SetAutoSize(true);
    EXPECT_FLOAT_EQ(copy.Width, fonts->TextWidth("abc", 13));
}

TEST(LabelTest, CaptionAtSizeIsSizeThenCaption) {
    auto fonts = MakeFonts();
    Label label(fonts.get());
    label.SetAutoSize(true);
    label.SetCaptionAtSize("abc", 20.0f);
    EXPECT_FLOAT_EQ(label.FontSize(), 20);
    EXPECT_FLOAT_EQ(label.Width, fonts->TextWidth("abc", 20));
    EXPECT_FLOAT_EQ(label.Height, fonts->TextHeight("abc", 20));
    // No size, or one the engine refuses at either edge: the label keeps its size.
    label.SetCaptionAtSize("abcd", std::nullopt);
    EXPECT_FLOAT_EQ(label.Width, fonts->TextWidth("abcd", 20));
    label.SetCaptionAtSize("ab", FontEngine::kMaxSize + 1);
    EXPECT_FLOAT_EQ(label.FontSize(), 20);
    label.SetCaptionAtSize("ab", FontEngine::kMinSize - 0.5f);
    EXPECT_FLOAT_EQ(label.FontSize(), 20);
    label.SetCaptionAtSize("ab", FontEngine::kMaxSize);
    EXPECT_FLOAT_EQ(label.FontSize(), FontEngine::kMaxSize);
    // Without AutoSize the geometry stays as it is.
    Label fixed(fonts.get());
    fixed.Width = 7;
    fixed.SetCaptionAtSize("abc", 30.0f);
    EXPECT_FLOAT_EQ(fixed.Width, 7);
    EXPECT_EQ(fixed.Caption(), "abc");
}

TEST(LabelTest, EmptyCaptionKeepsOneLineOfHeight) {
    auto fonts = MakeFonts();
    Label label(fonts.get());
    label.SetAutoSize(true);
    label.SetCaption("");
    EXPECT_FLOAT_EQ(label.Width, 0);
    EXPECT_FLOAT_EQ(label.Height, fonts->TextHeight("X", 12));
    EXPECT_GT(label.Height, 0);
}

TEST(LabelTest, RefusesInvalidFontSizes) {
    auto fonts = MakeFonts();
    Label label(fonts.get());
    label.SetAutoSize(true);
    label.SetCaption("m");
    const float before = label.Height;
    EXPECT_FALSE(label.SetFontSize(0));
    EXPECT_FALSE(label.SetFontSize(501));
    EXPECT_FALSE(label.SetFontSize(-3));
    EXPECT_FLOAT_EQ(label.FontSize(), 12);
    EXPECT_FLOAT_EQ(label.Height, before);
    EXPECT_TRUE(label.SetFontSize(500));
    EXPECT_TRUE(label.SetFontSize(1));
}

TEST(ImageTest, NaturalSizeUnlessStretchedOrEmpty) {
    Image image;
    image.Width = 100;
    image.Height = 200;
    image.SetPicture(SolidPicture(4, 3, 0xFFFFFFFF));
    EXPECT_FLOAT_EQ(image.Width, 60);
    EXPECT_FLOAT_EQ(image.Height, 45);

    image.SetPicture(MakeEmptyPicture());
    EXPECT_FLOAT_EQ(image.Width, 60);
    image.SetPicture(nullptr);
    EXPECT_FLOAT_EQ(image.Height, 45);

    Image stretched;
    stretched.Stretch = true;
    stretched.Width = 500;
    stretched.Height = 700;
    stretched.SetPicture(SolidPicture(4, 3, 0xFFFFFFFF));
    EXPECT_FLOAT_EQ(stretched.Width, 500);
    EXPECT_FLOAT_EQ(stretched.Height, 700);
    EXPECT_NE(stretched.Picture(), nullptr);
}

TEST(PictureBoxTest, PaintPictureKeepsBandsUntilCls) {
    PictureBox box;
    box.PaintPicture(SolidPicture(1, 1, 0xFF00FF00), 15, 30, 150, 300);
    box.PaintPicture(nullptr, 0, 0, 1, 1);
    ASSERT_EQ(box.Bands().size(), 2u);
    EXPECT_FLOAT_EQ(box.Bands()[0].y, 30);
    EXPECT_FLOAT_EQ(box.Bands()[0].h, 300);
    box.Cls();
    EXPECT_TRUE(box.Bands().empty());
}

TEST(FormTest, SetFontSizeRefusesOutOfRange) {
    Form form(MakeFonts());
    EXPECT_FALSE(form.SetFontSize(0));
    EXPECT_FALSE(form.SetFontSize(501));
    EXPECT_FLOAT_EQ(form.FontSize(), 12);
    EXPECT_TRUE(form.SetFontSize(8.25f));
    EXPECT_FLOAT_EQ(form.FontSize(), 8.25f);
}

TEST(FormTest, TextMeasurementUsesCurrentSize) {
    Form form(MakeFonts());
    const float small = form.TextHeight("0");
    ASSERT_TRUE(form.SetFontSize(36));
    EXPECT_GT(form.TextHeight("0"), small);
    EXPECT_FLOAT_EQ(form.TextWidth("00"), form.Fonts().TextWidth("00", 36));
}

TEST(FormTest, MoveSetsGeometryThenRunsResize) {
    Form form(MakeFonts());
    float seen_width = -1;
    int calls = 0;
    form.Resize = [&] {
        ++calls;
        seen_width = form.Width;
    };
    form.Move(0, 15, 28800, 16200);
    EXPECT_EQ(calls, 1);
    EXPECT_FLOAT_EQ(seen_width, 28800);
    EXPECT_FLOAT_EQ(form.Top, 15);
    EXPECT_FLOAT_EQ(form.Height, 16200);

    Timer t;
    form.AddTimer(&t, [] {});
    form.AddTimer(nullptr, [] {});
    EXPECT_EQ(form.Timers().size(), 1u);
}

TEST(FormTest, RefusesMissingFontEngine) {
    EXPECT_THROW(Form(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace kavro::toolkit
