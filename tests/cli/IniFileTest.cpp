#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cli/IniFile.h"
#include "common/TempFolder.h"
#include "common/Unprivileged.h"

namespace kavro::app {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// ---- Reading -------------------------------------------------------------------------------

class IniReadTest : public ::testing::Test {
  protected:
    std::optional<std::string> Get(const std::string& content, std::string_view section,
                                   std::string_view key) {
        WriteFile(folder_.Ini(), content);
        return IniFile::GetProfileString(folder_.Ini(), section, key);
    }
    TempFolder folder_;
};

TEST_F(IniReadTest, MissingFileSectionOrKeyGivesNothing) {
    EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "Input", "Zoom"), std::nullopt);
    EXPECT_EQ(IniFile::GetProfileString(folder_.File("no/such/kavro.ini"), "Input", "Zoom"),
              std::nullopt);
    EXPECT_EQ(Get("[Input]\nExit=27\n", "Settings", "Exit"), std::nullopt);
    EXPECT_EQ(Get("[Input]\nExit=27\n", "Input", "Zoom"), std::nullopt);
    // A line without "=" is no key, and keys before the first header belong to no section.
    EXPECT_EQ(Get("Zoom=1\n[Input]\nZoom\n", "Input", "Zoom"), std::nullopt);
}

TEST_F(IniReadTest, NamesMatchIgnoringCaseAndBlanks) {
    const std::string content = "  [ iNPUT ]  \r\n\t zOOm \t=  65  \r\n";
    EXPECT_EQ(Get(content, "Input", "Zoom"), "65");
    EXPECT_EQ(Get(content, " input ", " ZOOM "), "65");
}

TEST_F(IniReadTest, ValueIsTextAfterFirstEqualsWithoutBlanks) {
    EXPECT_EQ(Get("[A]\nk = a = b \n", "A", "k"), "a = b");
    EXPECT_EQ(Get("[A]\nk=\n", "A", "k"), "");
    EXPECT_EQ(Get("[A]\nk =   \r\n", "A", "k"), "");
    EXPECT_EQ(Get("[A]\nk=  x  y\t\n", "A", "k"), "x  y");
}

TEST_F(IniReadTest, OnePairOfEnclosingQuotesIsRemoved) {
    EXPECT_EQ(Get("[A]\nk=\"a b\"\n", "A", "k"), "a b");
    EXPECT_EQ(Get("[A]\nk= 'x' \n", "A", "k"), "x");
    EXPECT_EQ(Get("[A]\nk=\"\"\n", "A", "k"), "");
    EXPECT_EQ(Get("[A]\nk=\"x'\n", "A", "k"), "\"x'");
    EXPECT_EQ(Get("[A]\nk=\"\n", "A", "k"), "\"");
    EXPECT_EQ(Get("[A]\nk=\"\"x\"\"\n", "A", "k"), "\"x\"");
}

TEST_F(IniReadTest, FirstSectionAndFirstKeyWin) {
    const std::string content = "[A]\nk=1\nk=2\n[B]\nj=5\n[A]\nk=3\nj=4\n";
    EXPECT_EQ(Get(content, "A", "k"), "1");
    // Only the first [A] is searched, as the Windows functions do.
    EXPECT_EQ(Get(content, "A", "j"), std::nullopt);
    EXPECT_EQ(Get(content, "B", "j"), "5");
}

TEST_F(IniReadTest, LineEndingsAndStrayCharacters) {
    EXPECT_EQ(Get("[A]\r\nk=1\r\nj=2", "A", "j"), "2");
    EXPECT_EQ(Get("[A]\nk=1\r\nj=2\r", "A", "j"), "2");
    EXPECT_EQ(Get("[A]\r\nk=1\nj=2\r\n", "A", "k"), "1");
    // A header without "]" is no header.
    EXPECT_EQ(Get("[A]\n[B\nk=1\n", "A", "k"), "1");
    // A comment is no key of that name.
    EXPECT_EQ(Get("[A]\n;k=1\n", "A", "k"), std::nullopt);
    EXPECT_EQ(Get("\xEF\xBB\xBF[A]\nk=1\n", "A", "k"), "1");
}

TEST_F(IniReadTest, FolderOrDeviceInPlaceOfFileGivesNothing) {
    fs::create_directory(folder_.Ini());
    EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "A", "k"), std::nullopt);
    EXPECT_EQ(IniFile::GetProfileString("/dev/zero", "A", "k"), std::nullopt);
    ASSERT_EQ(::mkfifo(folder_.File("pipe").c_str(), 0600), 0);
    EXPECT_EQ(IniFile::GetProfileString(folder_.File("pipe"), "A", "k"), std::nullopt);
}

TEST_F(IniReadTest, UnreadableFileGivesNothing) {
    kavro::testing::RunUnprivileged(folder_.path(), [&] {
        WriteFile(folder_.Ini(), "[A]\nk=1\n");
        fs::permissions(folder_.Ini(), fs::perms::none);
        EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "A", "k"), std::nullopt);
    });
}

