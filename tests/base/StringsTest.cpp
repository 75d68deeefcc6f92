#include "base/Strings.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace kavro::base {
namespace {

using Pieces = std::vector<std::string_view>;

TEST(StringsTest, SplitKeepsEmptyPieces) {
    EXPECT_EQ(Split("", ';'), (Pieces{""}));
    EXPECT_EQ(Split("command", ';'), (Pieces{"command"}));
    EXPECT_EQ(Split("a;;b", ';'), (Pieces{"a", "", "b"}));
    EXPECT_EQ(Split(";a;", ';'), (Pieces{"", "a", ""}));
    EXPECT_EQ(Split("*.BMP;*.DIB;*.RLE", ';'), (Pieces{"*.BMP", "*.DIB", "*.RLE"}));
}

TEST(StringsTest, TrimTakesTheGivenBlanksFromBothEnds) {
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // only spaces unless told
    EXPECT_EQ(Trim(" \t key \r", " \t\r"), "key");
}

}  // namespace
}  // namespace kavro::base
