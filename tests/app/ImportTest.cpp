// Move-list and history files in metadata/: documents converted on the fly, the missing-entry
// error, and kavro --import.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/Program.h"
#include "common/ViewerFixture.h"
#include "import/DatConverter.h"
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
        return ReadBack("out/" + std::string(name) + "/command.xml");
    };

    std::string out;
    ASSERT_EQ(Run({"--import", data, "--into", into}, &out), 0);
    EXPECT_NE(out.find("2 entries, 2 documents written, 1 skipped"), std::string::npos) << out;
    EXPECT_NE(out.find("--force replaces them"), std::string::npos);
    EXPECT_EQ(read("mkickj"), mine);
    // A second import replaces what the first one wrote, and leaves a document that holds
    // what it would write as it is (a second name of the file still names it).
    const fs::path other = Home() / "out" / "other" / "command.xml";
    fs::create_hard_link(other, Home() / "held");
    Write("out/mkick/command.xml", std::string(import::kConvertedMark) + "an older import -->");
    ASSERT_EQ(Run({"--import", data, "--into", into}, &out), 0);
    EXPECT_NE(out.find("2 documents written, 1 skipped"), std::string::npos) << out;
    EXPECT_EQ(fs::hard_link_count(other), 2u);
    EXPECT_EQ(read("mkick").find("an older import"), std::string::npos);
    ASSERT_EQ(Run({"--import", data, "--into", into, "--force"}, &out), 0);
    EXPECT_NE(out.find("3 documents written, 0 skipped"), std::string::npos) << out;
    EXPECT_NE(read("mkickj"), mine);
    EXPECT_EQ(read("mkickj").rfind("<?xml", 0), 0u);
}