TEST_F(IniReadTest, LongValuesAndGarbageDoNotCrash) {
    const std::string long_value(10000, '7');
    EXPECT_EQ(Get("[A]\nk=" + long_value + "\n", "A", "k"), long_value);

    std::mt19937 random(12345);
    std::string garbage(200000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random() & 0xFF);
    WriteFile(folder_.Ini(), garbage);
    for (const char* key : {"Zoom", "", "=", "]"})
        EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "Input", key), std::nullopt) << key;
    EXPECT_EQ(Get(garbage + "\n[A]\nk=1\n", "A", "k"), "1");
}

TEST_F(IniReadTest, ReadsOnlyTheFirstMebibyte) {
    const std::string filler(IniFile::kMaxReadBytes, ';');
    EXPECT_EQ(Get("[A]\nk=1\n" + filler, "A", "k"), "1");
    EXPECT_EQ(Get(filler + "\n[A]\nk=1\n", "A", "k"), std::nullopt);
}

// ---- Writing -------------------------------------------------------------------------------

class IniWriteTest : public ::testing::Test {
  protected:
    bool Set(std::string_view section, std::string_view key, std::string_view value) {
        error_.clear();
        return IniFile::WriteProfileString(folder_.Ini(), section, key, value, &error_);
    }
    // Writes content, sets one value and gives the file afterwards.
    std::string Edit(const std::string& content, std::string_view section, std::string_view key,
                     std::string_view value) {
        WriteFile(folder_.Ini(), content);
        EXPECT_TRUE(Set(section, key, value)) << error_;
        return ReadFile(folder_.Ini());
    }
    TempFolder folder_;
    std::string error_;
};

TEST_F(IniWriteTest, ReplacingKeepsEveryOtherByte) {
    const std::string before =
        "; kavro settings\r\n[Input]\r\nZoom = 65 \r\n\r\n[settings]\r\n  zoomed =  0  ; x\r\n"
        "Zoomed=1\r\n[Other]\r\nZoomed=0\r\n";
    EXPECT_EQ(Edit(before, "Settings", "Zoomed", "True"),
              "; kavro settings\r\n[Input]\r\nZoom = 65 \r\n\r\n[settings]\r\n  zoomed =  True\r\n"
              "Zoomed=1\r\n[Other]\r\nZoomed=0\r\n");
    // Profile files have no comments after a value: "; x" belonged to the old value.
}

TEST_F(IniWriteTest, EmptyValueIsFilledAndMissingFinalBreakKept) {
    EXPECT_EQ(Edit("[A]\nk=", "A", "k", "v"), "[A]\nk=v");
    EXPECT_EQ(Edit("[A]\nk=  \n", "A", "k", "v"), "[A]\nk=  v\n");
    EXPECT_EQ(Edit("[A]\nk = 1 \t\n", "A", "k", "22"), "[A]\nk = 22 \t\n");
}

TEST_F(IniWriteTest, MissingKeyGoesAfterLastNonBlankLineOfSection) {
    EXPECT_EQ(Edit("[A]\nx=1\n\n\n[B]\ny=2\n", "A", "k", "v"), "[A]\nx=1\nk=v\n\n\n[B]\ny=2\n");
    EXPECT_EQ(Edit("[A]\r\n\r\n[B]\r\n", "a", "k", "v"), "[A]\r\nk=v\r\n\r\n[B]\r\n");
    EXPECT_EQ(Edit("[B]\n[A]\r\n; note", "A", "k", "v"), "[B]\n[A]\r\n; note\nk=v");
}

TEST_F(IniWriteTest, MissingSectionIsAppended) {
    EXPECT_EQ(Edit("[Input]\r\nZoom=65\r\n", "Settings", "Zoomed", "False"),
              "[Input]\r\nZoom=65\r\n[Settings]\r\nZoomed=False\r\n");
    EXPECT_EQ(Edit("[Input]\nZoom=65", "Settings", "Zoomed", "False"),
              "[Input]\nZoom=65\n[Settings]\nZoomed=False\n");
    EXPECT_EQ(Edit("; only", "Settings", "Zoomed", "False"),
              "; only\r\n[Settings]\r\nZoomed=False\r\n");
}

TEST_F(IniWriteTest, CreatesMissingFileWithCrLf) {
    ASSERT_TRUE(Set("Settings", "Zoomed", "True")) << error_;
    EXPECT_EQ(ReadFile(folder_.Ini()), "[Settings]\r\nZoomed=True\r\n");
    EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "Settings", "Zoomed"), "True");
}

TEST_F(IniWriteTest, LeavesNoTemporaryFiles) {
    WriteFile(folder_.Ini(), "[A]\nk=1\n");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(Set("A", "k", std::to_string(i))) << error_;
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kavro.ini"});
}

