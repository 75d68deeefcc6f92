#include <gtest/gtest.h>

#include "common/ViewerFixture.h"
#include "layout/PaintSection.h"

namespace kavro::testing {
namespace {

// PaintSection on a prepared state: a 12000 x 9000 screen area, surfaces stacked, and the
// content bottom set through the last label.
class PaintTest : public ViewerTest {
  protected:
    app::Viewer& Prepare() {
        auto& v = Start();
        v.form.fraScreenArea.Width = 12000;
        v.form.fraScreenArea.Height = 9000;
        v.form.Width = 20000;
        return v;
    }
    // A surface as LayoutSection sets it up: in the screen area, centred in the 20000 window.
    void Surface(app::Viewer& v, int index, float height) {
        if (index > 0) v.form.picSection.Load(index);
        auto& s = v.form.picSection[index];
        s.Height = height;
        s.Width = 12000;
        s.Left = 4000;
    }
    // As LayoutSection leaves it: the section's own content ends at bottom, with a label last.
    void ContentBottom(app::Viewer& v, float bottom) {
        auto& l = v.form.lblText[0];
        l.Top = bottom - l.Height;
        v.LastPlacedKind = "text";
        v.SectionContent = {};
        v.SectionContent.FirstLabel = 0;
        v.SectionContent.Bottom = bottom;
    }
    void Region(app::Viewer& v, const char* style, const char* source = nullptr,
                long colour = 0x112233) {
        app::BackgroundRegion row;
        row.Colour = colour;
        row.Style = std::string(style);
        if (source) row.Source = std::string(source);
        v.BackgroundRegions.push_back(row);
    }
};

TEST_F(PaintTest, StyleZeroGrowsByScreens) {
    auto& v = Prepare();
    Surface(v, 0, 9000);
    ContentBottom(v, 20000);
    Region(v, "0");
    layout::PaintSection(v.Layout(), 1);
    EXPECT_EQ(v.form.picSection[0].Height, 27000);
    EXPECT_EQ(v.form.picSection[0].BackColor, 0x112233);

    Surface(v, 1, 9000);
    ContentBottom(v, 18000);
    Region(v, "0");
    layout::PaintSection(v.Layout(), 2);
    EXPECT_EQ(v.form.picSection[1].Height, 18000) << "stops at exactly the content bottom";
}

TEST_F(PaintTest, StyleOneFitsContent) {
    auto& v = Prepare();
    // 60 x 10 pixels stretched to 12000 twips wide: bands of 2000.
    WritePicture("metadata/default/images/band.png", 60, 10);
    Surface(v, 0, 9000);
    ContentBottom(v, 4000);
    Region(v, "1", "band.png");
    layout::PaintSection(v.Layout(), 1);
    EXPECT_EQ(v.form.picSection[0].Height, 6000) << "the strict test grows once more at 4000";
    EXPECT_EQ(v.form.picSection[0].Bands().size(), 4u) << "floor(6000 / 2000) + 1 bands";
    EXPECT_EQ(v.form.picSection[0].Bands()[0].h, 2000);

    Surface(v, 1, 9000);
    ContentBottom(v, 5000);
    Region(v, "1");
    layout::PaintSection(v.Layout(), 2);
    EXPECT_EQ(v.form.picSection[1].Height, 5225);
}

TEST_F(PaintTest, StyleTwoBandsContinueAcrossSurfaces) {
    auto& v = Prepare();
    WritePicture("metadata/default/images/wave.png", 40, 10);  // T = 3000
    WritePicture("metadata/default/images/other.png", 40, 10);
    Surface(v, 0, 9000);
    ContentBottom(v, 10000 - 225);
    Region(v, "2", "wave.png");
    layout::PaintSection(v.Layout(), 1);
    const auto& first = v.form.picSection[0];
    EXPECT_FLOAT_EQ(first.Height, 10000);
    ASSERT_EQ(first.Bands().size(), 4u);
    EXPECT_FLOAT_EQ(first.Bands().back().y, 9000);
    EXPECT_FLOAT_EQ(v.TileCarry, 1000);

    Surface(v, 1, 9000);
    Region(v, "2", "wave.png");
    layout::PaintSection(v.Layout(), 2);
    EXPECT_FLOAT_EQ(v.form.picSection[1].Bands().front().y, -1000);

    Surface(v, 2, 9000);
    Region(v, "2", "other.png");
    layout::PaintSection(v.Layout(), 3);
    EXPECT_FLOAT_EQ(v.form.picSection[2].Bands().front().y, 0) << "another picture starts afresh";
}

TEST_F(PaintTest, StyleThreeIsFullWidthButOnlyForTheExactText) {
    auto& v = Prepare();
    WritePicture("metadata/default/images/wide.png", 40, 10);
    Surface(v, 0, 9000);
    ContentBottom(v, 100);
    v.form.lblText[0].Left = 300;
    Region(v, "3", "wide.png");
    layout::PaintSection(v.Layout(), 1);
    const auto& surface = v.form.picSection[0];
    EXPECT_EQ(surface.Left, 0);
    EXPECT_EQ(surface.Width, 20000);
    EXPECT_TRUE(v.CenterPending);
    EXPECT_FLOAT_EQ(v.CenterOffset, 4000);
    EXPECT_FLOAT_EQ(v.form.lblText[0].Left, 4300) << "the content keeps its screen column";
    EXPECT_FLOAT_EQ(surface.Bands()[0].w, 20000);

    Surface(v, 1, 9000);
    ContentBottom(v, 100);
    v.form.lblText[0].Left = 600;
    Region(v, "03", "wide.png");
    layout::PaintSection(v.Layout(), 2);
    EXPECT_EQ(v.form.picSection[1].Width, 20000) << "03 is 3 as a number";
    EXPECT_FLOAT_EQ(v.CenterOffset, 4000) << "its content moves as far as its surface did";
    EXPECT_FLOAT_EQ(v.form.lblText[0].Left, 4600);
    EXPECT_FLOAT_EQ(v.form.picSection[1].Bands()[0].w, 12000) << "but not the text 3";
}

TEST_F(PaintTest, PictureLookupAndNoFormatting) {
    auto& v = Prepare();
    WritePicture("metadata/default/images/both.png", 40, 10);  // T = 3000
    WritePicture("metadata/mk/images/both.png", 40, 20);       // T = 6000
    Surface(v, 0, 9000);
    ContentBottom(v, 100);
    Region(v, "0", "both.png");
    layout::PaintSection(v.Layout(), 1);
    ASSERT_FALSE(v.form.picSection[0].Bands().empty());
    EXPECT_FLOAT_EQ(v.form.picSection[0].Bands()[0].h, 3000) << "the default folder wins";

    v.NoFormatting = true;
    Surface(v, 1, 9000);
    Region(v, "0", "both.png", 0x445566);
    layout::PaintSection(v.Layout(), 2);
    EXPECT_TRUE(v.form.picSection[1].Bands().empty());
    EXPECT_EQ(v.form.picSection[1].BackColor, 0x445566);
}

TEST_F(PaintTest, BrokenPicturesAndStylesFallBackToTheColour) {
    auto& v = Prepare();
    Write("metadata/default/images/broken.png", "not a picture at all");
    WritePicture("metadata/default/images/ok.png", 40, 10);
    Surface(v, 0, 9000);
    ContentBottom(v, 100);
    Region(v, "1", "broken.png", 0x010203);
    layout::PaintSection(v.Layout(), 1);
    EXPECT_EQ(v.form.picSection[0].BackColor, 0x010203);
    EXPECT_TRUE(v.form.picSection[0].Bands().empty());

    Surface(v, 1, 9000);
    Region(v, "fancy", "ok.png", 0x040506);
    layout::PaintSection(v.Layout(), 2);
    EXPECT_EQ(v.form.picSection[1].Height, 9000) << "a style that is no number keeps the size";
    EXPECT_EQ(v.form.picSection[1].BackColor, 0x040506);
}

}  // namespace
}  // namespace kavro::testing
