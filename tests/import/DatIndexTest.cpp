#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/TempFolder.h"
#include "import/DatImport.h"
#include "import/DatIndex.h"
#include "import/StreamInput.h"

namespace kavro::testing {
namespace {

namespace fs = std::filesystem;
using import::DatIndex;

class DatIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The user's cache folder must not be the caller's.
        if (const char* old = std::getenv("XDG_CACHE_HOME")) old_cache_ = old;
        ::setenv("XDG_CACHE_HOME", (Dir() / "cache").c_str(), 1);
    }
    void TearDown() override {
        if (old_cache_)
            ::setenv("XDG_CACHE_HOME", old_cache_->c_str(), 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
    }
    std::string Write(const std::string& name, const std::string& text) {
        return dir_.Write(name, text);
    }
    fs::path Dir() const { return dir_.Path(); }

  private:
    TempFolder dir_{"kavro-dat-"};
    std::optional<std::string> old_cache_;
};

const std::string kSample =
    "# comment\n"
    "$info= ryu , ken,\n"  // line 2
    "$cmd\n[Ryu]\n$end\n"
    "$info=guile\r\n"  // line 6
    "$cmd\n[Guile]\n$end\n"
    "$info=ken,blanka\n"  // line 10: ken again
    "$cmd\n[Ken]\n$end\n"
    "$info=\n";  // line 14: no names

TEST(DatIndexText, NamesOffsetsAndFirstEntryWins) {
    const DatIndex index = DatIndex::BuildFromText(kSample);
    EXPECT_EQ(index.BlockFor("anything"), "cmd");
    ASSERT_EQ(index.Entries().size(), 4u);
    EXPECT_EQ(index.Entries()[0].names, (std::vector<std::string>{"ryu", "ken"}));
    EXPECT_EQ(index.Entries()[0].offset, 10u);
    EXPECT_EQ(index.Entries()[0].line, 2);
    EXPECT_EQ(index.Entries()[1].names, (std::vector<std::string>{"guile"}));
    EXPECT_EQ(index.Find("ken"), &index.Entries()[0]);
    EXPECT_EQ(index.Find("blanka"), &index.Entries()[2]);
    EXPECT_EQ(index.Find("guile")->line, 6);
    EXPECT_EQ(index.Find("Ryu"), nullptr);
    EXPECT_EQ(index.Find(""), nullptr);
    // Entries cover the file from their $info line to the next one.
    const auto& e = index.Entries();
    for (std::size_t i = 0; i + 1 < e.size(); ++i)
        EXPECT_EQ(e[i].offset + e[i].length, e[i + 1].offset);
    EXPECT_EQ(e.back().offset + e.back().length, kSample.size());
    ASSERT_EQ(index.Problems().size(), 2u);
    EXPECT_EQ(index.Problems()[0].line, 10);
    EXPECT_EQ(index.Problems()[0].text, "\"ken\" is listed again (first at line 2)");
    EXPECT_EQ(index.Problems()[1].line, 14);
}

TEST(DatIndexText, HistoryFilesHaveNoPages) {
    EXPECT_EQ(DatIndex::BuildFromText("$info=a\n$bio\nx\n$end\n").BlockFor("command"), "bio");
    EXPECT_EQ(DatIndex::BuildFromText("").Entries().size(), 0u);
    // A byte-order mark does not hide the first $info line.
    EXPECT_NE(DatIndex::BuildFromText("\xEF\xBB\xBF$info=a\n").Find("a"), nullptr);
}

// history.xml may name an item with any character, the cache's separators included: the
// cached index gives back the same names.
TEST(DatIndexText, CacheKeepsNamesWithAnyCharacter) {
    for (const std::string name : {"a,b", "50%", "%2C", "two&#10;lines", "a b", "x%", "%g1"}) {
        SCOPED_TRACE(name);
        const DatIndex index = DatIndex::BuildFromText(
            "<history><entry><systems><system name=\"" + name +
            "\"/><system name=\"z\"/></systems><text>t</text></entry></history>");
        ASSERT_EQ(index.Entries().size(), 1u);
        const auto again = DatIndex::Deserialize(index.Serialize(), index.Identity());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->Entries()[0].names, index.Entries()[0].names);
        EXPECT_EQ(again->Serialize(), index.Serialize());
    }
}

