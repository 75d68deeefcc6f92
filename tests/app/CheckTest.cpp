#include <gtest/gtest.h>

#include <sstream>

#include "app/Check.h"
#include "app/Program.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

using document::Finding;
using document::Severity;

class CheckTest : public ViewerTest {
  protected:
    // Checks "mk <docname> [style]" below the test's program folder.
    document::Diagnostics Check(const std::string& command_line = "mk command",
                                std::vector<std::pair<int, int>> screens = {{1280, 960}}) {
        app::CheckRequest request;
        request.home = Home().string();
        request.words = {command_line};
        request.screens = std::move(screens);
        return app::CheckDocuments(request);
    }

    void Document(const std::string& body, const std::string& name = "command") {
        Write("metadata/mk/" + name + ".xml", body);
    }

    static std::string All(const document::Diagnostics& d) {
        std::string all;
        for (const Finding& f : d.findings)
            all += document::FormatFinding(f) + "\n";
        return all;
    }

    // The one finding whose message holds text, at line and column of file.
    static void ExpectOne(const document::Diagnostics& d, const std::string& text, long line,
                          long column, Severity severity = Severity::Warning,
                          const std::string& file = "metadata/mk/command.xml") {
        int hits = 0;
        for (const Finding& f : d.findings) {
            if (f.message.find(text) == std::string::npos) continue;
            ++hits;
            EXPECT_EQ(f.where.line, line) << f.message;
            EXPECT_EQ(f.where.column, column) << f.message;
            EXPECT_EQ(f.severity, severity) << f.message;
            EXPECT_TRUE(f.where.file.ends_with(file)) << f.where.file;
        }
        EXPECT_EQ(hits, 1) << "\"" << text << "\" in:\n" << All(d);
    }
};

const char* kHead =
    "<head><textwidth>40</textwidth>\n"                                        // 2
    "<fontmacro size=\"100\" color=\"255,255,255\">normal</fontmacro>\n"       // 3
    "<fontmacro size=\"200\" color=\"255,0,0\">big</fontmacro>\n"              // 4
    "<bgmacro name=\"plain\" style=\"0\" color=\"0,0,64\"/>\n"                 // 5
    "<bgmacro name=\"marble\" style=\"1\" color=\"0,0,64\" src=\"m.png\"/>\n"  // 6
    "</head>\n";                                                               // 7

TEST_F(CheckTest, EachKindOfMistakeIsNamedWithItsPlace) {
    WritePicture("metadata/default/images/m.png", 40, 10);
    WritePicture("metadata/default/icons/up.gif", 16, 16);
    Write("metadata/mk/icons/broken.gif", "GIF89a but nothing after it");
    Document(std::string("<document>\n") + kHead +
             "<section bg=\"marbel\">\n"                                                 // 8
             "<font name=\"bgi\">Hello</font> <icon name=\"kick\"/>\n"                   // 9
             "\t<icon name=\"up\"/><icon name=\"broken\"/> <img src=\"flyr.png\"/>\n"    // 10
             "0123456789012345678901234567890123456789012345678901234567890123456789\n"  // 11
             "</section>\n"
             "</document>\n");
    const auto d = Check();
    ExpectOne(d,
              "background macro \"marbel\" is not defined; the first one, \"plain\", is used "
              "instead; did you mean \"marble\"?",
              8, 1);
    ExpectOne(d, "font macro \"bgi\" is not defined", 9, 1);
    ExpectOne(d,
              "icon \"kick\" not found (looked in " + Home().string() +
                  "/metadata/mk/icons/kick.gif, " + Home().string() +
                  "/metadata/default/icons/kick.gif)",
              9, 31);
    ExpectOne(d, "broken.gif cannot be shown: ", 10, 19);
    ExpectOne(d, "image \"flyr.png\" not found", 10, 41);
    // 40 characters take 90 % of the area after a 5 % margin: about 44 fit.
    ExpectOne(d, "is cut at the right edge after 4", 11, 1);
    EXPECT_EQ(d.findings.size(), 6u) << All(d);
}

TEST_F(CheckTest, CutLineCountsTheCharactersThatFit) {
    Document(std::string("<document>\n") + kHead +
             "<section bg=\"plain\">\n"  // 8
             "0123456789012345678901234567890123456789012\n"
             "01234567890123456789012345678901234567890123456789\n"
             "</section></document>\n");
    const auto d = Check();
    ASSERT_EQ(d.findings.size(), 1u) << All(d);
    const Finding& f = d.findings.front();
    EXPECT_EQ(f.where.line, 10);
    // The first line fits, so the cut happens between its length and the second's.
    const std::string prefix = "it is cut at the right edge after ";
    const std::size_t at = f.message.find(prefix);
    ASSERT_NE(at, std::string::npos) << f.message;
    const int fit = std::stoi(f.message.substr(at + prefix.size()));
    EXPECT_GE(fit, 43);
    EXPECT_LT(fit, 50);
    EXPECT_NE(f.message.find("\"" +
                             std::string("01234567890123456789012345678901234567890123456789")
                                 .substr(static_cast<std::size_t>(fit)) +
                             "\" does not show"),
              std::string::npos)
        << f.message;
}

