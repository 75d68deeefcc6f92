// Move-list and history files in metadata/: documents converted on the fly, the missing-entry
// error, and kavro --import.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Program.h"
#include "common/ViewerFixture.h"
#include "import/DatImport.h"
#include "import/GlyphTable.h"

namespace kavro::testing {
namespace {

namespace fs = std::filesystem;

// Every glyph code of the tables, eight to a line, on the second of three pages.
std::string MoveList() {
    std::string text =
        "# written for the tests\n"
        "$info=mkick,mkickj\n"
        "$cmd\n[Ayane]\n---------\nCrescent Wave   _2_3_6 + _P\n$end\n"
        "$cmd\n«Every code»\n";
    const auto codes = import::AllGlyphCodes();
    for (std::size_t i = 0; i < codes.size(); ++i)
        text += codes[i] + (i % 8 == 7 || i + 1 == codes.size() ? "\n" : " ");
    text +=
        "$end\n$cmd\nBram\n----\n  Iron Lantern  ^4 _6 + ^G\n$end\n"
        "$info=other\n$cmd\n[Other]\n$end\n";
    return text;
}

class ImportTest : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        const fs::path icons = fs::path(KAVRO_SOURCE_DIR) / "metadata" / "default" / "icons";
        ASSERT_TRUE(fs::is_directory(icons)) << icons << " is missing";
        fs::copy(icons, Home() / "metadata" / "default" / "icons",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        Write("metadata/command.dat", MoveList());
    }

    // Starts the viewer as "kavro <command_line>" and loads.
    app::Viewer& Show(const std::string& command_line) {
        app::Viewer& v = Start(command_line);
        app::timLoad_Timer(v);
        return v;
    }

    // The text runs of the load, in order.
    static std::vector<std::string> Captions(app::Viewer& v) {
        std::vector<std::string> captions;
        for (int i = 0; i <= v.form.lblText.UBound(); ++i)
            if (const auto* label = v.form.lblText.At(i); label && label->Visible)
                captions.push_back(label->Caption());
        return captions;
    }

    static int VisibleIcons(app::Viewer& v) {
        int icons = 0;
        for (int i = 0; i <= v.form.imgIco.UBound(); ++i)
            if (const auto* icon = v.form.imgIco.At(i); icon && icon->Visible && icon->Picture())
                ++icons;
        return icons;
    }

    // kavro with these arguments; the status, with standard output and error.
    int Run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        args.insert(args.begin(), {"kavro", "--home", Home().string()});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = app::RunProgram(static_cast<int>(argv.size()), argv.data());
        const std::string o = ::testing::internal::GetCapturedStdout();
        const std::string e = ::testing::internal::GetCapturedStderr();
        if (out) *out = o;
        if (err) *err = e;
        return status;
    }
};

// Finds a glyph code left as text: the converter missed it.
std::string RawCode(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '_' || c == '^') && i + 1 < text.size() && import::FindGlyph(c, text[i + 1]))
            return text.substr(i, 2);
        if (c == '@') {
            const std::size_t end = std::min(text.find(' ', i + 1), text.size());
            if (import::FindWordGlyph(text.substr(i + 1, end - i - 1)))
                return text.substr(i, end - i);
        }
    }
    return {};
}

TEST_F(ImportTest, MoveListEntryLoadsOnTheFlyWithIcons) {
    auto& v = Show("mkickj command");
    EXPECT_EQ(v.doc.SectionCount(), 3) << "one section per page";
    EXPECT_EQ(v.form.Caption, "mkickj - move list");
    const auto codes = import::AllGlyphCodes();
    EXPECT_EQ(VisibleIcons(v), static_cast<int>(codes.size()) + 4 + 3)
        << "every code of the three pages is drawn as an icon";
    const auto captions = Captions(v);
    ASSERT_FALSE(captions.empty());
    for (const std::string& caption : captions)
        EXPECT_EQ(RawCode(caption), "") << "in the text run \"" << caption << "\"";
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Ayane"), captions.end());
    EXPECT_NE(std::find(captions.begin(), captions.end(), "Crescent Wave   "), captions.end());
    // The index was cached beside the file.
    EXPECT_TRUE(fs::exists(Home() / "metadata" / "command.dat.kavro-index"));
}

TEST_F(ImportTest, DataFileOfTheUserIsReadBeforeTheInstalledOne) {
    fs::remove(Home() / "metadata" / "command.dat");
    fs::create_directories(UserMetadata());
    std::ofstream(UserMetadata() / "command.dat", std::ios::binary)
        << "$info=useronly\n$cmd\n[Mine]\nonly in the user's file\n$end\n";
    auto& v = Show("useronly command");
    ASSERT_EQ(v.doc.SectionCount(), 1);
    const auto captions = Captions(v);
    EXPECT_NE(std::find(captions.begin(), captions.end(), "only in the user's file"),
              captions.end());
}

TEST_F(ImportTest, WithIconsOffTheFallbackTextShows) {
    auto& v = Start("mkick command");
    v.NoFormatting = true;
    app::timLoad_Timer(v);
    EXPECT_EQ(VisibleIcons(v), 0);
    std::string all;
    for (const std::string& caption : Captions(v))
        all += caption + "\n";
    EXPECT_NE(all.find("Crescent Wave   \n↓\n↘\n→\n + \n[P]"), std::string::npos) << all;
}

TEST_F(ImportTest, DocumentOfTheItemWinsOverTheDataFile) {
    Write("metadata/mkick/command.xml",
          "<document>" + Head() + "<section>written by hand</section></document>");
    auto& v = Show("mkick command");
    ASSERT_EQ(v.doc.SectionCount(), 1);
    EXPECT_EQ(v.doc.SectionMarkup[1], "|bg=default|written by hand|bge|");
}

