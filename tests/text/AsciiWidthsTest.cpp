#include <gtest/gtest.h>

#include <SDL_ttf.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/TestData.h"
#include "common/ToolkitTestSupport.h"
#include "text/AsciiWidths.h"
#include "text/FontEngine.h"

namespace kavro::toolkit {
namespace {

struct FontCloser {
    void operator()(TTF_Font* f) const { TTF_CloseFont(f); }
};
using FontPtr = std::unique_ptr<TTF_Font, FontCloser>;

class AsciiWidthsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(TTF_Init(), 0) << TTF_GetError(); }
    void TearDown() override { TTF_Quit(); }

    // A face of the fonts scripts/setup installs, by family name.
    static std::string FaceFile(const std::string& family) {
        std::string error;
        auto engine = FontEngine::Create(family, &error);
        EXPECT_NE(engine, nullptr) << error;
        if (!engine) return {};
        EXPECT_EQ(engine->FamilyName(), family) << "install fonts-dejavu-core (scripts/setup)";
        return engine->FontFile();
    }

    static std::vector<unsigned char> Bytes(const std::string& file) {
        const std::string bytes = kavro::testing::ReadFile(file);
        return {bytes.begin(), bytes.end()};
    }

    static FontPtr Open(const std::string& file, int points) {
        return FontPtr(TTF_OpenFontDPI(file.c_str(), points, 96, 96));
    }

    static int SdlWidth(TTF_Font* font, const std::string& line) {
        int w = 0, h = 0;
        EXPECT_EQ(TTF_SizeUTF8(font, line.c_str(), &w, &h), 0);
        return w;
    }

    // Lines of printable ASCII of every kind: blanks at either end, runs of one character,
    // pairs that kern or join in other faces, and random text.
    static std::vector<std::string> Lines(int random_count) {
        std::vector<std::string> lines = {" ",         "  ",       "x",    " a ",     "AV",
                                          "fi ffi fl", "To Wa Yo", "--->", "=>=<!=",  "j,y,g!",
                                          "iiiii",     "WWWWW",    "_^_",  "'\"`~|}", "0O0O"};
        std::mt19937 random(17);
        std::uniform_int_distribution<int> length(1, 40), character(0x20, 0x7E);
        for (int i = 0; i < random_count; ++i) {
            std::string line;
            for (int n = length(random); n > 0; --n)
                line.push_back(static_cast<char>(character(random)));
            lines.push_back(line);
        }
        return lines;
    }
};

// The sum is SDL_ttf's own width, at every size the viewer can ask for: the layout's positions
// must not move.
TEST_F(AsciiWidthsTest, MonospaceFaceSumsToSdlTtfWidthsAtEverySize) {
    const std::string file = FaceFile("DejaVu Sans Mono");
    ASSERT_FALSE(file.empty());
    ASSERT_TRUE(AsciiWidths::FaceAllows(Bytes(file), 0));
    const std::vector<std::string> lines = Lines(60);
    FontPtr font = Open(file, 1);
    ASSERT_NE(font, nullptr);
    for (int points = 1; points <= 500; ++points) {
        ASSERT_EQ(TTF_SetFontSizeDPI(font.get(), points, 96, 96), 0) << points;
        AsciiWidths widths(true);
        for (const std::string& line : lines) {
            const std::optional<int> sum = widths.Width(font.get(), line);
            ASSERT_TRUE(sum.has_value()) << "\"" << line << "\" at " << points;
            ASSERT_EQ(*sum, SdlWidth(font.get(), line)) << "\"" << line << "\" at " << points;
        }
        EXPECT_TRUE(widths.Usable()) << points;
    }
}