TEST_F(DatIndexTest, FileAndTextGiveTheSameIndexAcrossReadBlocks) {
    // Lines cross the reader's blocks of 256 KiB; the last line has no line feed.
    std::string text;
    for (int i = 0; text.size() < 700 * 1024; ++i)
        text +=
            "$info=game" + std::to_string(i) + "\n$cmd\n" + std::string(i % 300, 'x') + "\n$end\n";
    text += "$info=last";
    const std::string path = Write("command.dat", text);
    const DatIndex from_file = DatIndex::Build(path);
    EXPECT_EQ(from_file.Serialize().substr(from_file.Serialize().find('\n', 18)),
              DatIndex::BuildFromText(text).Serialize().substr(
                  DatIndex::BuildFromText(text).Serialize().find('\n', 18)));
    const auto* last = from_file.Find("last");
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(import::ReadEntry(path, *last), "$info=last");
    EXPECT_EQ(import::ReadEntry(path, *from_file.Find("game7")),
              "$info=game7\n$cmd\nxxxxxxx\n$end\n");
}

TEST_F(DatIndexTest, CacheIsWrittenBesideTheFileAndUsedWhileTheFileIsUnchanged) {
    const std::string path = Write("command.dat", kSample);
    const DatIndex built = DatIndex::Open(path);
    const std::string cache = import::IndexCachePath(path);
    ASSERT_TRUE(fs::exists(cache));
    // A cache that says something else, with the right size and time, is believed: it is read,
    // not rebuilt.
    std::string text = built.Serialize();
    text.replace(text.find("guile"), 5, "GUILE");
    std::ofstream(cache, std::ios::binary) << text;
    EXPECT_NE(DatIndex::Open(path).Find("GUILE"), nullptr);
    // The file changes (size and time): the index is rebuilt and cached again.
    Write("command.dat", kSample + "$info=dhalsim\n");
    const DatIndex rebuilt = DatIndex::Open(path);
    EXPECT_NE(rebuilt.Find("dhalsim"), nullptr);
    EXPECT_NE(rebuilt.Find("guile"), nullptr);
    EXPECT_EQ(ReadFile(cache), rebuilt.Serialize());
}

TEST_F(DatIndexTest, BrokenCachesAreRebuilt) {
    const std::string path = Write("command.dat", kSample);
    const DatIndex good = DatIndex::Open(path);
    const std::string text = good.Serialize();
    const std::string cache = import::IndexCachePath(path);
    const import::FileIdentity id = good.Identity();
    EXPECT_TRUE(DatIndex::Deserialize(text, id));
    EXPECT_FALSE(DatIndex::Deserialize(text.substr(0, text.size() - 3), id));
    EXPECT_FALSE(DatIndex::Deserialize(text + "1 1 1 x\n", id));
    EXPECT_FALSE(DatIndex::Deserialize(text.substr(0, text.size() - 4) + "1 1 1 x\nend\n", id));
    EXPECT_FALSE(DatIndex::Deserialize("kavro-dat-index 2\n" + text.substr(18), id));
    // An entry that would end past the file.
    std::string past = text;
    past.replace(past.find("\n10 ") + 1, 2, "99");
    EXPECT_FALSE(DatIndex::Deserialize(past, id));
    std::ofstream(cache, std::ios::binary) << "garbage";
    EXPECT_NE(DatIndex::Open(path).Find("guile"), nullptr);
}

TEST_F(DatIndexTest, CacheGoesToTheUserCacheFolderWhenTheDataFolderRefusesIt) {
    const std::string path = Write("command.dat", kSample);
    // A folder where the cache file would go: the write fails whoever runs the test.
    fs::create_directories(import::IndexCachePath(path));
    EXPECT_NE(DatIndex::Open(path).Find("guile"), nullptr);
    ASSERT_TRUE(fs::exists(Dir() / "cache" / "kavro"));
    int caches = 0;
    for (const auto& entry : fs::directory_iterator(Dir() / "cache" / "kavro")) {
        ++caches;
        EXPECT_EQ(entry.path().extension(), ".kavro-index");
    }
    EXPECT_EQ(caches, 1);
    EXPECT_NE(DatIndex::Open(path).Find("guile"), nullptr);
}