// The first document that cannot be written ends the import with one message and its own
// status; the folders made for it are removed again.
TEST_F(ImportTest, ImportStopsAtTheFirstWriteFailure) {
    const std::string data = (Home() / "long.dat").string();
    std::ofstream(data, std::ios::binary)
        << "$info=" << std::string(300, 'x') << ",b\n$cmd\n[A]\n$end\n";
    std::string out, err;
    EXPECT_EQ(Run({"--import", data, "--into", (Home() / "made" / "deep").string()}, &out, &err),
              app::kExitImportWrite);
    EXPECT_EQ(out, "") << "no summary of an import that failed";
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("the import stopped there"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(Home() / "made"));
    // A file where the folder should be.
    Write("a-file", "x");
    EXPECT_EQ(Run({"--import", data, "--into", (Home() / "a-file").string()}, &out, &err),
              app::kExitImportWrite);
    EXPECT_NE(err.find("Not a directory"), std::string::npos) << err;
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
    // Grouped by kind, each with its count and lines.
    EXPECT_NE(out.find("  1 names that cannot be folder names (not written):\n"
                       "    line 1: \"../evil\" cannot be a folder name\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("    line 3: bytes that are not UTF-8"), std::string::npos) << out;
    EXPECT_NE(out.find("    line 5: \"a\" is listed again (first at line 1)"), std::string::npos);
    EXPECT_NE(out.find("    line 6: the page has no $end"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(Home() / "evil"));
    EXPECT_TRUE(fs::exists(Home() / "out" / "a" / "bad.xml"));

    std::string err;
    EXPECT_EQ(Run({"--force", "mk", "command"}, nullptr, &err), app::kExitUsage);
    EXPECT_NE(err.find("--into, --force and --verbose go with --import"), std::string::npos) << err;
    EXPECT_EQ(Run({"--import", Home().string() + "/none.dat"}, nullptr, &err), app::kExitLoad);
    EXPECT_NE(err.find("cannot import: cannot open"), std::string::npos) << err;
}

// The information files, written from their published descriptions.
const char* const kHistoryXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<history version=\"1.0\">\n"
    "<entry><systems><system name=\"mkick\"/></systems><text>Moonlight Kickers, from XML.\n\n"
    "- CONTRIBUTE -\n\n&lt;a href=&quot;https://x.org/?a&amp;id=1&quot;&gt;Edit this entry"
    "&lt;/a&gt;\n</text></entry>\n"
    "<entry><software><item list=\"nes\" name=\"mkick\"/></software><text>The cartridge."
    "</text></entry>\n"
    "<entry><systems><system name=\"parent\"/></systems><text>The parent's history.</text>"
    "</entry>\n</history>\n";

class InfoFilesTest : public ImportTest {
  protected:
    void SetUp() override {
        ImportTest::SetUp();
        Write("metadata/history.xml", kHistoryXml);
        Write("metadata/history.dat", "$info=mkick,datonly\n$bio\nFrom the .dat copy.\n$end\n");
        Write("metadata/gameinit.dat",
              "# GAMEINIT.DAT\n$info=mkick\n$mame\nINITIALIZATION: Press [ F2 ].\n$end\n"
              "$info=blank\n$mame\n\n$end\n");
        Write("metadata/mameinfo.dat",
              "# MAMEINFO.DAT v0.1\n$info=mkick\n$mame\nWIP:\n\n\n- Fixed the kick.\n$end\n"
              "$info=kick.cpp\n$drv\nDriver notes.\n$end\n");
        Write("metadata/story.dat",
              "$info=mkick\n$story\nMAMESCORE records :\nAAA____123450\nBOBBY____90\n$end\n");
    }

    // The markup of the single section of "kavro <command_line>".
    std::string Only(const std::string& command_line) {
        auto& v = Show(command_line);
        last_ = &v;
        EXPECT_EQ(v.doc.SectionCount(), 1) << command_line;
        return v.doc.SectionCount() >= 1 ? v.doc.SectionMarkup[1] : std::string();
    }

    app::Viewer* last_ = nullptr;  // the viewer of the last Only
};

TEST_F(InfoFilesTest, EachKindLoadsOnTheFly) {
    struct Case {
        const char* command_line;
        const char* markup;
        const char* caption;
    };
    const Case cases[] = {
        // history.xml wins over history.dat; its edit link is left out.
        {"mkick history", "|bg=page|\nMoonlight Kickers, from XML.\n|bge|", "mkick - history"},
        // history.dat still serves what history.xml lacks.
        {"datonly history", "|bg=page|\nFrom the .dat copy.\n|bge|", "datonly - history"},
        {"mkick gameinit",
         "|bg=page|\n|fs=heading|INITIALIZATION:|fed| Press |fs=key|[F2]|fed|.\n|bge|",
         "mkick - notes"},
        {"mkick mameinfo", "|bg=page|\n|fs=heading|WIP:|fed|\n\n- Fixed the kick.\n|bge|",
         "mkick - notes"},
        {"mkick story",
         "|bg=page|\n|fs=heading|MAMESCORE records :|fed|\nAAA      123450\nBOBBY        90\n|bge|",
         "mkick - high scores"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Only(c.command_line), c.markup) << c.command_line;
        EXPECT_EQ(last_->form.Caption, c.caption) << c.command_line;
    }
}

TEST_F(InfoFilesTest, EmptyBlocksAreNoEntryAndNameTheirFile) {
    auto& v = Start("blank gameinit");
    try {
        app::timLoad_Timer(v);
        ADD_FAILURE() << "the load went through";
    } catch (const document::LoadError& e) {
        EXPECT_NE(std::string(e.what()).find("gameinit.dat\" has no entry for \"blank\""),
                  std::string::npos)
            << e.what();
    }
}

TEST_F(InfoFilesTest, SystemSelectsSoftwareListItems) {
    // As a launcher's single line, and as options of their own.
    EXPECT_EQ(Only("--system nes mkick history"), "|bg=page|\nThe cartridge.\n|bge|");
    EXPECT_EQ(Only("mkick history --system=nes"), "|bg=page|\nThe cartridge.\n|bge|");
    std::string out;
    EXPECT_EQ(Run({"--render", (Home() / "x.png").string(), "--dump", "-", "--system", "nes",
                   "mkick", "history"},
                  &out),
              app::kExitOk);
    EXPECT_NE(out.find("The cartridge."), std::string::npos) << out;
    // A launcher's whole line that begins with the option is one word, not an unknown option.
    EXPECT_EQ(
        Run({"--render", (Home() / "x.png").string(), "--dump", "-", "--system nes mkick history"},
            &out),
        app::kExitOk);
    EXPECT_NE(out.find("The cartridge."), std::string::npos) << out;
    // The item's own folder is metadata/<list>/<rom>/.
    Write("metadata/nes/mkick/history.xml",
          "<document>" + Head() + "<section>own</section></document>");
    EXPECT_EQ(Only("--system nes mkick history"), "|bg=default|own|bge|");
    std::string err;
    EXPECT_EQ(Run({"--system", "a/b", "mkick", "history"}, nullptr, &err), app::kExitUsage);
    EXPECT_NE(err.find("--system takes one name"), std::string::npos) << err;
    EXPECT_EQ(Run({"--render", (Home() / "x.png").string(), "--system", "snes", "mkick", "history"},
                  nullptr, &err),
              app::kExitLoad);
    EXPECT_NE(err.find("has no entry for \"mkick\" of the list \"snes\""), std::string::npos)
        << err;
}

TEST_F(InfoFilesTest, ParentStandsInWhenTheRomHasNothing) {
    EXPECT_EQ(Only("clone history --parent parent"), "|bg=page|\nThe parent's history.\n|bge|");
    // The rom's own entry comes first.
    EXPECT_EQ(Only("mkick history --parent parent"),
              "|bg=page|\nMoonlight Kickers, from XML.\n|bge|");
    // The parent's own folder, with its pictures and styles.
    Write("metadata/parent/notes.xml",
          "<document>" + Head() + "<section>parent's notes</section></document>");
    EXPECT_EQ(Only("clone notes --parent parent"), "|bg=default|parent's notes|bge|");
    EXPECT_EQ(last_->ItemFolderName(), "parent");
    std::string err;
    EXPECT_EQ(Run({"--render", (Home() / "x.png").string(), "clone", "history"}, nullptr, &err),
              app::kExitLoad)
        << "without --parent the clone has nothing";
}

TEST_F(InfoFilesTest, ImportWritesOnlyDocumentsWithTextOrSaysWhy) {
    const std::string into = (Home() / "out").string();
    std::string out, err;
    EXPECT_EQ(
        Run({"--import", (Home() / "metadata" / "gameinit.dat").string(), "--into", into}, &out),
        app::kExitOk);
    EXPECT_NE(out.find(": 2 entries, 1 documents written, 0 skipped, 1 problems\n"
                       "  1 entries without text to show (no document):\n"
                       "    line 6: the entry has no $mame text\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(fs::exists(Home() / "out" / "mkick" / "gameinit.xml"));
    EXPECT_FALSE(fs::exists(Home() / "out" / "blank"));

    EXPECT_EQ(
        Run({"--import", (Home() / "metadata" / "history.xml").string(), "--into", into}, &out),
        app::kExitOk);
    EXPECT_NE(out.find(": 3 entries, 3 documents written"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(Home() / "out" / "nes" / "mkick" / "history.xml"));

    // Nothing to convert: status 3, and why.
    Write("empty.dat", "# a header only\n$info=a\n$bio\n\n$end\n$info=b,c\n");
    EXPECT_EQ(Run({"--import", (Home() / "empty.dat").string(), "--into", into}, &out),
              app::kExitLoad);
    EXPECT_NE(out.find("0 documents written"), std::string::npos) << out;
    EXPECT_NE(out.find("No document was written (see the problems above).\n"), std::string::npos)
        << out;
    // Not a member of the family at all.
    Write("notes.txt", "just some text\n");
    EXPECT_EQ(Run({"--import", (Home() / "notes.txt").string(), "--into", into}, &out, &err),
              app::kExitLoad);
    EXPECT_NE(err.find("is not a move-list or information file: it holds no \"$info=\""),
              std::string::npos)
        << err;
    Write("other.xml", "<document><section>x</section></document>");
    EXPECT_EQ(Run({"--import", (Home() / "other.xml").string(), "--into", into}, &out, &err),
              app::kExitLoad);
    EXPECT_NE(err.find("line 1, column 1: the root element is <document>"), std::string::npos)
        << err;
}

TEST_F(InfoFilesTest, SummaryShowsTheFirstFewOfAKindUnlessVerbose) {
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "$info=g" + std::to_string(i) + "\n$mame\n\n$end\n";
    text += "$info=ok\n$mame\nText.\n$end\n";
    Write("many.dat", text);
    const std::string into = (Home() / "out").string();
    std::string out;
    ASSERT_EQ(Run({"--import", (Home() / "many.dat").string(), "--into", into}, &out),
              app::kExitOk);
    EXPECT_NE(out.find("  8 entries without text to show (no document):\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("    line 17: "), std::string::npos) << out;  // the fifth
    EXPECT_EQ(out.find("    line 21: "), std::string::npos) << out;  // the sixth
    EXPECT_NE(out.find("    ... and 3 more (--verbose lists all)\n"), std::string::npos) << out;
    ASSERT_EQ(Run({"--import", (Home() / "many.dat").string(), "--into", into, "--verbose"}, &out),
              app::kExitOk);
    EXPECT_NE(out.find("    line 29: "), std::string::npos) << out;
    EXPECT_EQ(out.find("more (--verbose"), std::string::npos) << out;
}

}  // namespace
}  // namespace kavro::testing