// A face whose ligatures and kerning act on ASCII (DejaVu Serif joins "fi" and kerns "AV") is
// refused, and a table made for it never answers; so is a face with a kerning table, and
// anything that is no face.
TEST_F(AsciiWidthsTest, FaceThatShapesAsciiIsRefused) {
    const std::string file = FaceFile("DejaVu Serif");
    ASSERT_FALSE(file.empty());
    EXPECT_FALSE(AsciiWidths::FaceAllows(Bytes(file), 0));
    EXPECT_FALSE(AsciiWidths::FaceAllows(Bytes(FaceFile("DejaVu Sans")), 0));
    // Bytes that are no font, and a face index that cannot be.
    EXPECT_FALSE(AsciiWidths::FaceAllows({}, 0));
    EXPECT_FALSE(AsciiWidths::FaceAllows(std::vector<unsigned char>(4096, 0x5A), 0));
    EXPECT_FALSE(AsciiWidths::FaceAllows(Bytes(FaceFile("DejaVu Sans Mono")), -1));
    FontPtr font = Open(file, 40);
    ASSERT_NE(font, nullptr);
    AsciiWidths refused(false);
    EXPECT_FALSE(refused.Width(font.get(), "AV").has_value());
    // Forced on, the same table adds kerned pairs up wrong (each character alone and doubled
    // still adds up): the face check is what keeps widths right.
    AsciiWidths forced(true);
    int wrong = 0;
    for (const std::string line : {"AV", "To", "Wa", "Yo"}) {
        const std::optional<int> sum = forced.Width(font.get(), line);
        ASSERT_TRUE(sum.has_value()) << line;
        if (*sum != SdlWidth(font.get(), line)) ++wrong;
    }
    EXPECT_GT(wrong, 0);
    // A doubled character that joins ("ff") turns the table off by itself.
    EXPECT_FALSE(forced.Width(font.get(), "off").has_value());
    EXPECT_FALSE(forced.Usable());
}

// Every printable ASCII character needs a glyph, up to "~", the last: a face that lacks it
// would measure it with another face. The two faces are the same subset of DejaVu Sans Mono
// but for "~".
TEST_F(AsciiWidthsTest, FaceLackingTheLastAsciiCharacterIsRefused) {
    EXPECT_TRUE(AsciiWidths::FaceAllows(
        Bytes(kavro::testing::TestData("faces/DejaVuSansMono-ascii.ttf").string()), 0));
    EXPECT_FALSE(AsciiWidths::FaceAllows(
        Bytes(kavro::testing::TestData("faces/DejaVuSansMono-ascii-without-tilde.ttf").string()),
        0));
}

// Only printable ASCII is added up; everything else is the font's to measure.
TEST_F(AsciiWidthsTest, OtherCharactersAreLeftToTheFont) {
    const std::string file = FaceFile("DejaVu Sans Mono");
    FontPtr font = Open(file, 24);
    ASSERT_NE(font, nullptr);
    AsciiWidths widths(true);
    for (const std::string& line :
         std::vector<std::string>{"caf\xC3\xA9", "a\tb", "\x1F", "\x7F", std::string("a\0b", 3)})
        EXPECT_FALSE(widths.Width(font.get(), line).has_value()) << line;
    // The boundaries of the range, and the table still answers afterwards.
    EXPECT_EQ(widths.Width(font.get(), " ~"), SdlWidth(font.get(), " ~"));
    EXPECT_TRUE(widths.Usable());
    EXPECT_FALSE(widths.Width(nullptr, "a").has_value());
}

// Without hinting advances fall between pixels; the doubled character shows it and the table
// turns itself off rather than answer wrong.
TEST_F(AsciiWidthsTest, FractionalAdvancesTurnTheTableOff) {
    const std::string file = FaceFile("DejaVu Sans Mono");
    FontPtr font = Open(file, 13);
    ASSERT_NE(font, nullptr);
    TTF_SetFontHinting(font.get(), TTF_HINTING_NONE);
    AsciiWidths widths(true);
    for (const std::string& line : Lines(40)) {
        if (const std::optional<int> sum = widths.Width(font.get(), line)) {
            EXPECT_EQ(*sum, SdlWidth(font.get(), line)) << line;
        }
    }
    EXPECT_FALSE(widths.Usable());
    EXPECT_FALSE(widths.Width(font.get(), "0").has_value());
}

// What the layout gets from the engine, through its caches and the table, is SDL_ttf's width.
TEST_F(AsciiWidthsTest, EngineMeasuresWhatSdlTtfMeasures) {
    auto engine = testing::MakeFonts();
    ASSERT_NE(engine, nullptr);
    const std::vector<std::string> lines = Lines(200);
    for (const int points : {1, 7, 12, 31, 48, 67, 120, 499, 500}) {
        auto* font = static_cast<TTF_Font*>(engine->TtfFont(static_cast<float>(points)));
        ASSERT_NE(font, nullptr);
        for (const std::string& line : lines)
            ASSERT_EQ(engine->WidthPixels(line, static_cast<float>(points)), SdlWidth(font, line))
                << "\"" << line << "\" at " << points;
    }
}

}  // namespace
}  // namespace kavro::toolkit