TEST_F(DatIndexTest, MissingFileIsAnError) {
    EXPECT_THROW(DatIndex::Open((Dir() / "none.dat").string()), import::DatError);
    EXPECT_THROW(DatIndex::Build((Dir() / "none.dat").string()), import::DatError);
}

// Any part of the identity that differs alone makes a cache stale: a check weakened to "size or
// time", or one that drops a part, lets one of these through.
TEST_F(DatIndexTest, CacheOfAFileDifferingInAnyOnePartIsRefused) {
    const DatIndex good = DatIndex::Open(Write("command.dat", kSample));
    const std::string text = good.Serialize();
    const import::FileIdentity id = good.Identity();
    EXPECT_TRUE(DatIndex::Deserialize(text, id));
    const std::pair<const char*, void (*)(import::FileIdentity&)> changes[] = {
        {"size", [](import::FileIdentity& f) { ++f.size; }},
        {"modification time", [](import::FileIdentity& f) { ++f.modified_ns; }},
        {"change time", [](import::FileIdentity& f) { ++f.changed_ns; }},
        {"inode", [](import::FileIdentity& f) { ++f.inode; }},
        {"checksum", [](import::FileIdentity& f) { ++f.checksum; }},
    };
    for (const auto& [part, change] : changes) {
        import::FileIdentity other = id;
        change(other);
        EXPECT_FALSE(DatIndex::Deserialize(text, other)) << part;
    }
}

// Rewritten in place with the same size and its old modification time (as cp -p or unpacking
// an archive leave it), a file is still indexed again: the entry of beta is beta's, not the
// page that now stands at its old offset. Both a new run (the cache file) and a run that
// already holds the index (a reload) see it.
TEST_F(DatIndexTest, RewriteKeepingSizeAndTimeIsNotServedFromTheOldIndex) {
    const std::string alpha = "$info=alpha\n$cmd\n[Alpha]\n$end\n";
    const std::string beta = "$info=beta\n$cmd\n[Beta page]\n$end\n";
    const std::string gamma = "$info=gamma\n$cmd\n[Gamma pg]\n$end\n";
    const std::string path = Write("s.dat", alpha + beta + gamma);
    const auto then = fs::last_write_time(path);
    const std::vector<std::string> roots{Dir().string() + "/"};
    import::DatLibrary running;
    ASSERT_NE(import::ResolveDocument(running, roots, "beta", "s").text->find("Beta page"),
              std::string::npos);

    Write("s.dat", alpha + gamma + beta);
    fs::last_write_time(path, then);
    ASSERT_EQ(fs::file_size(path), alpha.size() + beta.size() + gamma.size());
    import::DatLibrary fresh;
    for (import::DatLibrary* library : {&fresh, &running}) {
        const auto source = import::ResolveDocument(*library, roots, "beta", "s");
        ASSERT_TRUE(source.text) << source.failure;
        EXPECT_NE(source.text->find("Beta page"), std::string::npos) << *source.text;
        EXPECT_EQ(source.text->find("Gamma"), std::string::npos) << *source.text;
    }
}

// A range that no longer holds an entry is refused, not converted.
TEST_F(DatIndexTest, StoredRangeThatIsNoEntryIsRefused) {
    const std::string path = Write("command.dat", kSample);
    const DatIndex index = DatIndex::Build(path);
    import::DatEntry moved = *index.Find("guile");
    ++moved.offset;
    EXPECT_THROW(import::ReadEntry(path, moved), import::DatError);
    import::DatEntry past = *index.Find("guile");
    past.length += 1000;
    EXPECT_THROW(import::ReadEntry(path, past), import::DatError);
    EXPECT_EQ(import::ReadEntry(path, *index.Find("guile")).rfind("$info=guile", 0), 0u);
}

