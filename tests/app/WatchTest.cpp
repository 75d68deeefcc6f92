#include <gtest/gtest.h>

#include <algorithm>

#include "app/Navigation.h"
#include "app/Watch.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

class WatchTest : public ViewerTest {
  protected:
    // Three sections; the second is long enough to scroll in.
    static std::string Body(const std::string& second_title = "Second") {
        std::string long_text;
        for (int i = 0; i < 60; ++i)
            long_text += "line " + std::to_string(i) + "\n";
        return Head() + "<section bg=\"plain\">First</section>\n<section bg=\"plain\">" +
               second_title + "\n" + long_text +
               "</section>\n<section bg=\"plain\">Third</section>";
    }
    void Save(const std::string& body) {
        Write("metadata/mk/command.xml", "<document>" + body + "</document>");
    }
    static float AnchorTop(const app::Viewer& v) {
        return v.form.picSection[v.CurrentSection - 1].Top;
    }
    static bool BarShown(const app::Viewer& v) { return v.form.picErrorBar[0].Visible; }
};

TEST_F(WatchTest, ReloadKeepsTheSectionAndTheScroll) {
    app::Viewer& v = Load(Body());
    app::cmdNextSect_Click(v);
    app::cmdDown_Click(v);
    app::cmdDown_Click(v);
    ASSERT_EQ(v.CurrentSection, 2);
    const float top = AnchorTop(v);
    ASSERT_LT(top, v.form.fraScreenArea.Top);  // scrolled into the section

    Save(Body("Second, edited"));
    EXPECT_TRUE(app::ReloadAfterChange(v));
    EXPECT_NE(v.doc.SectionMarkup[2].find("Second, edited"), std::string::npos);
    EXPECT_EQ(v.CurrentSection, 2);
    EXPECT_EQ(AnchorTop(v), top);
    // The sections stay stacked around it.
    EXPECT_EQ(v.form.picSection[2].Top, top + v.form.picSection[1].Height);
    EXPECT_FALSE(BarShown(v));
}

TEST_F(WatchTest, AMalformedSaveKeepsTheViewAndShowsWhere) {
    app::Viewer& v = Load(Body());
    app::cmdNextSect_Click(v);
    const auto markup = v.doc.SectionMarkup;
    const int labels = v.form.lblText.UBound();

    Write("metadata/mk/command.xml", "<document>\n<section>\n<font name=\"x\">a</section>");
    EXPECT_FALSE(app::ReloadAfterChange(v));
    EXPECT_EQ(v.doc.SectionMarkup, markup);
    EXPECT_EQ(v.form.lblText.UBound(), labels);
    EXPECT_EQ(v.CurrentSection, 2);
    ASSERT_TRUE(BarShown(v));
    const std::string& text = v.form.lblErrorBar[0].Caption();
    EXPECT_EQ(text, (Home() / "metadata/mk/command.xml").string() + ":3:19: mismatched tag");
    // The bar lies along the bottom of the window, over the sections.
    const auto& bar = v.form.picErrorBar[0];
    EXPECT_EQ(bar.Top + bar.Height, v.form.Height);
    EXPECT_EQ(bar.Width, v.form.Width);
    EXPECT_EQ(v.form.lblErrorBar[0].Container, &bar);

    Save(Body("Fixed"));
    EXPECT_TRUE(app::ReloadAfterChange(v));
    EXPECT_FALSE(BarShown(v));
    EXPECT_EQ(v.CurrentSection, 2);
    EXPECT_NE(v.doc.SectionMarkup[2].find("Fixed"), std::string::npos);
}

TEST_F(WatchTest, AShorterDocumentKeepsWhatStillExists) {
    app::Viewer& v = Load(Body());
    app::cmdNextSect_Click(v);
    app::cmdNextSect_Click(v);
    ASSERT_EQ(v.CurrentSection, 3);
    Save(Head() + "<section bg=\"plain\">Only</section>");
    EXPECT_TRUE(app::ReloadAfterChange(v));
    EXPECT_EQ(v.CurrentSection, 1);
    EXPECT_EQ(AnchorTop(v), v.form.fraScreenArea.Top);

    // Scrolled deeper than the section now reaches: as deep as it goes less one line.
    Save(Body());
    ASSERT_TRUE(app::ReloadAfterChange(v));
    app::cmdNextSect_Click(v);
    for (int i = 0; i < 40; ++i)
        app::cmdDown_Click(v);
    ASSERT_EQ(v.CurrentSection, 2);
    Save(Head() + "<section bg=\"plain\">First</section><section bg=\"plain\">Short</section>");
    EXPECT_TRUE(app::ReloadAfterChange(v));
    EXPECT_EQ(v.CurrentSection, 2);
    const auto& surface = v.form.picSection[1];
    EXPECT_GE(surface.Top + surface.Height, v.form.fraScreenArea.Top + v.form.TextHeight("0"));
}

TEST_F(WatchTest, WatchedFilesAreWhatTheLoadReadOrLookedFor) {
    WritePicture("metadata/default/icons/up.gif", 16, 16);
    app::Viewer& v = Load(Head() +
                              "<section bg=\"plain\"><icon name=\"up\"/><icon name=\"no\"/>"
                              "</section>",
                          "mk command dark");
    const std::vector<std::string> files = app::WatchedFiles(v);
    const auto has = [&](const std::string& relative) {
        return std::find(files.begin(), files.end(), (Home() / relative).string()) != files.end();
    };
    EXPECT_TRUE(has("metadata/mk/command.xml"));
    EXPECT_TRUE(has("metadata/default/dark.sxml"));
    EXPECT_TRUE(has("metadata/mk/dark.sxml"));
    EXPECT_TRUE(has("metadata/default/icons/up.gif"));
    EXPECT_TRUE(has("metadata/mk/icons/up.gif"));       // looked at first
    EXPECT_TRUE(has("metadata/default/icons/no.gif"));  // missing: adding it is a change
}

TEST_F(WatchTest, BarTextNamesFileLineAndColumn) {
    EXPECT_EQ(app::DescribeLoadError(document::LoadError("a.xml", 3, 7, "bad")), "a.xml:3:7: bad");
    EXPECT_EQ(app::DescribeLoadError(document::LoadError("a.xml", 0, 0, "gone")), "a.xml: gone");
}

}  // namespace
}  // namespace kavro::testing
