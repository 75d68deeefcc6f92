#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/Dump.h"
#include "app/Navigation.h"
#include "common/ViewerFixture.h"
#include "document/CaseFold.h"
#include "layout/FolderListings.h"

namespace kavro::testing {
namespace {

using Json = nlohmann::json;

constexpr int kCtrl = 17, kAlt = 18, kSpace = 32, kLeft = 37, kRight = 39;

// Whole loads of documents whose screens went wrong when the layout rules were followed to
// the letter, checked through the state dump and the headless renderer.
class SoundScreensTest : public ViewerTest {
  protected:
    static Json Dump(const app::Viewer& v) { return Json::parse(app::DumpState(v)); }

    // Background macros of every style; the two continuous ones show different pictures.
    static std::string StyleHead() {
        return Head(
            "<bgmacro name=\"fit\" style=\"1\" color=\"20,60,20\"/>"
            "<bgmacro name=\"bands\" style=\"2\" color=\"0,0,0\" src=\"stripes.png\"/>"
            "<bgmacro name=\"other\" style=\"2\" color=\"0,0,0\" src=\"waves.png\"/>"
            "<bgmacro name=\"wide\" style=\"3\" color=\"60,0,0\"/>");
    }
    static std::string Section(const std::string& bg, const std::string& text) {
        return "<section bg=\"" + bg + "\">\n" + text + "\n</section>";
    }
    void Pictures() {
        StripedPicture("metadata/default/images/stripes.png", 40, 10);
        StripedPicture("metadata/default/images/waves.png", 30, 7);
    }

    // Every style-2 surface is covered by its bands from its top edge to its bottom edge, and
    // one that continues the surface above shows the rest of that surface's last band.
    static void ExpectContinuousCover(const Json& dump, const std::string& when) {
        const Json& regions = dump["BackgroundRegions"];
        const Json& surfaces = dump["picSection"];
        for (std::size_t k = 0; k < surfaces.size(); ++k) {
            if (regions[k + 1][4] != "2") continue;
            const Json& bands = surfaces[k]["bands"];
            const double height = surfaces[k]["Height"];
            ASSERT_FALSE(bands.empty()) << when << ": surface " << k << " has no bands";
            double covered = bands[0]["y"];
            EXPECT_LE(covered, 0) << when << ": surface " << k << " starts below its top";
            for (const Json& band : bands) {
                EXPECT_LE(band["y"].get<double>(), covered + 0.01) << when << ": gap on " << k;
                covered = std::max(covered, band["y"].get<double>() + band["h"].get<double>());
            }
            EXPECT_GE(covered, height - 0.01) << when << ": surface " << k << " ends uncovered";
            EXPECT_GE(dump["TileCarry"].get<double>(), 0) << when;
            if (k == 0 || regions[k][4] != "2" || regions[k][3] != regions[k + 1][3]) continue;
            const Json& above = surfaces[k - 1];
            const Json& last = above["bands"].back();
            const double on_above = above["Height"].get<double>() - last["y"].get<double>();
            if (on_above < last["h"].get<double>()) {
                EXPECT_NEAR(bands[0]["y"].get<double>(), -on_above, 0.5)
                    << when << ": surface " << k << " does not continue the bands above";
            }
        }
    }