TEST_F(IniWriteTest, KeepsPermissionBits) {
    WriteFile(folder_.Ini(), "[A]\nk=1\n");
    fs::permissions(folder_.Ini(),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(Set("A", "k", "2")) << error_;
    EXPECT_EQ(fs::status(folder_.Ini()).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniWriteTest, WritesThroughSymbolicLinks) {
    fs::create_directory(folder_.File("real"));
    WriteFile(folder_.File("real/settings.ini"), "[A]\nk=1\n");
    fs::create_symlink("real/settings.ini", folder_.Ini());
    ASSERT_TRUE(Set("A", "k", "2")) << error_;
    EXPECT_TRUE(fs::is_symlink(folder_.Ini()));
    EXPECT_EQ(ReadFile(folder_.File("real/settings.ini")), "[A]\nk=2\n");

    // A dangling link gets its target created.
    fs::remove(folder_.File("real/settings.ini"));
    ASSERT_TRUE(Set("A", "k", "3")) << error_;
    EXPECT_EQ(ReadFile(folder_.File("real/settings.ini")), "[A]\r\nk=3\r\n");

    // A loop of links is an error, not a hang.
    fs::create_symlink("loop2", folder_.File("loop1"));
    fs::create_symlink("loop1", folder_.File("loop2"));
    EXPECT_FALSE(IniFile::WriteProfileString(folder_.File("loop1"), "A", "k", "1", &error_));
    EXPECT_NE(error_.find("link"), std::string::npos) << error_;
}

TEST_F(IniWriteTest, FolderInPlaceOfFileIsReported) {
    fs::create_directory(folder_.Ini());
    EXPECT_FALSE(Set("A", "k", "1"));
    EXPECT_NE(error_.find("is a folder"), std::string::npos) << error_;
    EXPECT_TRUE(fs::is_directory(folder_.Ini()));
    EXPECT_TRUE(fs::is_empty(folder_.Ini()));
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kavro.ini"});
}

TEST_F(IniWriteTest, MissingFolderIsReported) {
    EXPECT_FALSE(
        IniFile::WriteProfileString(folder_.File("none/kavro.ini"), "A", "k", "1", &error_));
    EXPECT_NE(error_.find("none"), std::string::npos) << error_;
    EXPECT_FALSE(fs::exists(folder_.File("none")));
}

TEST_F(IniWriteTest, UnreadableFileIsNeverReplaced) {
    kavro::testing::RunUnprivileged(folder_.path(), [&] {
        WriteFile(folder_.Ini(), "[A]\nk=1\nsecret=keep\n");
        fs::permissions(folder_.Ini(), fs::perms::none);
        EXPECT_FALSE(Set("A", "k", "2"));
        EXPECT_NE(error_.find("Permission denied"), std::string::npos) << error_;
        fs::permissions(folder_.Ini(), fs::perms::owner_read);
        EXPECT_EQ(ReadFile(folder_.Ini()), "[A]\nk=1\nsecret=keep\n");
        EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kavro.ini"});
    });
}

TEST_F(IniWriteTest, ReadOnlyFileOrFolderIsReported) {
    kavro::testing::RunUnprivileged(folder_.path(), [&] {
        WriteFile(folder_.Ini(), "[A]\nk=1\n");
        fs::permissions(folder_.Ini(), fs::perms::owner_read);
        EXPECT_FALSE(Set("A", "k", "2"));
        EXPECT_FALSE(error_.empty());
        EXPECT_EQ(ReadFile(folder_.Ini()), "[A]\nk=1\n");

        fs::permissions(folder_.Ini(), fs::perms::owner_read | fs::perms::owner_write);
        fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(Set("A", "k", "2"));
        EXPECT_NE(error_.find("temporary file in " + folder_.path() + ": Permission denied"),
                  std::string::npos)
            << error_;
        EXPECT_EQ(ReadFile(folder_.Ini()), "[A]\nk=1\n");
        EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kavro.ini"});
    });
}

TEST_F(IniWriteTest, EntriesThatWouldBreakTheFileAreRefused) {
    WriteFile(folder_.Ini(), "[A]\nk=1\n");
    EXPECT_FALSE(Set("A", "k", "2\n[B]"));
    EXPECT_FALSE(Set("A]", "k", "2"));
    EXPECT_FALSE(Set("A", "k=j", "2"));
    EXPECT_FALSE(Set("A", " ", "2"));
    EXPECT_FALSE(Set("", "k", "2"));
    EXPECT_EQ(ReadFile(folder_.Ini()), "[A]\nk=1\n");
}

TEST_F(IniWriteTest, GarbageAndLongValuesSurvive) {
    std::mt19937 random(999);
    std::string garbage(50000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random() & 0xFF);
    WriteFile(folder_.Ini(), garbage);
    ASSERT_TRUE(Set("Settings", "Zoomed", "True")) << error_;
    const std::string after = ReadFile(folder_.Ini());
    EXPECT_EQ(after.substr(0, garbage.size()), garbage);
    EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "Settings", "Zoomed"), "True");

    const std::string long_value(10000, 'x');
    ASSERT_TRUE(Set("Settings", "Zoomed", long_value)) << error_;
    EXPECT_EQ(IniFile::GetProfileString(folder_.Ini(), "Settings", "Zoomed"), long_value);
}

}  // namespace
}  // namespace kavro::app
