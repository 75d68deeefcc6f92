#include "document/MarkupReader.h"

#include <gtest/gtest.h>

namespace kavro::document {
namespace {

using Lines = std::vector<std::string>;
using Views = std::vector<std::string_view>;

TEST(SplitLinesTest, LineFeedsOnlyAndCarriageReturnsKept) {
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (Views{"a\r", "b", "c"}));
    EXPECT_EQ(SplitLines("a\n"), (Views{"a", ""}));
    EXPECT_EQ(SplitLines("\n"), (Views{"", ""}));
    EXPECT_EQ(SplitLines("\rx"), (Views{"\rx"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(PrepareLineTest, OneBarEachSideAndEmptyBecomesMarker) {
    const std::pair<const char*, const char*> cases[] = {
        {"|a|b|", "a|b"}, {"||a||", "|a|"}, {"|", "~"}, {"||", "~"}, {"", "~"}, {"|||", "|"}};
    for (const auto& [line, prepared] : cases) {
        EXPECT_EQ(PrepareLine(line), prepared) << line;
        EXPECT_EQ(PreparedLine(line), prepared) << line;
    }
}

TEST(SplitFieldsTest, EveryBarSeparates) {
    const std::pair<const char*, Views> cases[] = {{"a|b", {"a", "b"}},
                                                   {"|a|", {"", "a", ""}},
                                                   {"~", {"~"}},
                                                   {"", {""}},
                                                   {"||", {"", "", ""}}};
    Views views{"left over"};
    for (const auto& [line, fields] : cases) {
        EXPECT_EQ(SplitFields(line), Lines(fields.begin(), fields.end())) << line;
        SplitFieldViews(line, views);
        EXPECT_EQ(views, fields) << line;
    }
}

TEST(ClassifyTest, CodesInAnyCaseAndTextOtherwise) {
    EXPECT_EQ(Classify("fs=big"), FieldCode::FontStart);
    EXPECT_EQ(Classify("FS=big"), FieldCode::FontStart);
    EXPECT_EQ(Classify("Ic=star"), FieldCode::Icon);
    EXPECT_EQ(Classify("iM=a,1,2,0"), FieldCode::Image);
    EXPECT_EQ(Classify("FED"), FieldCode::FontEnd);
    EXPECT_EQ(Classify("fedora"), FieldCode::FontEnd);
    EXPECT_EQ(Classify("bg=paper"), FieldCode::BgStart);
    EXPECT_EQ(Classify("BGE"), FieldCode::BgEnd);
    EXPECT_EQ(Classify("fs"), FieldCode::Text);
    EXPECT_EQ(Classify("fs:x"), FieldCode::Text);
    EXPECT_EQ(Classify(" fs=x"), FieldCode::Text);
    EXPECT_EQ(Classify(""), FieldCode::Text);
}

TEST(CodeValueTest, BetweenFirstAndSecondEquals) {
    EXPECT_EQ(CodeValue("fs=big"), "big");
    EXPECT_EQ(CodeValue("fs=a=b=c"), "a");
    EXPECT_EQ(CodeValue("bg="), "");
    EXPECT_EQ(CodeValue("fed"), "");
}

TEST(ShortFieldTest, ShownWhenLastOrNeitherEmptyNorMarker) {
    const Lines fields{"", "~", "ab", "~"};
    EXPECT_FALSE(IsShownShortField(fields, 0));
    EXPECT_FALSE(IsShownShortField(fields, 1));
    EXPECT_TRUE(IsShownShortField(fields, 2));
    EXPECT_TRUE(IsShownShortField(fields, 3));   // last on the line
    EXPECT_FALSE(IsShownShortField(fields, 4));  // out of range
    EXPECT_TRUE(IsShownShortField(Lines{"a~b"}, 0));
    EXPECT_TRUE(IsShownShortField(Lines{"x", ""}, 1));
    // Views read the same.
    const Views views(fields.begin(), fields.end());
    for (std::size_t j = 0; j <= fields.size(); ++j)
        EXPECT_EQ(IsShownShortField(views, j), IsShownShortField(fields, j)) << j;
    EXPECT_EQ(ShortRunText("~"), "");
    EXPECT_EQ(ShortRunText("a~"), "a");
}

TEST(FindMacroTest, CaseInsensitiveFirstMatchAndFallbackToOne) {
    MacroTable table(5);
    EXPECT_EQ(FindMacro(table, "x"), 1);  // no column 1 either: the caller checks
    table.AddColumn();
    table.At(0, 1) = "Normal";
    table.AddColumn();
    table.At(0, 2) = "BIG";
    table.AddColumn();
    table.At(0, 3) = "big";
    table.AddColumn();  // a column without a name
    EXPECT_EQ(FindMacro(table, "big"), 2);
    EXPECT_EQ(FindMacro(table, "normal"), 1);
    EXPECT_EQ(FindMacro(table, "missing"), 1);
    EXPECT_EQ(FindMacro(table, ""), 4);
}

TEST(ImageCodeTest, FourValuesMissingOnesEmpty) {
    const ImageCode full = ParseImageCode("a.png,50,25,1");
    EXPECT_EQ(full.source, "a.png");
    EXPECT_EQ(full.width, "50");
    EXPECT_EQ(full.height, "25");
    EXPECT_EQ(full.stretch, "1");
    const ImageCode partial = ParseImageCode("b.png,,");
    EXPECT_EQ(partial.source, "b.png");
    EXPECT_EQ(partial.width, "");
    EXPECT_EQ(partial.height, "");
    EXPECT_EQ(partial.stretch, "");
    const ImageCode extra = ParseImageCode("c,1,2,3,4");
    EXPECT_EQ(extra.stretch, "3");
}

}  // namespace
}  // namespace kavro::document
