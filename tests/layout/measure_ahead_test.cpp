#include <gtest/gtest.h>

#include <string>

#include "common/OneProcessor.h"
#include "common/ViewerFixture.h"
#include "toolkit/FontEngine.h"

namespace kavro::testing {
namespace {

// Runs are measured ahead where the face's ASCII widths cannot be added up: DejaVu Serif
// joins and kerns letters.
class MeasureAheadTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        UseFontFamily("DejaVu Serif");
    }
    app::Viewer& Load(const std::string& body) {
        app::Viewer& v = ViewerTest::Load(body, "mk command", 1920, 1080);
        EXPECT_EQ(v.form.Fonts().FamilyName(), "DejaVu Serif");
        EXPECT_FALSE(v.form.Fonts().AddsUpAscii());
        return v;
    }
};

// A load measures most runs on a second thread. Whatever that thread measured or skipped,
// every label must be exactly as wide and high as its caption at its size, as an engine that
// has measured nothing before gives it.
void ExpectLabelsFitTheirCaptions(const app::Viewer& v) {
    std::string error;
    auto fresh = toolkit::FontEngine::Create(v.form.Fonts().FamilyName(), &error);
    ASSERT_NE(fresh, nullptr) << error;
    int checked = 0;
    for (int i = 0; i <= v.form.lblText.UBound(); ++i) {
        const toolkit::Label* label = v.form.lblText.At(i);
        if (!label || !label->Visible) continue;
        const toolkit::FontEngine::TextExtent size =
            fresh->TextSize(label->Caption(), label->FontSize());
        EXPECT_FLOAT_EQ(label->Width, size.width) << i << ": " << label->Caption();
        EXPECT_FLOAT_EQ(label->Height, size.height) << i << ": " << label->Caption();
        ++checked;
    }
    EXPECT_GT(checked, 1000);
}

// Sections of runs in three sizes, icons found and missing, short fields and "~", a long line of
// one repeated run, a run past the length the engine keeps, Japanese (measured with another face),
// and a section without runs.
std::string ManySections(const std::string& head) {
    std::string body = head;
    const std::string long_run(5000, 'x');
    for (int s = 0; s < 24; ++s) {
        body += "<section>\n";
        for (int line = 0; line < 60; ++line) {
            const std::string n = std::to_string(s * 100 + line);
            body += "run " + n + " <font name=\"big\">big " + n + "</font> <font name=\"small\">" +
                    "small " + n + "</font><icon name=\"lp\"></icon>then " + n +
                    "<icon name=\"nosuch\"></icon>after " + n + "|x|~|\n";
        }
        body += std::string(40, '=') + "\n";
        for (int k = 0; k < 40; ++k)
            body += "same\n";
        if (s % 5 == 0) body += long_run + "\n";
        if (s % 7 == 0) body += "\xe3\x82\xb2\xe3\x83\xbc\xe3\x82\xb8 " + std::to_string(s) + "\n";
        body += "</section>";
        if (s == 11) body += "<section>\n</section>";
    }
    return body;
}

TEST_F(MeasureAheadTest, EveryLabelFitsItsCaptionAsMeasuredAlone) {
    WritePicture("metadata/default/icons/lp.gif", 8, 8);
    auto& v = Load(ManySections(Head()));
    ASSERT_EQ(v.doc.SectionCount(), 25);
    ExpectLabelsFitTheirCaptions(v);
}

TEST_F(MeasureAheadTest, PlainTextAndReloadsFitToo) {
    WritePicture("metadata/default/icons/lp.gif", 8, 8);
    auto& v = Load(ManySections(Head()));
    Key(v.RemoveFormattingKey);  // plain text: every run at the base size, no icons
    ASSERT_TRUE(v.NoFormatting);
    ExpectLabelsFitTheirCaptions(v);
    Key(v.RemoveFormattingKey);
    Key(v.ZoomKey);
    ExpectLabelsFitTheirCaptions(v);
}

// Confined to one processor the load measures everything itself, with the same result.
TEST_F(MeasureAheadTest, OneProcessorMeasuresAlone) {
    WritePicture("metadata/default/icons/lp.gif", 8, 8);
    app::Viewer* loaded = nullptr;
    {
        const OneProcessor one;
        ASSERT_TRUE(one.Confined());
        loaded = &Load(ManySections(Head()));
    }
    ExpectLabelsFitTheirCaptions(*loaded);
}

}  // namespace
}  // namespace kavro::testing
