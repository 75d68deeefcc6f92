// How lines of scripts other than Latin are split for shaping: script, direction and marks
// come from the Unicode data of the libraries, for every script.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "common/ToolkitTestSupport.h"

namespace kavro::toolkit {
namespace {

using testing::MakeFonts;

std::string Piece(const std::string& line, const FontEngine::Segment& s) {
    return line.substr(s.begin, s.length);
}

struct Expected {
    std::string text;
    std::string script;
    bool right_to_left;
};

void ExpectSegments(const FontEngine& fonts, const std::string& line,
                    const std::vector<Expected>& expected) {
    SCOPED_TRACE(line);
    const auto segments = fonts.Segments(line, 14);
    ASSERT_EQ(segments.size(), expected.size());
    for (std::size_t i = 0; i < segments.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Piece(line, segments[i]), expected[i].text);
        EXPECT_STREQ(segments[i].script, expected[i].script.c_str());
        EXPECT_EQ(segments[i].right_to_left, expected[i].right_to_left);
    }
    // The pieces lie side by side and make up the measured width.
    const int sum =
        std::accumulate(segments.begin(), segments.end(), 0,
                        [](int w, const FontEngine::Segment& s) { return w + s.width; });
    EXPECT_EQ(fonts.WidthPixels(line, 14), sum);
    for (std::size_t i = 1; i < segments.size(); ++i)
        EXPECT_EQ(segments[i].x, segments[i - 1].x + segments[i - 1].width);
}

TEST(UnicodeSegmentsTest, RightToLeftScriptsBeyondHebrewAndArabic) {
    auto fonts = MakeFonts();
    // N'Ko and Samaritan read right to left like Hebrew; the spaces at the edges do not. A
    // piece takes the script of its first letter; digits and spaces have none.
    ExpectSegments(*fonts, "ab \u07D2\u07DE\u07CF \u07D2 cd",
                   {{"ab ", "Latn", false},
                    {"\u07D2\u07DE\u07CF \u07D2", "Nkoo", true},
                    {" cd", "Latn", false}});
    ExpectSegments(*fonts, "x \u0800\u0801\u0802",
                   {{"x ", "Latn", false}, {"\u0800\u0801\u0802", "Samr", true}});
}

TEST(UnicodeSegmentsTest, PunctuationTakesItsDirectionFromItsClass) {
    auto fonts = MakeFonts();
    // The Arabic question mark is a right-to-left character of its own: it ends the Arabic
    // phrase even before left-to-right text.
    ExpectSegments(*fonts, "\u0643\u064A\u0641\u061F 12",
                   {{"\u0643\u064A\u0641\u061F", "Arab", true}, {" 12", "Zzzz", false}});
    // The exclamation mark is neutral: between Hebrew words it reads right to left, after the
    // last one, with left-to-right text to come, left to right.
    ExpectSegments(*fonts, "\u05D0!\u05D1! ok",
                   {{"\u05D0!\u05D1", "Hebr", true}, {"! ok", "Latn", false}});
}

TEST(UnicodeSegmentsTest, EveryScriptIsShapedWithItsOwnName) {
    auto fonts = MakeFonts();
    // Greek, Cyrillic and Armenian in the main face: one piece per script, so each is shaped
    // with its own rules; the spaces join the piece before them.
    ExpectSegments(*fonts, "\u03B1\u03B2 \u0436\u0437 \u0561\u0562",
                   {{"\u03B1\u03B2 ", "Grek", false},
                    {"\u0436\u0437 ", "Cyrl", false},
                    {"\u0561\u0562", "Armn", false}});
}

TEST(UnicodeSegmentsTest, MarksOfAnyScriptStayWithTheirBase) {
    auto fonts = MakeFonts();
    // Bengali vowel sign and virama, Tibetan vowel, Georgian letter with a combining macron,
    // an enclosing keycap: none starts a piece of its own.
    ExpectSegments(*fonts, "\u0995\u09CD\u09B7\u09BF",
                   {{"\u0995\u09CD\u09B7\u09BF", "Beng", false}});
    ExpectSegments(*fonts, "\u0F40\u0F72", {{"\u0F40\u0F72", "Tibt", false}});
    ExpectSegments(*fonts, "\u10D0\u0304", {{"\u10D0\u0304", "Geor", false}});
    ExpectSegments(*fonts, "\u05D0\u05B8", {{"\u05D0\u05B8", "Hebr", true}});
    // A joiner between two letters is shaped with them.
    ExpectSegments(*fonts, "\u0915\u094D\u200D\u0937",
                   {{"\u0915\u094D\u200D\u0937", "Deva", false}});
}

TEST(UnicodeSegmentsTest, FallbackTextKeepsItsSpacesAndPunctuationButNotSymbols) {
    auto fonts = MakeFonts();
    const auto kana = fonts->Segments("\u3042", 20);
    ASSERT_EQ(kana.size(), 1u);
    ASSERT_NE(kana[0].font, fonts->TtfFont(20))
        << "no installed font has kana: scripts/setup installs fonts-vlgothic";
    // The space and the ideographic comma join the kanji; the arrow, which the main face
    // has, is drawn with it, as everywhere else.
    const std::string line = "\u62F3 \u3001\u2192";
    const auto segments = fonts->Segments(line, 20);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(Piece(line, segments[0]), "\u62F3 \u3001");
    EXPECT_EQ(segments[0].font, kana[0].font);
    EXPECT_EQ(Piece(line, segments[1]), "\u2192");
    EXPECT_EQ(segments[1].font, fonts->TtfFont(20));
}

}  // namespace
}  // namespace kavro::toolkit
