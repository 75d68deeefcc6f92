#include <gtest/gtest.h>

#include "common/ViewerFixture.h"
#include "layout/LayoutSection.h"

namespace kavro::testing {
namespace {

using toolkit::Label;

// The labels placed in section s (0-based) in index order.
std::vector<const Label*> LabelsOn(const app::Viewer& v, int s) {
    std::vector<const Label*> out;
    v.form.lblText.ForEach([&](const Label& l) {
        if (l.Visible && l.Container == v.form.picSection.At(s)) out.push_back(&l);
    });
    return out;
}

class LayoutTest : public ViewerTest {};

TEST_F(LayoutTest, MarginsAndCodeOnlyFirstLine) {
    auto& v = Load(Head() + "<section bg=\"plain\">\nTitle\n</section>");
    const auto& surface = v.form.picSection[0];
    EXPECT_EQ(surface.Width, v.form.fraScreenArea.Width);
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->Caption(), "Title");
    // The "bg=" line places nothing and does not move the cursor.
    EXPECT_FLOAT_EQ(labels[0]->Top, static_cast<float>(0.025 * v.form.fraScreenArea.Height));
    EXPECT_FLOAT_EQ(labels[0]->Left, static_cast<float>(0.05 * v.form.fraScreenArea.Width));
    EXPECT_EQ(labels[0]->Index, 0) << "the first run reuses element 0";
}

TEST_F(LayoutTest, EmptyLinesTakeOneLineOfTheCurrentFont) {
    auto& v = Load(Head() + "<section>\nA\n\nB\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[1]->Caption(), "");
    EXPECT_FLOAT_EQ(labels[1]->Top, labels[0]->Top + labels[0]->Height);
    EXPECT_FLOAT_EQ(labels[2]->Top, labels[1]->Top + labels[1]->Height);
    EXPECT_GT(labels[1]->Height, 0);
}

TEST_F(LayoutTest, FieldSplittingRules) {
    // |a|b| gives a and b; ||a|| gives a and an empty last run; short "~" fields vanish.
    auto& v = Load(Head() + "<section>\n|a|b|\n||a||\nx|~|y\n</section>");
    std::vector<std::string> captions;
    for (const Label* l : LabelsOn(v, 0))
        captions.push_back(l->Caption());
    EXPECT_EQ(captions, (std::vector<std::string>{"a", "b", "a", "", "x", "y"}));
}

TEST_F(LayoutTest, CodePrefixedTextIsTakenAsCode) {
    auto& v = Load(Head() + "<section>\nkeep|Fed up|BGE end|fs=big|Red\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->Caption(), "keep");
    EXPECT_EQ(labels[1]->Caption(), "Red");
    EXPECT_EQ(labels[1]->ForeColor, 255);
}

TEST_F(LayoutTest, BlanksAreTextAndIndent) {
    auto& v = Load(Head() + "<section>\n   \n  indented\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->Caption(), "   ");
    EXPECT_EQ(labels[1]->Caption(), "  indented");
    EXPECT_GT(labels[0]->Width, 0);
}

TEST_F(LayoutTest, LineItemsShareOneBottomEdge) {
    auto& v = Load(Head() + "<section>\nsmall<font name=\"big\">BIG</font>after\nnext\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 4u);
    const float bottom = labels[1]->Top + labels[1]->Height;
    EXPECT_GT(labels[1]->Height, labels[0]->Height);
    for (int i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(labels[i]->Top + labels[i]->Height, bottom);
    EXPECT_FLOAT_EQ(labels[3]->Top, bottom) << "the next line starts at the common bottom";
    EXPECT_FLOAT_EQ(labels[1]->Left, labels[0]->Left + labels[0]->Width);
}

TEST_F(LayoutTest, SecondSectionContinuesLabelIndices) {
    auto& v = Load(Head() + "<section>\na\nb\n</section><section>\nc\n</section>");
    auto second = LabelsOn(v, 1);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0]->Caption(), "c");
    EXPECT_EQ(second[0]->Index, 2);
    const auto& s0 = v.form.picSection[0];
    EXPECT_FLOAT_EQ(v.form.picSection[1].Top, s0.Top + s0.Height);
}

TEST_F(LayoutTest, FontMacrosColoursAndSizes) {
    auto& v = Load(Head("<fontmacro size=\"100\" color=\"300,0,0\">hot</fontmacro>") +
                   "<section>\n|fs=BIG|A|fs=small|B|fed|C|fs=hot|D|fs=nosuch|E\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 5u);
    const float base = v.form.FontSize();
    EXPECT_GT(labels[0]->FontSize(), base);
    EXPECT_EQ(labels[0]->ForeColor, 255);
    EXPECT_LT(labels[1]->FontSize(), base);
    EXPECT_EQ(labels[1]->ForeColor, 255 * 256);
    EXPECT_EQ(labels[2]->FontSize(), base);
    EXPECT_EQ(labels[2]->ForeColor, 0xFFFFFF) << "fed returns to macro 1";
    EXPECT_EQ(labels[3]->ForeColor, 255) << "a colour part of 300 counts as 255";
    EXPECT_EQ(labels[4]->ForeColor, 0xFFFFFF) << "an unknown macro is macro 1";
}

TEST_F(LayoutTest, NoFormattingKeepsColoursButUsesTheFirstSize) {
    Write("kavro.ini", "[Settings]\nNoFormatting=True\n");
    auto& v = Load(Head() + "<section>\n|fs=big|A|fs=small|B\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->FontSize(), v.form.FontSize());
    EXPECT_EQ(labels[1]->FontSize(), v.form.FontSize());
    EXPECT_EQ(labels[0]->ForeColor, 255);
    EXPECT_EQ(labels[1]->ForeColor, 255 * 256);
}

TEST_F(LayoutTest, ShortRunsLoseTheirMarkers) {
    auto& v = Load(Head() + "<section>\na~|a~b\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->Caption(), "a");
    EXPECT_EQ(labels[1]->Caption(), "a~b");
}

TEST_F(LayoutTest, BadMacroValuesCostOnlyTheirProperty) {
    // A size that is not a number keeps element 0's size; a bad colour keeps its colour.
    auto& v = Load(
        "<head><fontmacro size=\"huge\" color=\"a,b,c\">x</fontmacro></head>"
        "<section>\nstill here\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->Caption(), "still here");
    EXPECT_EQ(labels[0]->ForeColor, 0xFFFFFF);
    EXPECT_EQ(labels[0]->FontSize(), 12.0f);
}

TEST_F(LayoutTest, WithoutFontMacrosRunsKeepTheDesignLook) {
    auto& v = Load("<section>\nplain\n</section>");
    auto labels = LabelsOn(v, 0);
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->ForeColor, 0xFFFFFF);
}

TEST_F(LayoutTest, BackgroundRowsFollowSectionsAndExtraCodes) {
    auto& v = Load(Head() +
                   "<section bg=\"plain\">\na\n</section><section bg=\"PLAIN\">\nb\n"
                   "bg=extra\n</section><section bg=\"nosuch\">\nc\n</section>");
    ASSERT_EQ(v.BackgroundRegions.size(), 5u) << "three sections plus one text field bg=";
    EXPECT_EQ(v.BackgroundRegions[1].Colour, 64 * 65536);
    EXPECT_EQ(v.BackgroundRegions[2].Colour, 64 * 65536);
    EXPECT_EQ(v.BackgroundRegions[3].Colour, 64 * 65536) << "unknown names take macro 1";
    EXPECT_EQ(*v.BackgroundRegions[1].Style, "0");
    EXPECT_EQ(v.BackgroundRegions[1].FirstLabel, 1) << "element 0 always counts";
    EXPECT_EQ(v.BackgroundRegions[1].LastLabel, 0);
}

TEST_F(LayoutTest, WithoutBgMacrosRowsAreEmptyButPresent) {
    auto& v = Load("<section>\na\n</section>");
    ASSERT_EQ(v.BackgroundRegions.size(), 2u);
    EXPECT_FALSE(v.BackgroundRegions[1].Colour);
    EXPECT_FALSE(v.BackgroundRegions[1].Style);
}

class FitFontSizeTest : public ViewerTest {};

TEST_F(FitFontSizeTest, GrowsAndShrinksByWholePointsWithinBounds) {
    auto& v = Start();
    v.form.SetFontSize(20);
    const float zero = v.form.TextWidth("0");
    EXPECT_EQ(layout::FitFontSize(v.Layout(), std::string("100")), 20.0f);
    const auto grown = layout::FitFontSize(v.Layout(), std::string("150"));
    ASSERT_TRUE(grown);
    EXPECT_LE(v.form.Fonts().TextWidth("0", *grown), 1.5 * zero);
    EXPECT_GT(v.form.Fonts().TextWidth("0", *grown + 1), 1.5 * zero);
    const auto shrunk = layout::FitFontSize(v.Layout(), std::string("99"));
    ASSERT_TRUE(shrunk);
    EXPECT_LE(*shrunk, 19.0f);
    EXPECT_EQ(v.form.FontSize(), 20.0f) << "the window's size is put back";
    EXPECT_FALSE(layout::FitFontSize(v.Layout(), std::string("abc")));
    // Unreachable percentages end at the font's bounds.
    EXPECT_EQ(layout::FitFontSize(v.Layout(), std::string("0")), toolkit::FontEngine::kMinSize);
    EXPECT_EQ(layout::FitFontSize(v.Layout(), std::string("-50")), toolkit::FontEngine::kMinSize);
    EXPECT_EQ(layout::FitFontSize(v.Layout(), std::string("100000")),
              toolkit::FontEngine::kMaxSize);
    EXPECT_EQ(v.form.FontSize(), 20.0f);
}

TEST_F(FitFontSizeTest, LoadFitsLineCharsIntoNinetyPercent) {
    auto& v = Load(Head() + "<section>\nx\n</section>");
    const std::string line(40, '-');
    const double target = 0.9 * v.form.fraScreenArea.Width;
    EXPECT_LE(v.form.TextWidth(line), target);
    EXPECT_GT(v.form.Fonts().TextWidth(line, v.form.FontSize() + 1), target);
    EXPECT_EQ(v.form.fraScreenArea.FontSize, v.form.FontSize());
}

// At the boundary: 45 hyphens at 20 points are 720 pixels, exactly 90 % of a portrait area
// 800 pixels wide, and that size is kept, whether fitting grows the size to it or shrinks it.
TEST_F(FitFontSizeTest, SizeFillingExactlyNinetyPercentIsKept) {
    auto& v = Load("<head><textwidth>45</textwidth></head><section>\nx\n</section>", "mk command",
                   800, 1600);
    for (const float start : {8.0f, 30.0f}) {
        ASSERT_TRUE(v.form.SetFontSize(start));
        app::cmdLoad_Click(v);
        EXPECT_EQ(v.form.FontSize(), 20.0f) << "from " << start;
        EXPECT_EQ(v.form.TextWidth(std::string(45, '-')), 0.9f * v.form.fraScreenArea.Width);
    }
}

}  // namespace
}  // namespace kavro::testing