TEST_F(ImportTest, StyleNameAppliesToAConvertedDocument) {
    Write("metadata/default/big.sxml",
          "<style><head><fontmacro size=\"150\" color=\"1,2,3\">styled</fontmacro></head></style>");
    auto& v = Show("mkick command big");
    EXPECT_EQ(v.doc.SectionCount(), 3);
    ASSERT_EQ(v.doc.FontMacros.UBound(), 1);
    EXPECT_EQ(v.doc.FontMacros.Get(0, 1).value_or(""), "styled");
}

TEST_F(ImportTest, HistoryLoadsOnTheFlyAfterTheMoveList) {
    Write("metadata/history.dat",
          "$info=mkick\n$bio\nMoonlight Kickers.\n\n- TECHNICAL -\nTwo players.\n$end\n");
    auto& v = Show("mkick command;history");
    ASSERT_EQ(v.doc.SectionCount(), 4);
    EXPECT_EQ(v.doc.SectionMarkup[4],
              "|bg=page|\nMoonlight Kickers.\n\n|fs=heading|- TECHNICAL -|fed|\nTwo players.\n"
              "|bge|");
}

TEST_F(ImportTest, RomWithoutEntryCannotBeLoaded) {
    auto& v = Start("nosuch command");
    const std::string document = (Home() / "metadata" / "nosuch" / "command.xml").string();
    const std::string data = (Home() / "metadata" / "command.dat").string();
    try {
        app::timLoad_Timer(v);
        ADD_FAILURE() << "the load went through";
    } catch (const document::LoadError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot load \"" + document +
                                             "\": no such document, and \"" + data +
                                             "\" has no entry for \"nosuch\"");
    }
    std::string err;
    EXPECT_EQ(Run({"--render", (Home() / "x.png").string(), "nosuch", "command"}, nullptr, &err),
              app::kExitLoad);
    EXPECT_NE(err.find("has no entry for \"nosuch\""), std::string::npos) << err;
}

TEST_F(ImportTest, ImportedDocumentsLoadAsTheConvertedOnesDo) {
    auto& fly = Show("mkick command");
    const auto markup = fly.doc.SectionMarkup;
    const auto captions = Captions(fly);

    std::string out;
    ASSERT_EQ(Run({"--import", (Home() / "metadata" / "command.dat").string()}, &out), 0);
    EXPECT_NE(out.find(": 2 entries, 3 documents written, 0 skipped, 0 problems\n"),
              std::string::npos)
        << out;
    for (const char* name : {"mkick", "mkickj", "other"})
        EXPECT_TRUE(fs::exists(Home() / "metadata" / name / "command.xml")) << name;
    fs::remove(Home() / "metadata" / "command.dat");

    auto& imported = Show("mkick command");
    EXPECT_EQ(imported.doc.SectionMarkup, markup);
    EXPECT_EQ(Captions(imported), captions);
}

TEST_F(ImportTest, ImportKeepsDocumentsAPersonWroteUnlessForced) {
    const std::string mine = "<document><section>mine</section></document>";
    Write("out/mkickj/command.xml", mine);
    const std::string data = (Home() / "metadata" / "command.dat").string();
    const std::string into = (Home() / "out").string();
    const auto read = [&](const char* name) {
        std::ifstream in(Home() / "out" / name / "command.xml");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };

    std::string out;
    ASSERT_EQ(Run({"--import", data, "--into", into}, &out), 0);
    EXPECT_NE(out.find("2 entries, 2 documents written, 1 skipped"), std::string::npos) << out;
    EXPECT_NE(out.find("--force replaces them"), std::string::npos);
    EXPECT_EQ(read("mkickj"), mine);
    // A second import replaces what the first one wrote.
    ASSERT_EQ(Run({"--import", data, "--into", into}, &out), 0);
    EXPECT_NE(out.find("2 documents written, 1 skipped"), std::string::npos) << out;
    ASSERT_EQ(Run({"--import", data, "--into", into, "--force"}, &out), 0);
    EXPECT_NE(out.find("3 documents written, 0 skipped"), std::string::npos) << out;
    EXPECT_NE(read("mkickj"), mine);
    EXPECT_EQ(read("mkickj").rfind("<?xml", 0), 0u);
}

TEST_F(ImportTest, ImportReportsProblemsWithLineNumbers) {
    const std::string data = Home().string() + "/bad.dat";
    std::ofstream(data, std::ios::binary)
        << "$info=a,../evil\n$cmd\nx\xFF\n$end\n$info=a,b\n$cmd\ny\n";
    std::string out;
    ASSERT_EQ(Run({"--import", data, "--into", (Home() / "out").string()}, &out), 0);
    EXPECT_NE(out.find("2 entries, 2 documents written, 0 skipped, 4 problems\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  line 1: \"../evil\" cannot be a folder name; not written\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  line 3: bytes that are not UTF-8"), std::string::npos) << out;
    EXPECT_NE(out.find("  line 5: \"a\" is listed again (first at line 1)"), std::string::npos);
    EXPECT_NE(out.find("  line 6: the page has no $end"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(Home() / "evil"));
    EXPECT_TRUE(fs::exists(Home() / "out" / "a" / "bad.xml"));

    std::string err;
    EXPECT_EQ(Run({"--force", "mk", "command"}, nullptr, &err), app::kExitUsage);
    EXPECT_NE(err.find("--into and --force go with --import"), std::string::npos) << err;
    EXPECT_EQ(Run({"--import", Home().string() + "/none.dat"}, nullptr, &err), app::kExitLoad);
    EXPECT_NE(err.find("cannot import: cannot open"), std::string::npos) << err;
}

}  // namespace
}  // namespace kavro::testing
