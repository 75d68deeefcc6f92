#include <gtest/gtest.h>

#include <SDL_ttf.h>

#include <string>

#include "common/ToolkitTestSupport.h"
#include "text/FontEngine.h"

namespace kavro::toolkit {
namespace {

using testing::MakeFonts;

TEST(FontEngineTest, FindsAMonospaceFaceAndReadsItsFile) {
    auto fonts = MakeFonts();
    ASSERT_NE(fonts, nullptr);
    EXPECT_FALSE(fonts->FontFile().empty());
    EXPECT_FALSE(fonts->FamilyName().empty());
    EXPECT_NE(fonts->TtfFont(12), nullptr);
}

TEST(FontEngineTest, SizeBounds) {
    EXPECT_FALSE(FontEngine::IsValidSize(0));
    EXPECT_FALSE(FontEngine::IsValidSize(0.99f));
    EXPECT_TRUE(FontEngine::IsValidSize(1));
    EXPECT_TRUE(FontEngine::IsValidSize(500));
    EXPECT_FALSE(FontEngine::IsValidSize(500.5f));
    EXPECT_FALSE(FontEngine::IsValidSize(-12));
    EXPECT_FALSE(FontEngine::IsValidSize(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(FontEngine::IsValidSize(std::numeric_limits<float>::infinity()));
}

TEST(FontEngineTest, MonospaceWidthIsProportionalToLength) {
    auto fonts = MakeFonts();
    const int one = fonts->WidthPixels("0", 20);
    ASSERT_GT(one, 0);
    EXPECT_EQ(fonts->WidthPixels("0000000000", 20), 10 * one);
    EXPECT_EQ(fonts->WidthPixels("iiiii", 20), fonts->WidthPixels("MMMMM", 20));
    EXPECT_FLOAT_EQ(fonts->TextWidth("00", 20), 2.0f * one * 15.0f);
    EXPECT_EQ(fonts->WidthPixels("", 20), 0);
}

TEST(FontEngineTest, LinesAndControlCharacters) {
    auto fonts = MakeFonts();
    const int line = fonts->HeightPixels("A", 14);
    ASSERT_GT(line, 0);
    EXPECT_EQ(fonts->HeightPixels("", 14), line);
    EXPECT_EQ(fonts->HeightPixels("A\r\nB\r\nC", 14), 3 * line);
    // The widest line counts, and carriage returns take no room.
    EXPECT_EQ(fonts->WidthPixels("AB\r\nABCD\r\nA", 14), fonts->WidthPixels("ABCD", 14));
    EXPECT_EQ(fonts->WidthPixels("A\tB\x01", 14), fonts->WidthPixels("AB", 14));
    EXPECT_FLOAT_EQ(fonts->TextHeight("x", 14), line * 15.0f);
}

TEST(FontEngineTest, FractionalSizesUseTheNearestWholePoint) {
    auto fonts = MakeFonts();
    EXPECT_EQ(fonts->WidthPixels("0000", 11.6f), fonts->WidthPixels("0000", 12));
    EXPECT_EQ(fonts->HeightPixels("0", 12.4f), fonts->HeightPixels("0", 12));
    EXPECT_EQ(fonts->TtfFont(11.6f), fonts->TtfFont(12));
    EXPECT_LT(fonts->WidthPixels("0000000000", 8), fonts->WidthPixels("0000000000", 30));
}

TEST(FontEngineTest, MeasurementCacheStaysConsistent) {
    auto fonts = MakeFonts();
    const int first = fonts->WidthPixels("consistent", 17);
    // Push the entry out through many other sizes and strings, then ask again.
    for (int size = 1; size <= 120; ++size)
        for (int n = 0; n < 150; ++n)
            fonts->WidthPixels(std::to_string(n), static_cast<float>(size));
    EXPECT_EQ(fonts->WidthPixels("consistent", 17), first);
    // The open fonts are bounded, but a size reopened later measures the same.
    EXPECT_EQ(fonts->WidthPixels("consistent", 17), first);
    EXPECT_NE(fonts->TtfFont(17), nullptr);
}

TEST(FontEngineTest, LongTextIsMeasuredWithoutCaching) {
    auto fonts = MakeFonts();
    const std::string text(10000, '0');
    const int w = fonts->WidthPixels(text, 5);
    EXPECT_EQ(w, 10000 * fonts->WidthPixels("0", 5));
    EXPECT_EQ(fonts->WidthPixels(text, 5), w);
}

TEST(FontEngineTest, EnginesShareTtfSafely) {
    auto a = MakeFonts();
    {
        auto b = MakeFonts();
        EXPECT_EQ(a->WidthPixels("abc", 12), b->WidthPixels("abc", 12));
    }
    // Destroying one engine must not stop SDL_ttf for the other.
    EXPECT_GT(TTF_WasInit(), 0);
    EXPECT_GT(a->WidthPixels("abc", 40), 0);
}

TEST(FontEngineTest, UnknownFamilyFallsBackToMonospace) {
    std::string error;
    auto fonts = FontEngine::Create("No Such Family 12345", &error);
    ASSERT_NE(fonts, nullptr) << error;
    EXPECT_EQ(fonts->WidthPixels("ii", 12), fonts->WidthPixels("MM", 12));
}

TEST(FontEngineTest, TextSizeIsWidthAndHeightTogether) {
    auto fonts = MakeFonts();
    for (const std::string text : {"", "Jab", "two\nlines", "\xE6\xB3\xA2 x"}) {
        const FontEngine::TextExtent size = fonts->TextSize(text, 21);
        EXPECT_EQ(size.width, fonts->TextWidth(text, 21)) << text;
        EXPECT_EQ(size.height, fonts->TextHeight(text, 21)) << text;
    }
}

}  // namespace
}  // namespace kavro::toolkit
