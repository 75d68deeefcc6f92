#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/Dump.h"
#include "common/ViewerFixture.h"
#include "document/SaxReader.h"

namespace kavro::testing {
namespace {

// A document read on a second thread while it is laid out must load exactly as one read
// first and laid out afterwards: the whole state, every control and the converted document.
class ReadAheadTest : public ViewerTest {
  protected:
    std::string LoadedState(const std::string& command_line, app::Reading reading) {
        app::Viewer& v = Start(command_line, 1280, 960);
        app::cmdLoad_Click(v, reading);
        return app::DumpState(v);
    }

    void ExpectSameLoad(const std::string& body, const std::string& command_line = "mk command") {
        Write("metadata/mk/command.xml", "<document>" + body + "</document>");
        const std::string in_order = LoadedState(command_line, app::Reading::InOrder);
        const std::string ahead = LoadedState(command_line, app::Reading::Ahead);
        EXPECT_EQ(ahead, in_order);
        EXPECT_GT(in_order.size(), 1000u);
    }

    static std::string Sections(int count, const std::string& bg = "plain") {
        std::string body;
        for (int s = 0; s < count; ++s) {
            body += "<section bg=\"" + bg + "\">\n";
            for (int line = 0; line < 12; ++line) {
                const std::string n = std::to_string(s * 100 + line);
                body += "run " + n + " <font name=\"big\">big " + n +
                        "</font><icon name=\"lp\"></icon> <font name=\"small\">small</font>" +
                        (line % 5 == 0 ? "<img src=\"pic.png\" width=\"10\" height=\"5\"/>" : "") +
                        "|x|~|\n";
            }
            body += "</section>";
        }
        return body;
    }

    void SetUp() override {
        ViewerTest::SetUp();
        WritePicture("metadata/default/icons/lp.gif", 8, 8);
        WritePicture("metadata/default/images/pic.png", 16, 8);
        WritePicture("metadata/default/images/tile.png", 32, 32);
    }
};

TEST_F(ReadAheadTest, ManySectionsWithEveryKindOfField) {
    ExpectSameLoad("<info caption=\"Read ahead\"/>" +
                   Head("<bgmacro name=\"tiles\" style=\"2\" color=\"0,0,0\" src=\"tile.png\"/>") +
                   Sections(30) + Sections(5, "tiles") + "<section>\n</section>" + Sections(3));
}

TEST_F(ReadAheadTest, NoSectionAndOneSection) {
    ExpectSameLoad(Head());
    ExpectSameLoad(Head() + Sections(1));
    ExpectSameLoad("<section>lone text</section>");
}

// Macros and the line width may change after the first section: the layout that began with the
// earlier ones is made again.
TEST_F(ReadAheadTest, MacrosOrWidthChangedAfterTheFirstSection) {
    ExpectSameLoad(Head() + Sections(4) +
                   "<head><fontmacro size=\"150\" color=\"1,2,3\">late</fontmacro></head>" +
                   Sections(2));
    ExpectSameLoad(Head() + Sections(3) + "<head><textwidth>70</textwidth></head>" + Sections(2));
    ExpectSameLoad(Head() + Sections(3) + "<bgmacro name=\"plain\" style=\"1\" color=\"9,9,9\"/>");
    // A renamed macro: text after the end tag of a macro names it anew.
    ExpectSameLoad(Head() + Sections(2) + "<fontmacro size=\"120\" color=\"4,5,6\">x</fontmacro>");
}

TEST_F(ReadAheadTest, NestedSectionsAndTextBetweenThem) {
    ExpectSameLoad(Head() + "<section>outer <section>inner</section> after</section>" +
                   "between\n" + Sections(2));
}

TEST_F(ReadAheadTest, SeveralDocumentsOneAfterTheOther) {
    Write("metadata/mk/extra.xml",
          "<document><head><textwidth>60</textwidth></head>" + Sections(3) + "</document>");
    Write("metadata/mk/third.xml", "<document>" + Sections(2) + "</document>");
    ExpectSameLoad(Head() + Sections(4), "mk command;extra;third");
}

// A document with a style file is read before it is laid out, as always, in either mode.
TEST_F(ReadAheadTest, StyleFileKeepsItsOrder) {
    Write("metadata/default/look.sxml",
          "<document><head><fontmacro size=\"300\" color=\"9,9,9\">big</fontmacro>"
          "<bgmacro name=\"plain\" style=\"0\" color=\"50,0,0\"/></head></document>");
    ExpectSameLoad(Head() + Sections(3), "mk command look");
}

// A negative width is an error only as the document's last word.
TEST_F(ReadAheadTest, NegativeWidthCorrectedLaterOrNot) {
    ExpectSameLoad("<head><textwidth>-3</textwidth></head>" + Sections(2) +
                   "<head><textwidth>44</textwidth></head>");
    Write("metadata/mk/command.xml",
          "<document><head><textwidth>-3</textwidth></head>" + Sections(2) + "</document>");
    for (const app::Reading reading : {app::Reading::InOrder, app::Reading::Ahead}) {
        app::Viewer& v = Start("mk command", 1280, 960);
        EXPECT_THROW(app::cmdLoad_Click(v, reading), document::LoadError);
    }
}

// A document broken after some sections, or before the first, fails with the same place and
// reason either way.
TEST_F(ReadAheadTest, BrokenDocumentFailsAtTheSamePlace) {
    for (const std::string& broken :
         {"<info caption=\"Broken\"/>" + Head() + Sections(6) + "<section>oops</sectio>",
          Head() + Sections(2) + "<font>no name</font>",
          "<head><textwidth>99999</textwidth></head>" + Sections(1)}) {
        Write("metadata/mk/command.xml", "<document>" + broken + "</document>");
        std::optional<document::LoadError> errors[2];
        std::string captions[2];
        int i = 0;
        for (const app::Reading reading : {app::Reading::InOrder, app::Reading::Ahead}) {
            app::Viewer& v = Start("mk command", 1280, 960);
            try {
                app::cmdLoad_Click(v, reading);
            } catch (const document::LoadError& e) {
                errors[i] = e;
            }
            captions[i] = v.form.Caption;
            ++i;
        }
        EXPECT_EQ(captions[1], captions[0]);
        ASSERT_TRUE(errors[0] && errors[1]) << broken.substr(0, 80);
        EXPECT_EQ(errors[1]->Line(), errors[0]->Line());
        EXPECT_EQ(errors[1]->Column(), errors[0]->Column());
        EXPECT_EQ(errors[1]->Reason(), errors[0]->Reason());
    }
}

// Reloads (the view keys) read ahead too, and still give what a first load gives.
TEST_F(ReadAheadTest, ReloadsAfterTheViewKeys) {
    Write("metadata/mk/command.xml", "<document>" + Head() + Sections(8) + "</document>");
    app::Viewer& v = Start("mk command", 1280, 960);
    app::cmdLoad_Click(v, app::Reading::Ahead);
    Key(v.RemoveFormattingKey);
    Key(v.RemoveFormattingKey);
    const std::string reloaded = app::DumpState(v);
    EXPECT_EQ(reloaded, LoadedState("mk command", app::Reading::InOrder));
}

}  // namespace
}  // namespace kavro::testing