TEST_F(CheckTest, BackgroundSeamsOnBothOrientations) {
    // Rows from dark to light: where one band meets the next, light meets dark.
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 40, 10, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < 10; ++y) {
        SDL_Rect row{0, y, 40, 1};
        SDL_FillRect(s, &row, 0xFF000000u | static_cast<Uint32>(y * 25 * 0x010101));
    }
    const std::string path = (Home() / "metadata/default/images/ramp.png").string();
    ASSERT_EQ(IMG_SavePNG(s, path.c_str()), 0);
    SDL_FreeSurface(s);
    WritePicture("metadata/default/images/flat.png", 40, 10);
    Document(std::string("<document>\n") + kHead +
             "<bgmacro name=\"ramp\" style=\"0\" src=\"ramp.png\"/>"
             "<bgmacro name=\"flat\" style=\"0\" src=\"flat.png\"/>\n"
             "<section bg=\"ramp\">x</section>\n"  // 9
             "<section bg=\"flat\">y</section>\n"  // 10
             "</document>\n");
    EXPECT_EQ(app::BothOrientations({1280, 960}),
              (std::vector<std::pair<int, int>>{{1280, 960}, {960, 1280}}));
    EXPECT_EQ(app::BothOrientations({800, 800}).size(), 1u);

    const auto landscape = Check("mk command", {{1280, 960}});
    // 10 rows stretched to the area's width: 1276.8 / 4 pixels a band.
    ExpectOne(landscape, "\"ramp.png\" does not tile cleanly: its bands repeat every 319 pixels", 9,
              1, Severity::Info);
    const auto both = Check("mk command", app::BothOrientations({1280, 960}));
    EXPECT_EQ(both.findings.size(), 2u) << All(both);
    ExpectOne(both, "bands repeat every 240 pixels", 9, 1, Severity::Info);
    // The same finding on two passes is reported once.
    EXPECT_EQ(Check("mk command", {{1280, 960}, {1280, 960}}).findings, landscape.findings);
}

TEST_F(CheckTest, LoadWideFindings) {
    Document("<document>\n<head/>\n</document>\n", "empty");
    const auto d = Check("mk empty dark");
    ExpectOne(d, "the document has no sections", 1, 1, Severity::Warning, "metadata/mk/empty.xml");
    ExpectOne(d,
              "style \"dark\" not found (looked in " + Home().string() +
                  "/metadata/default/dark.sxml, " + Home().string() + "/metadata/mk/dark.sxml)",
              0, 0, Severity::Warning, "");
}

TEST_F(CheckTest, MalformedDocumentIsAnErrorWithItsPlace) {
    Document("<document>\n<section>\n<font name=\"x\">a</section>\n</document>\n");
    const auto d = Check();
    ASSERT_EQ(d.findings.size(), 1u) << All(d);
    EXPECT_EQ(d.findings[0].severity, Severity::Error);
    EXPECT_EQ(d.findings[0].where.line, 3);
    EXPECT_EQ(d.findings[0].where.column, 19);  // the name in the end tag
    EXPECT_EQ(d.findings[0].message, "mismatched tag");
}

TEST_F(CheckTest, ExitStatusAndQuiet) {
    Document(std::string("<document>\n") + kHead +
             "<section bg=\"plain\"><fnt/>ok</section></document>\n");
    app::CheckRequest request;
    request.home = Home().string();
    request.words = {"mk", "command"};
    std::ostringstream out;
    EXPECT_EQ(app::RunCheck(request, out), app::kExitLoad);
    EXPECT_NE(out.str().find(":8:21: warning: unknown element <fnt> is ignored; did you mean "
                             "<font>?\n"),
              std::string::npos)
        << out.str();
    std::ostringstream quiet;
    request.quiet = true;
    EXPECT_EQ(app::RunCheck(request, quiet), app::kExitOk);
    EXPECT_EQ(quiet.str(), "");

    Document("<document><section>");
    std::ostringstream broken;
    EXPECT_EQ(app::RunCheck(request, broken), app::kExitLoad);
    EXPECT_NE(broken.str().find("command.xml:1:20: error: "), std::string::npos) << broken.str();
}

