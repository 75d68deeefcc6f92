#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ToolkitTestSupport.h"
#include "toolkit/FontEngine.h"

namespace kavro::toolkit {
namespace {

using testing::MakeFonts;
using List = FontEngine::MeasuredAhead;

// The measurer's own fonts give what the engine gives, text by text and size by size.
TEST(AheadMeasurerTest, GivesWhatTheEngineGives) {
    auto fonts = MakeFonts();
    ASSERT_NE(fonts, nullptr);
    auto measurer = fonts->MakeAheadMeasurer();
    const std::vector<std::string> texts = {
        "punch kick 12", "", "W", "two\nlines here", "tab\there", "~~~", std::string(300, 'm')};
    List list(texts.size() * 3);
    for (float points : {9.0f, 31.4f, 67.0f})
        for (const std::string& text : texts)
            ASSERT_TRUE(measurer->Measure(text, points, list)) << text;
    ASSERT_EQ(list.Ready().size(), texts.size() * 3);
    auto engine = MakeFonts();  // a cold cache: nothing measured before
    for (const FontEngine::MeasuredText& m : list.Ready()) {
        const auto points = static_cast<float>(m.points);
        EXPECT_EQ(m.width, engine->WidthPixels(m.text, points)) << m.text << " " << m.points;
        EXPECT_EQ(m.height * m.lines, engine->HeightPixels(m.text, points)) << m.text;
        EXPECT_EQ(m.height, engine->Metrics(m.text, points).height) << m.text;
        EXPECT_EQ(m.ascent, engine->Metrics(m.text, points).ascent) << m.text;
    }
    // 31.4 points is measured at 31, as the engine measures it.
    EXPECT_EQ(list.Ready()[texts.size()].points, 31);
}

// Only ASCII texts of a length the engine keeps are measured ahead; the rest are the engine's.
TEST(AheadMeasurerTest, TakesAsciiUpToTheCachedLength) {
    EXPECT_TRUE(FontEngine::AheadMeasurer::Takes(std::string(4096, 'a')));
    EXPECT_FALSE(FontEngine::AheadMeasurer::Takes(std::string(4097, 'a')));
    EXPECT_TRUE(FontEngine::AheadMeasurer::Takes("\x7f"));
    EXPECT_FALSE(FontEngine::AheadMeasurer::Takes("caf\xc3\xa9"));
    EXPECT_FALSE(FontEngine::AheadMeasurer::Takes("\xe3\x82\xb2"));
    auto fonts = MakeFonts();
    auto measurer = fonts->MakeAheadMeasurer();
    List list(4);
    EXPECT_FALSE(measurer->Measure("caf\xc3\xa9", 12, list));
    EXPECT_FALSE(measurer->Measure(std::string(4097, 'a'), 12, list));
    EXPECT_TRUE(list.Ready().empty());
}

TEST(MeasuredAheadTest, KeepsNoMoreThanItsCapacity) {
    List list(2);
    EXPECT_TRUE(list.Append({"a", 12}));
    EXPECT_TRUE(list.Append({"b", 12}));
    EXPECT_FALSE(list.Append({"c", 12}));
    ASSERT_EQ(list.Ready().size(), 2u);
    EXPECT_EQ(list.Ready()[1].text, "b");
    List none(0);
    EXPECT_FALSE(none.Append({"a", 12}));
    EXPECT_EQ(none.Next(), nullptr);
    none.Publish();
    EXPECT_TRUE(none.Ready().empty());
}

// A slot is readable only once published; a cleared list starts again from its first slot.
TEST(MeasuredAheadTest, SlotsArePublishedOneByOneAndReusedAfterClear) {
    List list(2);
    FontEngine::MeasuredText* slot = list.Next();
    ASSERT_NE(slot, nullptr);
    slot->text = "first";
    EXPECT_TRUE(list.Ready().empty());
    list.Publish();
    ASSERT_EQ(list.Ready().size(), 1u);
    EXPECT_EQ(list.Next(), slot + 1);
    list.Append({"second", 12});
    EXPECT_EQ(list.Next(), nullptr);
    list.Publish();  // nothing more to publish when full
    EXPECT_EQ(list.Ready().size(), 2u);
    list.Clear();
    EXPECT_TRUE(list.Ready().empty());
    EXPECT_EQ(list.Next(), slot);
    EXPECT_EQ(list.Capacity(), 2u);
}

// A reader polling while a writer appends sees whole items, in order, and in the end all.
TEST(MeasuredAheadTest, ReaderSeesWholeItemsWhileTheWriterAppends) {
    constexpr int kCount = 20000;
    List list(kCount);
    std::thread writer([&list] {
        for (int i = 0; i < kCount; ++i)
            list.Append({"text number " + std::to_string(i), i % 500 + 1, i});
    });
    std::size_t seen = 0;
    bool whole = true;
    while (seen < kCount) {
        const auto ready = list.Ready();
        for (std::size_t i = seen; i < ready.size(); ++i)
            whole = whole && ready[i].text == "text number " + std::to_string(i) &&
                    ready[i].width == static_cast<int>(i);
        seen = ready.size();
    }
    writer.join();
    EXPECT_TRUE(whole);
    EXPECT_EQ(list.Ready().size(), static_cast<std::size_t>(kCount));
}

// The engine takes what is ready instead of measuring: the next text asked for first, then
// up to 32 after it; a text further on, or at another size, is measured.
TEST(MeasuredAheadTest, EngineTakesReadyMeasurementsWithinItsLookAhead) {
    auto fonts = MakeFonts();
    List list(40);
    for (int i = 0; i < 40; ++i)
        list.Append({"t" + std::to_string(i), 20, 1000 + i, 1, 7, 5});
    fonts->UseMeasuredAhead(&list);
    EXPECT_EQ(fonts->WidthPixels("t0", 20), 1000);   // the next one
    EXPECT_EQ(fonts->WidthPixels("t32", 20), 1032);  // the last of the 32 from t1
    EXPECT_NE(fonts->WidthPixels("t1", 20), 1001);   // passed: measured
    EXPECT_EQ(fonts->WidthPixels("t34", 20), 1034);
    EXPECT_NE(fonts->WidthPixels("t39", 21), 1039);  // another size
    fonts->UseMeasuredAhead(nullptr);
    // No list: measured, so two texts of one length are equally wide.
    EXPECT_EQ(fonts->WidthPixels("t35", 20), fonts->WidthPixels("t36", 20));
    List window(40);
    for (int i = 0; i < 40; ++i)
        window.Append({"w" + std::to_string(i), 20, 2000 + i});
    fonts->UseMeasuredAhead(&window);
    EXPECT_NE(fonts->WidthPixels("w32", 20), 2032);  // one past the look-ahead from w0
    EXPECT_EQ(fonts->WidthPixels("w31", 20), 2031);  // the last within it
    fonts->UseMeasuredAhead(nullptr);
}

}  // namespace
}  // namespace kavro::toolkit