// Both readers of data files stop at their limit: the import's stream reader (a pipe too: it
// never seeks) and the viewer's line reader.
TEST_F(DatIndexTest, DataFilesAreReadUpToTheirLimit) {
    const std::string text = "$info=a\n$cmd\n[A]\n$end\n";
    const std::string path = Write("command.dat", text);
    for (const auto& [limit, accepted] :
         {std::pair{text.size(), true}, {text.size() - 1, false}, {text.size() + 1, true}}) {
        SCOPED_TRACE(limit);
        if (accepted)
            EXPECT_EQ(import::ReadStream(path, limit), text);
        else
            EXPECT_THROW(import::ReadStream(path, limit), import::DatError);
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
        // A structured binding is captured by copy under its own name (clang 14 refuses it).
        const auto read = [&, most = limit] {
            return import::ForEachLine(
                file.get(), path, [](std::string_view, std::uint64_t) {}, most);
        };
        if (accepted)
            EXPECT_EQ(read(), text.size());
        else
            EXPECT_THROW(read(), import::DatError);
    }
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::thread writer([&] {
        for (int i = 0; i < 1000; ++i)
            ASSERT_EQ(::write(ends[1], text.data(), text.size()),
                      static_cast<ssize_t>(text.size()));
        ::close(ends[1]);
    });
    const std::string piped = import::ReadStream("/proc/self/fd/" + std::to_string(ends[0]));
    writer.join();
    ::close(ends[0]);
    EXPECT_EQ(piped.size(), text.size() * 1000);
}

TEST_F(DatIndexTest, LibraryKeepsTheIndexUntilTheFileChanges) {
    const std::string path = Write("command.dat", kSample);
    import::DatLibrary library;
    const DatIndex* first = &library.Open(path);
    EXPECT_EQ(&library.Open(path), first);
    Write("command.dat", kSample + "$info=dhalsim\n");
    EXPECT_NE(library.Open(path).Find("dhalsim"), nullptr);
}

TEST_F(DatIndexTest, DocumentsOfEveryRootComeBeforeDataFilesInRootOrder) {
    const std::string user = (Dir() / "user").string() + "/";
    const std::string installed = (Dir() / "installed").string() + "/";
    fs::create_directories(Dir() / "user");
    fs::create_directories(Dir() / "installed" / "ryu");
    Write("installed/ryu/command.xml", "<document/>");
    Write("user/command.dat", "$info=ryu,ken\n$cmd\n[Ken]\n$end\n");
    Write("installed/command.dat", "$info=guile\n$cmd\n[Guile]\n$end\n");
    import::DatLibrary library;
    const std::vector<std::string> roots{user, installed};

    const auto own = import::ResolveDocument(library, roots, "ryu", "command");
    EXPECT_EQ(own.path, installed + "ryu/command.xml");
    EXPECT_FALSE(own.text);
    EXPECT_EQ(own.failure, "");

    const auto ken = import::ResolveDocument(library, roots, "ken", "command");
    ASSERT_TRUE(ken.text);
    EXPECT_NE(ken.text->find("<font name=\"title\">Ken</font>"), std::string::npos);
    EXPECT_EQ(ken.name, user + "command.dat (entry \"ken\", line 1)");
    const auto guile = import::ResolveDocument(library, roots, "guile", "command");
    ASSERT_TRUE(guile.text);
    EXPECT_EQ(guile.name, installed + "command.dat (entry \"guile\", line 1)");

    const auto none = import::ResolveDocument(library, roots, "zangief", "command");
    EXPECT_EQ(none.path, user + "zangief/command.xml");
    EXPECT_FALSE(none.text);
    EXPECT_EQ(none.failure, "no such document, and \"" + user +
                                "command.dat\" has no entry for \"zangief\"; \"" + installed +
                                "command.dat\" has no entry for \"zangief\"");
    // Without any data file the document's own path is left to fail as usual.
    const auto plain = import::ResolveDocument(library, roots, "ryu", "history");
    EXPECT_EQ(plain.path, user + "ryu/history.xml");
    EXPECT_EQ(plain.failure, "");
    EXPECT_FALSE(plain.text);
}

}  // namespace
}  // namespace kavro::testing
