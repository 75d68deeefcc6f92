#include <gtest/gtest.h>

#include <SDL_ttf.h>

#include <string>
#include <vector>

#include "backend/Screen.h"
#include "common/ToolkitTestSupport.h"
#include "forms/ControlArray.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"

namespace kavro::toolkit {
namespace {

using testing::Bitmap;
using testing::MakeFonts;
using testing::ReadPng;
using testing::TempFolder;

constexpr const char* kNobodyHasIt = "\xF4\x8F\xBF\xBD";  // U+10FFFD, private use

int SizeIn(void* font, const std::string& text) {
    int w = 0, h = 0;
    TTF_SizeUTF8(static_cast<TTF_Font*>(font), text.c_str(), &w, &h);
    return w;
}

// The fallback face drawing "あ" at this size, or nullptr when no installed font has kana.
void* KanaFont(const FontEngine& fonts, float points) {
    const auto segments = fonts.Segments("あ", points);
    if (segments.size() != 1 || segments[0].font == fonts.TtfFont(points)) return nullptr;
    return segments[0].font;
}

TEST(FontFallbackTest, MixedRunsMeasureAsTheSumOfTheirSegments) {
    auto fonts = MakeFonts();
    void* kana = KanaFont(*fonts, 20);
    if (!kana) GTEST_SKIP() << "no Japanese font installed (scripts/setup installs one)";
    const std::string text = "Jab 波動拳 Kick";
    const auto segments = fonts->Segments(text, 20);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(segments[1].font, kana);
    // The space after the kanji stays in their face.
    EXPECT_EQ(text.substr(segments[1].begin, segments[1].length), "波動拳 ");
    const int expected =
        fonts->WidthPixels("Jab ", 20) + SizeIn(kana, "波動拳 ") + fonts->WidthPixels("Kick", 20);
    EXPECT_EQ(fonts->WidthPixels(text, 20), expected);
    EXPECT_FLOAT_EQ(fonts->TextWidth(text, 20), expected * 15.0f);
    EXPECT_EQ(segments[2].x, segments[1].x + segments[1].width);

    // The line is as high as the taller face and every face's ascent fits above the baseline.
    const FontEngine::LineMetrics m = fonts->Metrics(text, 20);
    for (const auto& s : segments) {
        auto* f = static_cast<TTF_Font*>(s.font);
        EXPECT_GE(m.height, TTF_FontHeight(f));
        EXPECT_GE(m.ascent, TTF_FontAscent(f));
        EXPECT_GE(m.height - m.ascent, -TTF_FontDescent(f));
    }
    EXPECT_EQ(fonts->HeightPixels(text + "\nA", 20), 2 * m.height);

    // An auto-sized label reads back the same size.
    Label label(fonts.get());
    ASSERT_TRUE(label.SetFontSize(20));
    label.SetAutoSize(true);
    label.SetCaption(text);
    EXPECT_FLOAT_EQ(label.Width, expected * 15.0f);
    EXPECT_FLOAT_EQ(label.Height, m.height * 15.0f);
}

TEST(FontFallbackTest, SegmentsKeepMarksAndReadRightToLeftText) {
    auto fonts = MakeFonts();
    // A plain run stays whole in the main face.
    auto plain = fonts->Segments("Hadouken!", 14);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].font, fonts->TtfFont(14));
    // A combining accent stays with its letter.
    EXPECT_EQ(fonts->Segments("Cafe\xCC\x81", 14).size(), 1u);
    // Hebrew between Latin words is one right-to-left segment, the spaces around it are not.
    const std::string text = "ab שלום עולם cd";
    auto mixed = fonts->Segments(text, 14);
    ASSERT_EQ(mixed.size(), 3u);
    EXPECT_FALSE(mixed[0].right_to_left);
    EXPECT_TRUE(mixed[1].right_to_left);
    EXPECT_EQ(text.substr(mixed[1].begin, mixed[1].length), "שלום עולם");
    EXPECT_STREQ(mixed[1].script, "Hebr");
    EXPECT_FALSE(mixed[2].right_to_left);
    // Shaping settings do not leak into the shared font.
    EXPECT_EQ(fonts->WidthPixels("ab", 14), SizeIn(fonts->TtfFont(14), "ab"));
}

