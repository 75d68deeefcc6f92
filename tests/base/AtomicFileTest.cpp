#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/TempFolder.h"

namespace kavro::base {
namespace {

namespace fs = std::filesystem;
using kavro::testing::ReadFile;

class AtomicFileTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir_.File(name); }
    int Entries() const { return static_cast<int>(dir_.Names().size()); }
    kavro::testing::TempFolder dir_{"kavro-atomic-"};
};

TEST_F(AtomicFileTest, CreatesAndReplacesLeavingNoTemporary) {
    std::string error;
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), "first", &error)) << error;
    EXPECT_EQ(ReadFile(Path("a.txt")), "first");
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), std::string(100000, 'x'), &error, {.sync = true}))
        << error;
    EXPECT_EQ(ReadFile(Path("a.txt")).size(), 100000u);
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), "", &error)) << error;
    EXPECT_EQ(ReadFile(Path("a.txt")), "");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(AtomicFileTest, KeepsThePermissionsItIsGiven) {
    std::string error;
    ASSERT_TRUE(ReplaceFile(Path("ini"), "old", &error)) << error;
    ASSERT_EQ(::chmod(Path("ini").c_str(), 0640), 0);
    struct stat old {};
    ASSERT_EQ(::stat(Path("ini").c_str(), &old), 0);
    ASSERT_TRUE(ReplaceFile(Path("ini"), "new", &error, {.keep = &old})) << error;
    struct stat now {};
    ASSERT_EQ(::stat(Path("ini").c_str(), &now), 0);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(Path("ini")), "new");
}

// A file is replaced only once all of it is written; a target that cannot take a rename (a
// device) is written directly; a link is followed and stays a link; a failure names the target
// and leaves what was there.
TEST_F(AtomicFileTest, ReplacesOnlyWhatWasWhollyWritten) {
    std::string error;
    ASSERT_TRUE(ReplaceFile(Path("old.txt"), "old", &error)) << error;
    {
        auto pending = PendingFile::Create(Path("old.txt"), &error);
        ASSERT_TRUE(pending) << error;
        ASSERT_TRUE(pending->Write("half", &error));
        // Never committed: the old file stays, the temporary goes.
    }
    EXPECT_EQ(ReadFile(Path("old.txt")), "old");
    EXPECT_EQ(Entries(), 1);

    fs::create_symlink(Path("old.txt"), Path("link.txt"));
    EXPECT_TRUE(ReplaceFile(Path("link.txt"), "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(Path("link.txt")));
    EXPECT_EQ(ReadFile(Path("old.txt")), "new");

    fs::create_directory(Path("taken"));
    std::ofstream(Path("taken/inside")) << "kept";
    const std::pair<std::string, std::string> failures[] = {
        {Path("no/such/x.txt"),
         "cannot make a temporary file in " + Path("no/such") + ": No such file or directory"},
        {"/dev/full", "No space left on device"},
        {Path("taken"), "it is a folder"},
    };
    for (const auto& [target, reason] : failures) {
        SCOPED_TRACE(target);
        error.clear();
        EXPECT_FALSE(ReplaceFile(target, "text", &error));
        EXPECT_EQ(error, "cannot write " + target + ": " + reason);
    }
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_EQ(ReadFile(Path("taken/inside")), "kept");
    EXPECT_EQ(Entries(), 3);
}

}  // namespace
}  // namespace kavro::base