    // No row of a style-2 surface that lies on the screen area is left black: the pictures
    // have no black pixel, and column 2 of a surface holds no text.
    void ExpectNoUnpaintedRow(const app::Viewer& v, const std::string& when) {
        const Shot shot = Render(v);
        ASSERT_GT(shot.h, 0);
        const auto& area = v.form.fraScreenArea;
        const int area_top = static_cast<int>(area.Top / 15),
                  area_bottom = static_cast<int>((area.Top + area.Height) / 15);
        int checked = 0;
        for (int k = 0; k <= v.form.picSection.UBound(); ++k) {
            const auto& s = v.form.picSection[k];
            if (StyleOf(k + 1, v) != "2") continue;
            const int x = static_cast<int>(s.Left / 15) + 2;
            const int top = std::max(static_cast<int>(s.Top / 15) + 1, area_top);
            const int bottom =
                std::min(static_cast<int>((s.Top + s.Height) / 15) - 1, area_bottom - 1);
            for (int y = top; y < bottom && y < shot.h; ++y, ++checked)
                ASSERT_NE(shot.At(x, y), 0u) << when << ": row " << y << " of surface " << k;
        }
        EXPECT_GT(checked, 0) << when << ": no continuous surface on the screen";
    }
    static std::string StyleOf(int row, const app::Viewer& v) {
        const auto& style = v.BackgroundRegions[static_cast<std::size_t>(row)].Style;
        return style ? *style : std::string();
    }
};

// Fault 1: a carry counted before its reset, and kept across loads, left black strips.
TEST_F(SoundScreensTest, ContinuousBandsCoverEverySurfaceAfterAnyToggles) {
    Pictures();
    const std::string body = StyleHead() + Section("plain", "A") + Section("fit", "B") +
                             Section("fit", "C") + Section("bands", "D\nd\nd\nd") +
                             Section("bands", "E\ne") + Section("other", "F\nf\nf") +
                             Section("other", "G\ng\ng\ng\ng") + Section("wide", "H");
    struct Case {
        int w, h;
        std::vector<int> keys;
    };
    const std::vector<Case> cases = {{1920, 1080, {}},      {1080, 1920, {kCtrl, kCtrl}},
                                     {1920, 1080, {kAlt}},  {1024, 768, {kSpace, kSpace}},
                                     {1080, 1920, {kCtrl}}, {1024, 768, {kAlt, kCtrl, kAlt}}};
    for (const Case& c : cases) {
        auto& v = Load(body, "mk command", c.w, c.h);
        for (int key : c.keys)
            Key(key);
        const std::string when = std::to_string(c.w) + "x" + std::to_string(c.h) + " after " +
                                 std::to_string(c.keys.size()) + " keys";
        const Json dump = Dump(v);
        ExpectContinuousCover(dump, when);
        // The same view from a fresh start paints the same bands.
        app::cmdLoad_Click(v);
        EXPECT_TRUE(Dump(v)["picSection"] == dump["picSection"]) << when << ": reload differs";
        for (int k = 3; k <= 6; ++k) {
            while (v.CurrentSection != k + 1)
                Key(kRight);
            ExpectNoUnpaintedRow(v, when + ", section " + std::to_string(k + 1));
        }
    }
}

// Fault 2: every section's content starts in one screen column, wherever the full-width
// section stands.
TEST_F(SoundScreensTest, EverySectionStartsInTheSameColumn) {
    const std::vector<std::vector<std::string>> orders = {{"wide", "plain", "fit", "bands"},
                                                          {"plain", "fit", "wide", "bands"},
                                                          {"plain", "bands", "fit", "wide"}};
    Pictures();
    for (const auto& order : orders) {
        std::string sections;
        for (const std::string& bg : order)
            sections += Section(bg, "XXXX");
        auto& v = Load(StyleHead() + sections, "mk command", 1600, 900);
        const auto& area = v.form.fraScreenArea;
        const float column = area.Left + 0.05f * area.Width;
        int first_pixel_column = -1;
        for (std::size_t k = 0; k < order.size(); ++k) {
            const auto& label = v.form.lblText[static_cast<int>(k)];
            const auto& surface = v.form.picSection[static_cast<int>(k)];
            EXPECT_FLOAT_EQ(surface.Left + label.Left, column) << order[k] << " at " << k;
            // The first white pixel of the section's first line, as drawn.
            while (v.CurrentSection != static_cast<int>(k) + 1)
                Key(kRight);
            const Shot shot = Render(v);
            const int top = static_cast<int>(area.Top / 15);
            const int rows = static_cast<int>(label.Height / 15) + static_cast<int>(label.Top / 15);
            int leftmost = shot.w;
            for (int y = top; y < top + rows && y < shot.h; ++y)
                for (int x = 0; x < leftmost; ++x)
                    if (shot.At(x, y) == 0xFFFFFFu) leftmost = x;
            ASSERT_LT(leftmost, shot.w) << "no text drawn in section " << k + 1;
            if (first_pixel_column < 0) first_pixel_column = leftmost;
            EXPECT_EQ(leftmost, first_pixel_column) << order[k] << " at " << k;
        }
    }
}

// Fault 3: a surface is as high as its own content, however the view was reached.
TEST_F(SoundScreensTest, SurfaceHeightsComeFromTheirOwnContent) {
    WritePicture("metadata/default/images/tall.png", 20, 40);
    const std::string body = StyleHead() +
                             Section("plain",
                                     "<img src=\"tall.png\" width=\"20\" "
                                     "height=\"90\" stretch=\"1\"/>") +
                             Section("fit", "one\ntwo") + "<section bg=\"fit\"/>" +
                             Section("plain", "x");
    auto& v = Load(body, "mk command", 1280, 960);
    const auto& area = v.form.fraScreenArea;
    const auto& fit = v.form.picSection[1];
    const toolkit::Label* found = nullptr;
    v.form.lblText.ForEach([&](const toolkit::Label& l) {
        if (l.Caption() == "two") found = &l;
    });
    ASSERT_NE(found, nullptr);
    const auto& two = *found;
    EXPECT_FLOAT_EQ(fit.Height, two.Top + two.Height + 0.025f * area.Height)
        << "not the image placeholder of the section above";
    EXPECT_FLOAT_EQ(v.form.picSection[2].Height, 0.05f * area.Height)
        << "an empty fitted section is its two margins high";
    // Without icons and images anywhere, the hidden design-time controls do not count.
    auto& plain = Load(StyleHead() + Section("fit", "a"), "mk command", 1280, 960);
    const auto& a = plain.form.lblText[0];
    EXPECT_FLOAT_EQ(plain.form.picSection[0].Height,
                    a.Top + a.Height + 0.025f * plain.form.fraScreenArea.Height);

    // The same view gives the same heights after toggles that end where it started.
    auto& w = Load(body, "mk command", 1280, 960);
    const Json fresh = Dump(w)["picSection"];
    for (int key : {kSpace, kSpace, kAlt, kAlt, kCtrl, kCtrl})
        Key(key);
    EXPECT_TRUE(Dump(w)["picSection"] == fresh) << "the surfaces differ from a fresh start";
}

// Fault 4: a first section of one run keeps the size of its font.
TEST_F(SoundScreensTest, LoneFirstRunKeepsItsFont) {
    auto& v = Load(Head() + Section("plain", "<font name=\"big\">ONE</font>") +
                   Section("plain", "<font name=\"big\">TWO</font>") + Section("plain", "three"));
    const auto& one = v.form.lblText[0];
    const auto& two = v.form.lblText[1];
    ASSERT_EQ(one.Caption(), "ONE");
    ASSERT_EQ(two.Caption(), "TWO");
    EXPECT_GT(two.FontSize(), v.form.FontSize());
    EXPECT_FLOAT_EQ(one.FontSize(), two.FontSize());
    EXPECT_FLOAT_EQ(v.form.lblText[2].FontSize(), v.form.FontSize());
}

// Fault 5: short fields are counted in characters, not bytes.
TEST_F(SoundScreensTest, ShortFieldsCountCharacters) {
    auto& v = Load(Head() + Section("plain", "é~|~日|a~\né~x|日本~"));
    std::vector<std::string> captions;
    v.form.lblText.ForEach([&](const toolkit::Label& l) { captions.push_back(l.Caption()); });
    EXPECT_EQ(captions, (std::vector<std::string>{"é", "日", "a", "é~x", "日本~"}));
}

// Fault 6: macro names match ignoring case in any script.
TEST_F(SoundScreensTest, MacroNamesFoldCaseInEveryScript) {
    auto& v = Load(
        "<head><fontmacro size=\"100\" color=\"1,1,1\">normal</fontmacro>"
        "<fontmacro size=\"100\" color=\"7,8,9\">Über</fontmacro>"
        "<bgmacro name=\"x\" style=\"0\" color=\"0,0,0\"/>"
        "<bgmacro name=\"ΟΔΟΣ\" style=\"0\" color=\"1,2,3\"/></head>" +
        Section("οδος", "<font name=\"über\">a</font>"));
    EXPECT_EQ(v.form.lblText[0].ForeColor, 7 + 8 * 256 + 9 * 65536);
    EXPECT_EQ(v.form.picSection[0].BackColor, 1 + 2 * 256 + 3 * 65536) << "final sigma folds";
}

// Fault 7: files named in another case are found, one listing per folder and load.
TEST_F(SoundScreensTest, FileNamesMatchIgnoringCase) {
    WritePicture("metadata/mk/icons/lp.gif", 8, 8);
    WritePicture("metadata/mk/images/cabinet.png", 8, 8);
    Write("metadata/mk/Dark.sxml",
          "<s><head><fontmacro size=\"100\" color=\"4,5,6\">n</fontmacro></head></s>");
    Write("metadata/mk/Command.xml", "<document>" + Head() +
                                         Section("plain",
                                                 "<icon name=\"LP\"></icon>"
                                                 "<img src=\"Cabinet.PNG\" width=\"5\" "
                                                 "height=\"5\" stretch=\"1\"/>x") +
                                         "</document>");
    auto& v = Start("mk COMMAND dark");
    app::timLoad_Timer(v);
    ASSERT_EQ(v.doc.SectionCount(), 1) << "the document named in another case is read";
    EXPECT_TRUE(v.form.imgIco[0].Visible);
    EXPECT_TRUE(v.form.imgImage[0].Visible);
    EXPECT_EQ(v.form.lblText[0].ForeColor, 4 + 5 * 256 + 6 * 65536) << "the style is found";
}

TEST_F(SoundScreensTest, FolderListingsPreferTheExactNameThenByteOrder) {
    Write("metadata/f/Lp.gif", "1");
    Write("metadata/f/lP.gif", "2");
    Write("metadata/f/.lp.gif", "hidden");
    std::filesystem::create_directories(Home() / "metadata/f/LP.GIF");  // a folder
    layout::FolderListings listings;
    const std::string folder = (Home() / "metadata/f").string();
    EXPECT_EQ(listings.Find(folder + "/lP.gif"), folder + "/lP.gif") << "the exact name";
    EXPECT_EQ(listings.Find(folder + "/lp.gif"), folder + "/Lp.gif") << "first in byte order";
    EXPECT_EQ(listings.Find(folder + "/LP.GIF"), folder + "/Lp.gif") << "not the folder";
    EXPECT_EQ(listings.Find(folder + "/lp.gi"), "");
    EXPECT_EQ(listings.Find(folder + "/.LP.gif"), "") << "hidden files do not count";
    EXPECT_EQ(listings.Find((Home() / "nowhere/x.gif").string()), "");
    // The folder was listed once: a file added later shows only after Forget().
    Write("metadata/f/new.gif", "3");
    EXPECT_EQ(listings.Find(folder + "/NEW.gif"), "");
    listings.Forget();
    EXPECT_EQ(listings.Find(folder + "/NEW.gif"), folder + "/new.gif");
}

// Fault 8: section keys keep working past 32767 sections.
TEST_F(SoundScreensTest, SectionKeysWorkPastTheSixteenBitLimit) {
    std::string sections;
    for (int i = 0; i < 33000; ++i)
        sections += "<section/>";
    auto& v = Load(Head() + sections);
    ASSERT_EQ(v.doc.SectionCount(), 33000);
    const int surfaces = v.form.picSection.UBound() + 1;
    ASSERT_EQ(surfaces, 32768);
    Key(kLeft);
    EXPECT_EQ(v.CurrentSection, surfaces) << "the last section that has a surface";
    EXPECT_FLOAT_EQ(v.form.picSection[surfaces - 1].Top, v.form.fraScreenArea.Top);
    Key(kLeft);
    EXPECT_EQ(v.CurrentSection, surfaces - 1);
    Key(kRight);
    Key(kRight);
    EXPECT_EQ(v.CurrentSection, 1) << "past the last shown section comes the first";
    EXPECT_FLOAT_EQ(v.form.picSection[0].Top, v.form.fraScreenArea.Top);
}

}  // namespace
}  // namespace kavro::testing
