#include "base/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kavro::base {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kavro-atomic-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int Entries() const {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_))
            ++n;
        return n;
    }
    fs::path dir_;
};

TEST_F(AtomicFileTest, CreatesAndReplacesLeavingNoTemporary) {
    std::string error;
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), "first", &error)) << error;
    EXPECT_EQ(Read(Path("a.txt")), "first");
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), std::string(100000, 'x'), &error, {.sync = true}))
        << error;
    EXPECT_EQ(Read(Path("a.txt")).size(), 100000u);
    ASSERT_TRUE(ReplaceFile(Path("a.txt"), "", &error)) << error;
    EXPECT_EQ(Read(Path("a.txt")), "");
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
    EXPECT_EQ(Read(Path("ini")), "new");
}

TEST_F(AtomicFileTest, FailuresSayWhereAndLeaveWhatWasThere) {
    std::string error;
    EXPECT_FALSE(ReplaceFile(Path("no/such/folder/a.txt"), "x", &error));
    EXPECT_NE(error.find(Path("no/such/folder")), std::string::npos) << error;

    // A folder cannot be replaced by a file: it stays, with what it holds.
    fs::create_directory(Path("taken"));
    std::ofstream(Path("taken/inside")) << "kept";
    error.clear();
    EXPECT_FALSE(ReplaceFile(Path("taken"), "x", &error));
    EXPECT_NE(error.find(Path("taken")), std::string::npos) << error;
    EXPECT_EQ(Read(Path("taken/inside")), "kept");
    EXPECT_EQ(Entries(), 1);
}

TEST_F(AtomicFileTest, DevicesAreWrittenInPlace) {
    std::string error;
    EXPECT_TRUE(ReplaceFile("/dev/null", "anything", &error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
}  // namespace kavro::base
