// Where an import writes: a person's documents in any letter case, folders in the way, files
// replaced only when wholly written.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/TempFolder.h"
#include "import/DatConverter.h"
#include "import/ImportTarget.h"

namespace kavro::testing {
namespace {

namespace fs = std::filesystem;

class ImportTargetTest : public ::testing::Test {
  protected:
    void Put(const std::string& relative, const std::string& text) {
        WriteFile(dir_ / relative, text);
    }
    TempFolder folder_{"kavro-target-"};
    const fs::path dir_ = folder_.Path();
};

const std::string kPersons = "<document><section>mine</section></document>";
const std::string kImports = std::string(import::kConvertedMark) + "x -->";

TEST_F(ImportTargetTest, PersonsDocumentsInAnyLetterCaseAreKept) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // "" text: a folder
        bool overwrite;
        const char* path;  // where it is written; "" when not
        bool skipped;
        const char* problem;  // part of the problem, "" for none
    };
    const Case cases[] = {
        {"nothing there", {}, false, "one/command.xml", false, ""},
        {"a person's, another case", {{"one/Command.xml", kPersons}}, false, "", true, ""},
        {"forced: replaced in its own name",
         {{"one/Command.xml", kPersons}},
         true,
         "one/Command.xml",
         false,
         ""},
        {"an import's, another case",
         {{"one/COMMAND.xml", kImports}},
         false,
         "one/COMMAND.xml",
         false,
         ""},
        {"both spellings, one a person's",
         {{"one/command.xml", kImports}, {"one/Command.xml", kPersons}},
         false,
         "",
         true,
         ""},
        {"item folder in another case",
         {{"ONE/command.xml", kImports}},
         false,
         "ONE/command.xml",
         false,
         ""},
        {"a folder in the way",
         {{"one/command.xml/x", kPersons}},
         true,
         "",
         false,
         "is in the way: it is no file"},
        {"a file where the item folder goes",
         {{"one", kPersons}},
         true,
         "",
         false,
         "is in the way: it is no folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        for (const auto& [name, text] : c.files)
            Put(name, text);
        const import::ImportTarget target(dir_, c.overwrite);
        const auto place = target.Find("one", "command.xml");
        EXPECT_EQ(place.path ? place.path->lexically_relative(dir_).string() : "",
                  std::string(c.path));
        EXPECT_EQ(place.skipped, c.skipped);
        if (*c.problem)
            EXPECT_NE(place.problem.find(c.problem), std::string::npos) << place.problem;
        else
            EXPECT_EQ(place.problem, "");
    }
}

// Folders made for a document that could not be written are removed again; folders that
// hold anything stay.
TEST_F(ImportTargetTest, FailedWriteThrowsAndLeavesNoEmptyFolders) {
    {
        import::ImportTarget target(dir_ / "made" / "deeper", false);
        target.Write(dir_ / "made" / "deeper" / "ok" / "command.xml", "ok");
        const std::string too_long(300, 'x');
        EXPECT_THROW(target.Write(dir_ / "made" / "deeper" / too_long / "command.xml", "x"),
                     import::ImportWriteError);
    }
    EXPECT_EQ(ReadFile(dir_ / "made" / "deeper" / "ok" / "command.xml"), "ok");
    {
        import::ImportTarget target(dir_ / "new" / "deep", false);
        EXPECT_THROW(target.Write(dir_ / "new" / "deep" / std::string(300, 'y') / "a.xml", "x"),
                     import::ImportWriteError);
    }
    EXPECT_FALSE(fs::exists(dir_ / "new"));
}

// The target folder is read once: what the import writes afterwards is known without reading
// it again, in every part of a software item's folder, whatever the letter case.
TEST_F(ImportTargetTest, FoldersMadeByTheImportAreFoundAgainInAnyLetterCase) {
    Put("NES/Zelda/history.xml", kImports);
    import::ImportTarget target(dir_, false);
    const auto relative = [&](const import::ImportTarget::Place& place) {
        return place.path ? place.path->lexically_relative(dir_).string() : "";
    };
    EXPECT_EQ(relative(target.Find("nes/zelda", "history.xml")), "NES/Zelda/history.xml");
    EXPECT_EQ(relative(target.Find("sf2", "history.xml")), "sf2/history.xml");
    target.Write(dir_ / "sf2" / "history.xml", kPersons);
    target.Write(dir_ / "NES" / "metroid" / "history.xml", kImports);
    target.Publish();
    const auto again = target.Find("SF2", "History.xml");
    EXPECT_TRUE(again.skipped);
    EXPECT_EQ(relative(target.Find("nes/METROID", "history.xml")), "NES/metroid/history.xml");
}

// A document that already holds the text is left as it is (the same file, its time stamp
// kept: a second name of the file still names it); other text, longer or of the same length,
// replaces it, once published.
TEST_F(ImportTargetTest, UnchangedDocumentsAreNotWrittenAgain) {
    Put("one/command.xml", kImports);
    const fs::path path = dir_ / "one" / "command.xml";
    fs::create_hard_link(path, dir_ / "held");
    import::ImportTarget target(dir_, false);
    target.Put(target.Find("one", "command.xml"), kImports);
    target.Publish();
    EXPECT_EQ(fs::hard_link_count(path), 2u);
    for (const std::string& text : {kImports + "!", kImports + "?"}) {
        target.Put(target.Find("one", "command.xml"), text);
        EXPECT_NE(ReadFile(path), text) << "named before the disk was synced";
        target.Publish();
        EXPECT_EQ(ReadFile(path), text);
        EXPECT_EQ(fs::hard_link_count(path), 1u);
    }
    EXPECT_EQ(ReadFile(dir_ / "held"), kImports);
}

}  // namespace
}  // namespace kavro::testing
