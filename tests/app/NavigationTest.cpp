#include <gtest/gtest.h>

#include "app/Navigation.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

constexpr int kUp = 38, kDown = 40, kLeft = 37, kRight = 39, kEsc = 27, kCtrl = 17, kAlt = 18,
              kSpace = 32;

std::string Lines(int count, const std::string& word) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += word + std::to_string(i) + "\n";
    return text;
}

class NavigationTest : public ViewerTest {
  protected:
    // Three sections: a long one, a short one, a long one.
    app::Viewer& LoadThree() {
        return Load(Head() + "<section>\n" + Lines(80, "a") + "</section><section>\nshort\n" +
                    "</section><section>\n" + Lines(80, "c") + "</section>");
    }
    float Top(int i) { return viewer().form.picSection[i].Top; }
    app::Viewer& viewer() { return *viewer_ptr; }
    app::Viewer* viewer_ptr = nullptr;
};

TEST_F(NavigationTest, ScrollingMovesTheStripByOneLineAndBack) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    const float area_top = v.form.fraScreenArea.Top;
    const float step = v.form.TextHeight("0");
    EXPECT_EQ(Top(0), area_top);
    Key(kUp);
    EXPECT_EQ(Top(0), area_top) << "scrolling up at the top does nothing";
    for (int i = 0; i < 5; ++i)
        Key(kDown);
    EXPECT_NEAR(Top(0), area_top - 5 * step, 0.01);
    EXPECT_FLOAT_EQ(Top(1), Top(0) + v.form.picSection[0].Height) << "the strip stays stacked";
    for (int i = 0; i < 5; ++i)
        Key(kUp);
    EXPECT_NEAR(Top(0), area_top, 0.01);
    Key(kUp);
    EXPECT_NEAR(Top(0), area_top, 0.01);
}

TEST_F(NavigationTest, ScrollingDownStopsAtTheBottomWithoutClamping) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    const auto& area = v.form.fraScreenArea;
    const auto& last = v.form.picSection[2];
    int presses = 0;
    while (area.Top + area.Height < last.Top + last.Height && presses < 100000) {
        Key(kDown);
        ++presses;
    }
    ASSERT_LT(presses, 100000);
    const float bottom = last.Top + last.Height;
    EXPECT_GT(bottom, area.Top + area.Height - v.form.TextHeight("0"));
    Key(kDown);
    EXPECT_EQ(last.Top + last.Height, bottom) << "at the bottom a further step does nothing";
    EXPECT_EQ(v.CurrentSection, 3);
}

TEST_F(NavigationTest, CurrentSectionIsTheLastBottomInsideTheArea) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    // Scroll until section 1's bottom enters the area: section 2 (short) is then inside too.
    const auto& area = v.form.fraScreenArea;
    int guard = 0;
    while (v.CurrentSection == 1 && guard++ < 10000)
        Key(kDown);
    const auto& s1 = v.form.picSection[0];
    const auto& s2 = v.form.picSection[1];
    EXPECT_LE(s1.Top + s1.Height, area.Top + area.Height);
    EXPECT_LE(s2.Top + s2.Height, area.Top + area.Height);
    EXPECT_EQ(v.CurrentSection, 2) << "the later of two bottoms inside the area wins";
}

// A bottom edge exactly on the area's bottom edge is inside the area.
TEST_F(NavigationTest, BottomOnTheAreasBottomEdgeIsInside) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    const auto& area = v.form.fraScreenArea;
    auto& sections = v.form.picSection;
    const float area_bottom = area.Top + area.Height;
    // One step further down: scrolling up brings section 2's bottom onto the edge.
    sections[0].Top =
        area_bottom - v.form.TextHeight("0") - sections[1].Height - sections[0].Height;
    Key(kUp);
    ASSERT_EQ(sections[1].Top + sections[1].Height, area_bottom);
    EXPECT_EQ(v.CurrentSection, 2);
}

// A strip whose bottom lies exactly on the area's bottom edge is at the bottom already.
TEST_F(NavigationTest, ScrollingDownStopsWithTheStripsBottomOnTheEdge) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    const auto& area = v.form.fraScreenArea;
    auto& sections = v.form.picSection;
    sections[0].Top =
        area.Top + area.Height - sections[0].Height - sections[1].Height - sections[2].Height;
    sections[1].Top = sections[0].Top + sections[0].Height;
    sections[2].Top = sections[1].Top + sections[1].Height;
    ASSERT_EQ(sections[2].Top + sections[2].Height, area.Top + area.Height);
    const float top = sections[0].Top;
    Key(kDown);
    EXPECT_EQ(sections[0].Top, top);
}

TEST_F(NavigationTest, SectionSwitchingIsCircular) {
    auto& v = LoadThree();
    viewer_ptr = &v;
    const float area_top = v.form.fraScreenArea.Top;
    Key(kRight);
    EXPECT_EQ(v.CurrentSection, 2);
    EXPECT_EQ(Top(1), area_top);
    EXPECT_EQ(Top(0), area_top - v.form.picSection[0].Height);
    Key(kRight);
    Key(kRight);
    EXPECT_EQ(v.CurrentSection, 1);
    EXPECT_EQ(Top(0), area_top);
    Key(kLeft);
    EXPECT_EQ(v.CurrentSection, 3);
    EXPECT_EQ(Top(2), area_top);
    // A section scrolled part-way is shown from its top again.
    Key(kDown);
    Key(kLeft);
    Key(kRight);
    EXPECT_EQ(Top(2), area_top);
}