TEST(FontFallbackTest, CharactersNoFontHasStillLayOut) {
    auto fonts = MakeFonts();
    const std::string text = std::string("A") + kNobodyHasIt + "B\xFF\xC3";
    EXPECT_GT(fonts->WidthPixels(text, 16), fonts->WidthPixels("AB", 16));
    EXPECT_EQ(fonts->HeightPixels(text, 16), fonts->HeightPixels("AB", 16));
    for (const auto& s : fonts->Segments(text, 16))
        EXPECT_EQ(s.font, fonts->TtfFont(16));
}

// A form with one label on a black box, rendered headless.
Bitmap RenderLabel(const std::string& caption, float points, float* label_width) {
    TempFolder dir;
    Form form(MakeFonts());
    form.Width = 120 * 15;
    form.Height = 60 * 15;
    ControlArray<PictureBox> boxes("picSection", PictureBox{});
    ControlArray<Label> labels("lblText", Label(&form.Fonts()));
    form.AddToScene(&boxes);
    form.AddToScene(&labels);
    boxes[0].Width = form.Width;
    boxes[0].Height = form.Height;
    Label& label = labels[0];
    label.Container = &boxes[0];
    label.ForeColor = 0xFFFFFF;
    label.SetFontSize(points);
    label.SetAutoSize(true);
    label.SetCaption(caption);
    *label_width = label.Width / 15;
    std::string error;
    EXPECT_TRUE(RenderFormToPng(form, dir.File("out.png"), &error)) << error;
    return ReadPng(dir.File("out.png"));
}

TEST(FontFallbackTest, JapaneseIsDrawnWithRealGlyphsInsideTheMeasuredWidth) {
    auto fonts = MakeFonts();
    if (!KanaFont(*fonts, 24)) GTEST_SKIP() << "no Japanese font installed";
    float box_w = 0, kana_w = 0, mixed_w = 0;
    const Bitmap box = RenderLabel(kNobodyHasIt, 24, &box_w);
    const Bitmap kana = RenderLabel("あ", 24, &kana_w);
    ASSERT_EQ(box.px.size(), kana.px.size());
    EXPECT_NE(box.px, kana.px);  // not the missing-glyph box
    const Bitmap mixed = RenderLabel("Mあ", 24, &mixed_w);
    const int split = fonts->WidthPixels("M", 24);
    int left = 0, right = 0;
    for (int y = 0; y < mixed.h; ++y)
        for (int x = 0; x < mixed.w; ++x)
            if (mixed.At(x, y) != 0) {
                ++(x < split ? left : right);
                EXPECT_LT(x, static_cast<int>(mixed_w));
            }
    EXPECT_GT(left, 10);
    EXPECT_GT(right, 10);
}

// A sign the main face has, between kana, is measured and drawn at the main face's advance,
// as in any other line, and no segment's glyphs reach into its neighbours'.
TEST(FontFallbackTest, SignsBetweenKanaKeepTheMainFaceAdvance) {
    auto fonts = MakeFonts();
    ASSERT_NE(KanaFont(*fonts, 24), nullptr) << "no Japanese font installed (scripts/setup)";
    const std::string text = "ゲージ½以上";
    const auto segments = fonts->Segments(text, 24);
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_EQ(text.substr(segments[1].begin, segments[1].length), "½");
    EXPECT_EQ(segments[1].font, fonts->TtfFont(24));
    EXPECT_EQ(segments[1].width, fonts->WidthPixels("½", 24));
    EXPECT_EQ(segments[1].width, fonts->WidthPixels("0", 24)) << "one cell of the main face";
    SDL_Color white{255, 255, 255, 255};
    for (const auto& s : segments) {
        const FontEngine::ShapingScope shaping(s);
        SDL_Surface* part = TTF_RenderUTF8_Blended(static_cast<TTF_Font*>(s.font),
                                                   text.substr(s.begin, s.length).c_str(), white);
        ASSERT_NE(part, nullptr);
        EXPECT_LE(part->w, s.width) << "drawn wider than measured";
        SDL_FreeSurface(part);
    }
    // Punctuation and spaces still join the kana's face.
    const auto phrase = fonts->Segments("ゲージ、 以上", 24);
    EXPECT_EQ(phrase.size(), 1u);
}

}  // namespace
}  // namespace kavro::toolkit
