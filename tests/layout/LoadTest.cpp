#include <gtest/gtest.h>

#include "app/Dump.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

using LoadTest = ViewerTest;

TEST_F(LoadTest, DocumentsJoinedBySemicolonStackInOrder) {
    Write("metadata/mk/second.xml", "<d>" + Head() + "<section>\nthird\n</section></d>");
    auto& v = Load(Head() + "<section>\nfirst\n</section><section>\nsecond\n</section>",
                   "mk command;second");
    ASSERT_EQ(v.doc.SectionCount(), 3);
    EXPECT_NE(v.doc.SectionMarkup[3].find("third"), std::string::npos);
    ASSERT_EQ(v.form.picSection.UBound(), 2);
    for (int i = 1; i <= 2; ++i)
        EXPECT_FLOAT_EQ(v.form.picSection[i].Top,
                        v.form.picSection[i - 1].Top + v.form.picSection[i - 1].Height);
    EXPECT_EQ(v.form.lblText[2].Caption(), "third");
}

TEST_F(LoadTest, StyleFilesAreFoundInEitherPlaceAndReplaceMacros) {
    const std::string style_mk =
        "<s><head><fontmacro size=\"100\" color=\"1,2,3\">x</fontmacro></head></s>";
    const std::string style_default =
        "<s><head><fontmacro size=\"100\" color=\"4,5,6\">x</fontmacro></head></s>";
    Write("metadata/mk/dark.sxml", style_mk);
    {
        auto& v = Load(Head() + "<section>\nA\n</section>", "mk command dark");
        EXPECT_EQ(v.form.lblText[0].ForeColor, 1 + 2 * 256 + 3 * 65536);
        EXPECT_EQ(v.doc.FontMacros.UBound(), 1) << "the style's macros replace the document's";
    }
    Write("metadata/default/dark.sxml", style_default);
    {
        auto& v = Load(Head() + "<section>\nA\n</section>", "mk command dark");
        EXPECT_EQ(v.form.lblText[0].ForeColor, 4 + 5 * 256 + 6 * 65536) << "default wins";
    }
    {
        auto& v = Load(Head() + "<section>\nA\n</section>", "mk command missing");
        EXPECT_EQ(v.form.lblText[0].ForeColor, 0xFFFFFF) << "a missing style changes nothing";
    }
}

TEST_F(LoadTest, DocumentWithoutSectionsAndDefaultLineWidth) {
    auto& v = Load("<head/>");
    EXPECT_EQ(v.doc.SectionCount(), 0);
    EXPECT_EQ(v.CurrentSection, 1);
    EXPECT_EQ(v.doc.LineChars, 40);
    EXPECT_FALSE(v.form.picSection[0].Visible);
}

TEST_F(LoadTest, ReloadGivesTheSameScreen) {
    WritePicture("metadata/default/images/p.png", 40, 10);
    auto& v = Load(Head("<bgmacro name=\"c\" style=\"2\" color=\"0,0,0\" src=\"p.png\"/>") +
                   "<section bg=\"c\">\nA\n</section><section bg=\"c\">\nB\n</section>");
    const std::string first = app::DumpState(v);
    app::cmdLoad_Click(v);
    EXPECT_EQ(app::DumpState(v), first);
}

TEST_F(LoadTest, FailedLoadsNameTheFile) {
    auto& v = Start("mk nosuch");
    try {
        app::cmdLoad_Click(v);
        FAIL() << "a missing document must fail the load";
    } catch (const document::LoadError& e) {
        EXPECT_NE(std::string(e.what()).find("nosuch.xml"), std::string::npos);
    }
    Write("metadata/mk/bad.xml", "<d><section>\n</d>");
    auto& w = Start("mk bad");
    EXPECT_THROW(app::cmdLoad_Click(w), document::LoadError);
}

TEST_F(LoadTest, ContinuousBandsHaveNoSeamBetweenSurfaces) {
    StripedPicture("metadata/default/images/stripes.png", 40, 10);  // bands of 200 px
    // An 800 x 800 screen: a 12000 x 9000 twips (800 x 600 px) screen area 100 px down.
    auto& v = Load(Head("<bgmacro name=\"s\" style=\"2\" color=\"0,0,0\" src=\"stripes.png\"/>") +
                       "<section bg=\"s\">\n1\n2\n3\n4\n5\n6\n7\n</section><section bg=\"s\">\n"
                       "1\n2\n3\n4\n5\n6\n7\n</section>",
                   "mk command", 800, 800);
    const auto& first = v.form.picSection[0];
    const auto& second = v.form.picSection[1];
    const int seam = static_cast<int>((first.Top + first.Height) / 15);
    const int end = static_cast<int>((second.Top + second.Height) / 15);
    ASSERT_GT(seam, 100);
    ASSERT_LT(seam + 50, end);
    ASSERT_LT(end, 800);
    const Shot shot = Render(v);
    ASSERT_EQ(shot.h, 800);
    int compared = 0;
    for (int y = 100; y + 200 < end; ++y, ++compared)
        ASSERT_EQ(shot.At(790, y), shot.At(790, y + 200)) << "row " << y << ", seam at " << seam;
    EXPECT_GT(compared, 100);
}

TEST_F(LoadTest, FullWidthSurfaceSpansTheWindow) {
    WritePicture("metadata/default/images/wide.png", 40, 10, 0xFF20A020);
    auto& v =
        Load(Head("<bgmacro name=\"w\" style=\"3\" color=\"0,0,0\" src=\"wide.png\"/>"
                  "<bgmacro name=\"fit\" style=\"1\" color=\"0,0,0\"/>") +
                 "<section bg=\"fit\">\nnarrow\n</section><section bg=\"w\">\nwide\n</section>",
             "mk command", 1600, 900);
    const auto& wide = v.form.picSection[1];
    EXPECT_EQ(wide.Left, 0);
    EXPECT_EQ(wide.Width, v.form.Width);
    const Shot shot = Render(v);
    const int y = static_cast<int>(wide.Top / 15) + 5;
    ASSERT_LT(y, shot.h);
    EXPECT_EQ(shot.At(0, y), 0x20A020u);
    EXPECT_EQ(shot.At(shot.w - 1, y), 0x20A020u);
    EXPECT_EQ(shot.At(0, 5), 0u) << "the narrow section leaves the side bars black";
}

}  // namespace
}  // namespace kavro::testing
