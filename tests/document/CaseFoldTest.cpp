#include "document/CaseFold.h"

#include <gtest/gtest.h>

#include "document/MarkupReader.h"

namespace kavro::document {
namespace {

TEST(FoldCaseTest, EveryScriptFoldsAndOtherBytesStay) {
    EXPECT_EQ(FoldCase("Normal BIG"), "normal big");
    EXPECT_EQ(FoldCase("Über"), FoldCase("üBER"));
    EXPECT_EQ(FoldCase("ΟΔΟΣ"), FoldCase("οδος")) << "final sigma meets capital sigma";
    EXPECT_EQ(FoldCase("ſ"), "s") << "long s";
    EXPECT_EQ(FoldCase("ДОМ"), "дом");
    EXPECT_EQ(FoldCase("日本"), "日本");
    EXPECT_EQ(FoldCase("\xC3"), "\xC3") << "a cut-off character stays as it is";
    EXPECT_EQ(FoldCase("A\xFF"
                       "B"),
              "a\xFF"
              "b");
    EXPECT_EQ(FoldCase(""), "");
}

TEST(CharacterCountTest, CodePointsNotBytes) {
    EXPECT_EQ(CharacterCount(""), 0u);
    EXPECT_EQ(CharacterCount("ab"), 2u);
    EXPECT_EQ(CharacterCount("é~"), 2u);
    EXPECT_EQ(CharacterCount("日本語"), 3u);
    EXPECT_EQ(CharacterCount("\xFF\xFF"), 2u) << "stray bytes count one each";
}

TEST(LongFieldTest, ThreeCharactersAtTheBoundary) {
    EXPECT_FALSE(IsLongField("ab"));
    EXPECT_TRUE(IsLongField("abc"));
    EXPECT_FALSE(IsLongField("é~"));   // three bytes, two characters
    EXPECT_FALSE(IsLongField("~日"));  // four bytes
    EXPECT_TRUE(IsLongField("é~x"));
    EXPECT_FALSE(IsLongField("日本"));  // six bytes
    EXPECT_TRUE(IsLongField("日本語"));
    EXPECT_EQ(ShortRunText("é~"), "é");
    EXPECT_TRUE(IsShownShortField(std::vector<std::string>{"日", "x"}, 0));
    EXPECT_FALSE(IsShownShortField(std::vector<std::string>{"", "x"}, 0));
}

TEST(FindMacroTest, NamesMatchIgnoringCaseInAnyScript) {
    MacroTable table(5);
    table.AddColumn();
    table.At(0, 1) = "normal";
    table.AddColumn();
    table.At(0, 2) = "Über";
    EXPECT_EQ(FindMacro(table, "über"), 2);
    EXPECT_EQ(FindMacro(table, "ÜBER"), 2);
    EXPECT_EQ(FindMacro(table, "uber"), 1);
}

}  // namespace
}  // namespace kavro::document