// A byte order mark is no character: a finding on the first line has the column it has
// without one, in every encoding that may begin with a mark, whether the parser or the
// conversion in front of it finds it.
TEST_F(CheckTest, ByteOrderMarkTakesNoColumn) {
    const struct {
        const char* name;
        std::string mark;
        int width;  // bytes a character
        bool big_endian;
    } encodings[] = {
        {"UTF-8", "\xEF\xBB\xBF", 1, true},
        {"UTF-16LE", "\xFF\xFE", 2, false},
        {"UTF-16BE", "\xFE\xFF", 2, true},
        {"UTF-32LE", std::string("\xFF\xFE\0\0", 4), 4, false},
        {"UTF-32BE", std::string("\0\0\xFE\xFF", 4), 4, true},
    };
    for (const auto& e : encodings) {
        SCOPED_TRACE(e.name);
        // ASCII text in units of e.width bytes.
        const auto encode = [&e](const std::string& text) {
            std::string out;
            for (const char c : text) {
                std::string unit(static_cast<std::size_t>(e.width), '\0');
                unit[e.big_endian ? unit.size() - 1 : 0] = c;
                out += unit;
            }
            return out;
        };
        const std::string before = encode("<document><section>");  // 19 characters
        const std::string after = encode("<fnt/>ok</section></document>\n");
        Document(e.mark + before + after);
        ExpectOne(Check(), "unknown element <fnt> is ignored", 1, 20);
        if (e.width == 4) {
            // No character is above U+10FFFF: the conversion stops at column 20.
            Document(e.mark + before +
                     (e.big_endian ? std::string("\0\x11\0\0", 4) : std::string("\0\0\x11\0", 4)) +
                     after);
            ExpectOne(Check(), "begins no character of UTF-32", 1, 20, Severity::Error);
        }
    }
}

// One section of that many lines, each its own text run.
std::string ManyLines(int lines) {
    std::string text = "<d><section>\n";
    for (int i = 0; i < lines; ++i)
        text += "x\n";
    return text + "</section></d>";
}

// What a check once passed as clean, each with its place.
TEST_F(CheckTest, GapsOnceMissedAreReportedWithTheirPlace) {
    const struct {
        const char* what;
        std::string document;  // written as mk/command.xml; "" for the data file's case
        const char* message;   // part of every finding expected
        std::size_t count;     // findings holding it
        long line, column;     // of the first of them
        Severity severity;
    } cases[] = {
        {"a missing icon with text of its own",
         "<d><section>\nx <icon name=\"nosuch\">[LP]</icon>\n</section></d>",
         "icon \"nosuch\" not found (looked in ", 1, 2, 3, Severity::Warning},
        {"every rule error",
         "<d><head>\n<fontmacro size=\"1\" color=\"1\">a</fontmacro>\n"
         "<fontmacro size=\"1\" color=\"1,2\">b</fontmacro>\n"
         "<bgmacro name=\"n\" style=\"0\" color=\"1\"/>\n"
         "<bgmacro name=\"m\" style=\"0\" color=\"\"/>\n</head><section>x</section></d>",
         "has fewer than three parts", 4, 2, 1, Severity::Error},
        {"a negative textwidth",
         "<d><head>\n  <textwidth>-5</textwidth></head><section>x</section></d>",
         "the line width (textwidth) -5 is negative", 1, 2, 14, Severity::Error},
        {"an empty textwidth", "<d><head>\n<textwidth></textwidth></head><section>x</section></d>",
         "textwidth is empty", 1, 2, 12, Severity::Warning},
        {"a picture outside the metadata folders",
         "<d><section>\n<img src=\"../../../outside.png\"/></section></d>",
         "(refused: it leads outside the metadata folders)", 1, 2, 1, Severity::Warning},
        {"a converted entry's problems", "", "the page has no $end", 1, 2, 0, Severity::Warning},
        {"a document cut at the control limit", ManyLines(33000),
         "text runs, icons, images or sections; the rest from section 1 on is not shown", 1, 1, 4,
         Severity::Warning},
    };
    WritePicture("outside.png", 4, 4);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ec;
        std::filesystem::remove(Home() / "metadata" / "mk" / "command.xml", ec);
        if (!c.document.empty()) Document(c.document);
        Write("metadata/command.dat", "$info=mk\n$cmd\n[A]\n");
        const auto d = Check();
        std::vector<Finding> hits;
        for (const Finding& f : d.findings)
            if (f.message.find(c.message) != std::string::npos) hits.push_back(f);
        ASSERT_EQ(hits.size(), c.count) << All(d);
        EXPECT_EQ(hits[0].where.line, c.line) << All(d);
        EXPECT_EQ(hits[0].where.column, c.column) << All(d);
        EXPECT_EQ(hits[0].severity, c.severity);
        if (c.document.empty()) {
            EXPECT_TRUE(hits[0].where.file.ends_with("command.dat"));
        }
    }
}

// A key map in which no key ends the viewer is a finding of the settings file.
TEST_F(CheckTest, SettingsWithoutAnExitKeyAreAFinding) {
    Document("<d><section>x</section></d>");
    Write("kavro.ini", "[Input]\nScrollUp=27\n");
    const auto d = Check();
    ASSERT_EQ(d.findings.size(), 1u) << All(d);
    EXPECT_NE(d.findings[0].message.find("no key ends the viewer"), std::string::npos);
}

TEST(DemoCheckTest, TheBundledDemoIsClean) {
    const std::string home = KAVRO_SOURCE_DIR;
    ASSERT_TRUE(std::filesystem::exists(home + "/metadata/mk/command.xml"))
        << "the demo document is missing below " << home;
    app::CheckRequest request;
    request.home = home;
    request.words = {"mk", "command"};
    request.screens = app::BothOrientations({1920, 1080});
    std::ostringstream out;
    EXPECT_EQ(app::RunCheck(request, out), app::kExitOk);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace kavro::testing