TEST_F(NavigationTest, OneSectionSwitchUndoesScrolling) {
    auto& v = Load(Head() + "<section>\n" + Lines(100, "x") + "</section>");
    viewer_ptr = &v;
    Key(kDown);
    Key(kDown);
    EXPECT_LT(Top(0), v.form.fraScreenArea.Top);
    Key(kRight);
    EXPECT_EQ(Top(0), v.form.fraScreenArea.Top);
    EXPECT_EQ(v.CurrentSection, 1);
}

TEST_F(NavigationTest, NothingMovesBeforeTheFirstLoadOrWithoutSections) {
    Write("metadata/mk/command.xml", "<d/>");
    auto& v = Start();
    for (int key : {kUp, kDown, kLeft, kRight})
        Key(key);
    EXPECT_EQ(v.CurrentSection, 0);
    app::timLoad_Timer(v);
    EXPECT_EQ(v.CurrentSection, 1);
    Key(kLeft);
    Key(kDown);
    EXPECT_EQ(v.CurrentSection, 1);
}

TEST_F(NavigationTest, StepFollowsTheFittedFont) {
    auto& small =
        Load(Head() + "<section>\n" + Lines(100, "x") + "</section>", "mk command", 320, 240);
    const float small_step = small.form.TextHeight("0");
    EXPECT_LT(small.form.FontSize(), 12.0f);
    const float before = small.form.picSection[0].Top;
    Key(kDown);
    EXPECT_NEAR(small.form.picSection[0].Top, before - small_step, 0.01);
}

TEST_F(NavigationTest, TogglesReloadFromSectionOne) {
    Write("metadata/default/icons/star.gif", "");  // empty file: not a picture
    WritePicture("metadata/default/images/pic.png", 20, 10);
    auto& v = Load(Head() + "<section>\nx<img src=\"pic.png\" width=\"10\" height=\"10\"/>\n" +
                   Lines(60, "y") + "</section><section>\nz\n</section>");
    const auto area = v.form.fraScreenArea;
    Key(kRight);
    EXPECT_EQ(v.CurrentSection, 2);
    Key(kCtrl);
    EXPECT_TRUE(v.Zoomed);
    EXPECT_EQ(v.CurrentSection, 1);
    EXPECT_NE(v.form.fraScreenArea.Width, area.Width);
    Key(kCtrl);
    EXPECT_EQ(v.form.fraScreenArea.Width, area.Width) << "two toggles restore the geometry";
    EXPECT_EQ(v.form.fraScreenArea.Height, area.Height);

    EXPECT_TRUE(v.form.imgImage[0].Visible);
    Key(kAlt);
    EXPECT_TRUE(v.NoImages);
    EXPECT_FALSE(v.form.imgImage[0].Visible);
    Key(kAlt);
    Key(kSpace);
    EXPECT_TRUE(v.NoFormatting);
    EXPECT_FALSE(v.form.imgImage[0].Visible);
}

TEST_F(NavigationTest, HeldToggleKeyTogglesOncePerKeyDown) {
    auto& v = Load(Head() + "<section>\nx\n</section>");
    for (int repeat = 1; repeat <= 3; ++repeat) {
        Key(kSpace);
        EXPECT_EQ(v.NoFormatting, repeat % 2 == 1) << repeat;
    }
}

TEST_F(NavigationTest, FirstMatchingKeyWinsAndModifiersAreIgnored) {
    Write("kavro.ini", "[Input]\nZoom=27\nScrollDown=39\n");
    auto& v = Load(Head() + "<section>\n" + Lines(100, "x") + "</section><section>\ny\n</section>");
    const float top = v.form.picSection[0].Top;
    app::Form_KeyDown(v, kRight, 1);  // Right is now the scroll-down key, before next section
    EXPECT_LT(v.form.picSection[0].Top, top);
    EXPECT_EQ(v.CurrentSection, 1);
    try {
        Key(kEsc);  // exit comes before zoom
        FAIL() << "the exit key must end the program";
    } catch (const toolkit::ProgramEnd& end) {
        EXPECT_EQ(end.status, 0);
    }
    EXPECT_FALSE(v.Zoomed);
    const std::string text = ReadBack("kavro.ini");
    EXPECT_NE(text.find("[Input]\nZoom=27\nScrollDown=39\n"), std::string::npos);
    EXPECT_NE(text.find("Zoomed=False"), std::string::npos);
    EXPECT_NE(text.find("NoFormatting=False"), std::string::npos);
}

TEST_F(NavigationTest, BordersKeyTogglesAndKeyZeroShowsBorders) {
    Write("kavro.ini", "[Input]\nBorders=66\n");
    auto& v = Load(Head() + "<section>\na\nb\n</section>");
    Key(66);
    EXPECT_EQ(v.form.lblText[1].BorderStyle, 1);
    Key(66);
    EXPECT_EQ(v.form.lblText[1].BorderStyle, 0);
    Key(0);
    EXPECT_EQ(v.form.lblText[0].BorderStyle, 1);
}

}  // namespace
}  // namespace kavro::testing
