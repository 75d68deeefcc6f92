#include "document/Conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace kavro::document {
namespace {

TEST(ValTest, SkipsBlanksTabsAndLineFeedsAnywhere) {
    EXPECT_EQ(Val("6 0"), 60.0);
    EXPECT_EQ(Val(" \t\n 60 \n"), 60.0);
    EXPECT_EQ(Val("1 2.5x"), 12.5);
    EXPECT_EQ(Val("- 5"), -5.0);
}

TEST(ValTest, StopsAtFirstCharacterThatCannotContinue) {
    EXPECT_EQ(Val("abc60"), 0.0);
    EXPECT_EQ(Val("60abc"), 60.0);
    EXPECT_EQ(Val(""), 0.0);
    EXPECT_EQ(Val("1e3"), 1000.0);
    EXPECT_EQ(Val("1e"), 1.0);
    EXPECT_EQ(Val(".5"), 0.5);
    // A carriage return is not one of the skipped characters.
    EXPECT_EQ(Val("\r60"), 0.0);
}

TEST(ValTest, RadixPrefixes) {
    EXPECT_EQ(Val("&H10"), 16.0);
    EXPECT_EQ(Val("&HFFFF"), -1.0);
    EXPECT_EQ(Val("&O17"), 15.0);
    EXPECT_EQ(Val("&Hzz"), 0.0);
}

TEST(ValTest, HugeExponentGivesZeroNotInfinity) {
    EXPECT_EQ(Val("1e999"), 0.0);
}

// Whole numbers of up to 15 digits are read without strtod; every length and sign must read as
// strtod reads it, on both sides of that limit.
TEST(ToDoubleTest, WholeNumbersReadAsStrtodReadsThem) {
    for (const char* text : {"0", "-0", "+7", "-7", "007", "255", "99999999999999",
                             "999999999999999", "-999999999999999", "1000000000000000",
                             "9007199254740993", "123456789012345678901234567890"}) {
        const auto value = ToDouble(text);
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(*value, std::strtod(text, nullptr)) << text;
        EXPECT_EQ(std::signbit(*value), std::signbit(std::strtod(text, nullptr))) << text;
    }
    EXPECT_FALSE(ToDouble("-"));
    EXPECT_FALSE(ToDouble("+"));
    EXPECT_FALSE(ToDouble("12a"));
    EXPECT_EQ(ToDouble("2d3"), 2000.0);
}

TEST(RoundHalfEvenTest, HalvesGoToEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(-0.6), -1.0);
}

TEST(ToIntegerTest, BankersRoundingAndRange) {
    EXPECT_EQ(ToInteger("2.5"), 2);
    EXPECT_EQ(ToInteger("3.5"), 4);
    EXPECT_EQ(ToInteger(" 12 "), 12);
    EXPECT_EQ(ToInteger("32767"), 32767);
    EXPECT_EQ(ToInteger("-32768"), -32768);
    EXPECT_FALSE(ToInteger("32767.5"));  // rounds to 32768
    EXPECT_FALSE(ToInteger("-32769"));
    EXPECT_FALSE(ToInteger("99999"));
    EXPECT_FALSE(ToInteger(""));
    EXPECT_FALSE(ToInteger("12a"));
    EXPECT_FALSE(ToInteger("6 0"));
}

TEST(ToDoubleTest, WholeTextMustBeANumber) {
    EXPECT_EQ(ToDouble(" 1.5 "), 1.5);
    EXPECT_EQ(ToDouble("&H1F"), 31.0);
    EXPECT_FALSE(ToDouble("-"));
    EXPECT_FALSE(ToDouble("1.5.2"));
    EXPECT_FALSE(ToDouble("1e999"));
}

TEST(ToBooleanTest, WordsAndNumbers) {
    EXPECT_EQ(ToBoolean("True"), true);
    EXPECT_EQ(ToBoolean("false"), false);
    EXPECT_EQ(ToBoolean("TRUE"), true);
    EXPECT_EQ(ToBoolean("1"), true);
    EXPECT_EQ(ToBoolean("-1"), true);
    EXPECT_EQ(ToBoolean("0"), false);
    EXPECT_FALSE(ToBoolean("x"));
    EXPECT_FALSE(ToBoolean(""));
}

TEST(FieldTest, NothingReadsAsZeroOrEmpty) {
    const Field nothing;
    EXPECT_EQ(FieldNumber(nothing), 0.0);
    EXPECT_EQ(FieldInteger(nothing), 0);
    EXPECT_EQ(FieldText(nothing), "");
    EXPECT_EQ(FieldNumber(Field("40")), 40.0);
    EXPECT_FALSE(FieldNumber(Field("forty")));
}

TEST(TextHelpersTest, TrimTouchesSpacesOnlyAndLowerTouchesAscii) {
    EXPECT_EQ(Trim("  a b \n "), "a b \n");
    EXPECT_EQ(Trim("\tx\t"), "\tx\t");
    EXPECT_EQ(ToLower("AbC-\xC3\x89"), "abc-\xC3\x89");
}

}  // namespace
}  // namespace kavro::document
