#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "common/TempFolder.h"
#include "common/Unprivileged.h"

namespace kavro::app {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// ---- The settings file -----------------------------------------------------------------------

class SettingsTest : public ::testing::Test {
  protected:
    SettingsValues Read(const std::string& content) {
        WriteFile(folder_.Ini(), content);
        return ReadSettings(SettingsPath(folder_.path()));
    }
    // The message of the SettingsError that reading content gives, or "" when none.
    std::string ErrorOf(const std::string& content) {
        try {
            Read(content);
        } catch (const SettingsError& e) {
            return e.what();
        }
        return "";
    }
    TempFolder folder_;
};

// A read-only kavro.ini beside the program is read; the user's file, where the flags are then
// saved, is read on top of it key by key.
TEST_F(SettingsTest, UsersFileIsReadOnTopOfTheOneBesideTheProgram) {
    fs::create_directories(folder_.File("user"));
    const std::string user = folder_.File("user/kavro.ini");
    WriteFile(folder_.Ini(), "[Input]\nExit=Q\nZoom=A\n[Settings]\nZoomed=True\n");
    WriteFile(user, "[Input]\nZoom=B\n[Settings]\nZoomed=False\nNoImages=True\n");
    const Files files = SettingsFiles(folder_.path(), user);
    ASSERT_EQ(files, (Files{folder_.Ini(), user}));
    const SettingsValues v = ReadSettings(files);
    EXPECT_EQ(v.ExitKey, 'Q') << "only beside the program";
    EXPECT_EQ(v.ZoomKey, 'B') << "the user's file wins";
    EXPECT_FALSE(v.Zoomed);
    EXPECT_TRUE(v.NoImages);
    EXPECT_EQ(SettingsFiles(folder_.path(), folder_.Ini()), Files{folder_.Ini()});
    // A bad value names the file it came from.
    WriteFile(user, "[Input]\nExit=Quit\n");
    try {
        ReadSettings(files);
        ADD_FAILURE() << "no error";
    } catch (const SettingsError& e) {
        EXPECT_NE(std::string(e.what()).find(user), std::string::npos) << e.what();
    }
}

TEST_F(SettingsTest, KeyMapWithoutAnExitKeyIsWarnedAbout) {
    const struct {
        const char* input;
        const char* warning;  // part of it; "" for none
    } cases[] = {
        {"", ""},
        {"Exit=Q", ""},
        {"ScrollUp=27", "its key 27 is ScrollUp's); only a controller input does"},
        {"Exit=Right", "its key 39 is NextSection's"},
        {"Exit=0", "no key has the code 0"},
        {"Exit=255", "no key has the code 255"},
        {"Exit=254", ""},
        {"Exit=Down\n[Joystick]\nExit=", "no controller input does either"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const SettingsValues values = Read(std::string("[Input]\n") + c.input + "\n");
        const auto warnings = SettingsWarnings({folder_.Ini()}, values);
        if (!*c.warning) {
            EXPECT_TRUE(warnings.empty()) << warnings.front();
        } else {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_NE(warnings[0].find("no key ends the viewer"), std::string::npos) << warnings[0];
            EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
        }
    }
}

TEST_F(SettingsTest, SettingsFileThatCannotBeReadIsWarnedAbout) {
    fs::create_directories(folder_.File("folder/kavro.ini"));
    auto warnings = SettingsWarnings({folder_.File("folder/kavro.ini")}, SettingsValues{});
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("cannot be read (it is a folder)"), std::string::npos);
    kavro::testing::RunUnprivileged(folder_.path(), [&] {
        WriteFile(folder_.Ini(), "[Input]\nExit=Q\n");
        fs::permissions(folder_.Ini(), fs::perms::none);
        const auto found = SettingsWarnings({folder_.Ini()}, ReadSettings(folder_.Ini()));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0], "the settings file \"" + folder_.Ini() +
                                "\" cannot be read (Permission denied): its settings are not used");
    });
}

TEST_F(SettingsTest, NoFileGivesDefaultsAndCreatesNothing) {
    const SettingsValues v = ReadSettings(SettingsPath(folder_.path()));
    EXPECT_EQ(v.ZoomKey, 17);
    EXPECT_EQ(v.ExitKey, 27);
    EXPECT_EQ(v.RemoveImagesKey, 18);
    EXPECT_EQ(v.RemoveFormattingKey, 32);
    EXPECT_EQ(v.ScrollUpKey, 38);
    EXPECT_EQ(v.ScrollDownKey, 40);
    EXPECT_EQ(v.PrevSectionKey, 37);
    EXPECT_EQ(v.NextSectionKey, 39);
    EXPECT_EQ(v.BordersKey, std::nullopt);
    EXPECT_FALSE(v.Zoomed);
    EXPECT_FALSE(v.NoImages);
    EXPECT_FALSE(v.NoFormatting);
    EXPECT_TRUE(folder_.Names().empty());
    EXPECT_EQ(SettingsPath("/x"), "/x/kavro.ini");
}

TEST_F(SettingsTest, ReadsEveryKey) {
    const SettingsValues v = Read(
        "[input]\r\nZOOM=  65  \r\nexit=1\r\nRemoveImages=2\r\nRemoveFormatting=3\r\n"
        "ScrollUp=4\r\nScrollDown=5\r\nPrevSection=6\r\nNextSection=7\r\nBorders=66\r\n"
        "[SETTINGS]\r\nzoomed=True\r\nNoImages=-1\r\nNoFormatting=1\r\n");
    EXPECT_EQ(v.ZoomKey, 65);
    EXPECT_EQ(v.ExitKey, 1);
    EXPECT_EQ(v.RemoveImagesKey, 2);
    EXPECT_EQ(v.RemoveFormattingKey, 3);
    EXPECT_EQ(v.ScrollUpKey, 4);
    EXPECT_EQ(v.ScrollDownKey, 5);
    EXPECT_EQ(v.PrevSectionKey, 6);
    EXPECT_EQ(v.NextSectionKey, 7);
    EXPECT_EQ(v.BordersKey, 66);
    EXPECT_TRUE(v.Zoomed);
    EXPECT_TRUE(v.NoImages);
    EXPECT_TRUE(v.NoFormatting);
}

TEST_F(SettingsTest, FlagTexts) {
    const std::pair<std::string, bool> cases[] = {
        {"True", true}, {"false", false}, {"TRUE", true},     {"1", true},        {"0", false},
        {"-1", true},   {"0.0", false},   {"\"True\"", true}, {"  fAlSe ", false}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Read("[Settings]\nZoomed=" + text + "\n").Zoomed, expected) << text;
}

TEST_F(SettingsTest, KeyCodesRoundHalfToEven) {
    EXPECT_EQ(Read("[Input]\nZoom=37.5\n").ZoomKey, 38);
    EXPECT_EQ(Read("[Input]\nZoom=38.5\n").ZoomKey, 38);
    EXPECT_EQ(Read("[Input]\nZoom=38.51\n").ZoomKey, 39);
    EXPECT_EQ(Read("[Input]\nZoom=-32768\n").ZoomKey, -32768);
    EXPECT_EQ(Read("[Input]\nZoom=32767\n").ZoomKey, 32767);
}

TEST_F(SettingsTest, KeyNamesAndNumbersSideBySide) {
    const SettingsValues v = Read(
        "[Input]\nExit=Q\nZoom=esc\nScrollDown=PageDown\nScrollUp=F1\nPrevSection=81\n"
        "NextSection= 27 \nPageUp=Home\nPageDown=num8\nFirstSection=5\nLastSection=&H51\n"
        "Borders=b\n");
    EXPECT_EQ(v.ExitKey, 81);
    EXPECT_EQ(v.PrevSectionKey, 81) << "the name and the number give the same code";
    EXPECT_EQ(v.ZoomKey, 27);
    EXPECT_EQ(v.NextSectionKey, 27);
    EXPECT_EQ(v.ScrollDownKey, 34);
    EXPECT_EQ(v.ScrollUpKey, 112);
    EXPECT_EQ(v.PageUpKey, 36);
    EXPECT_EQ(v.PageDownKey, 104);
    EXPECT_EQ(v.FirstSectionKey, 5) << "a digit is a number, not the digit key";
    EXPECT_EQ(v.LastSectionKey, 81);
    EXPECT_EQ(v.BordersKey, 66);
    // Numbers keep their rounding and range.
    EXPECT_EQ(Read("[Input]\nExit=2.5\n").ExitKey, 2);
    EXPECT_NE(ErrorOf("[Input]\nExit=99999\n").find("[Input] Exit = \"99999\""), std::string::npos);
    EXPECT_NE(ErrorOf("[Input]\nExit=Quit\n").find("[Input] Exit = \"Quit\" is not a key code"),
              std::string::npos);
    EXPECT_NE(ErrorOf("[Input]\nPageUp=F25\n").find("[Input] PageUp"), std::string::npos);
}

TEST_F(SettingsTest, PagingKeysDefaultToPageUpPageDownHomeAndEnd) {
    const SettingsValues v = Read("[Input]\nExit=27\n");
    EXPECT_EQ(v.PageUpKey, 33);
    EXPECT_EQ(v.PageDownKey, 34);
    EXPECT_EQ(v.FirstSectionKey, 36);
    EXPECT_EQ(v.LastSectionKey, 35);
}

TEST_F(SettingsTest, BadValuesNameFileSectionKeyAndValue) {
    const std::string path = folder_.Ini();
    EXPECT_EQ(ErrorOf("[Input]\nZoom=abc\n"),
              "Settings file \"" + path +
                  "\": [Input] Zoom = \"abc\" is not a key code (a key name such as Q, Esc, "
                  "PageDown or F1, or a whole number from -32768 to 32767)");
    EXPECT_NE(ErrorOf("[Input]\nNextSection=70000\n").find("[Input] NextSection = \"70000\""),
              std::string::npos);
    EXPECT_NE(ErrorOf("[Input]\nExit=\n").find("[Input] Exit = \"\""), std::string::npos);
    EXPECT_NE(ErrorOf("[Input]\nBorders=xyz\n").find("[Input] Borders = \"xyz\""),
              std::string::npos);
    EXPECT_NE(ErrorOf("[Settings]\nNoImages=yes\n").find("[Settings] NoImages = \"yes\""),
              std::string::npos);
    EXPECT_NE(ErrorOf("[Settings]\nZoomed=\n").find("[Settings] Zoomed"), std::string::npos);
    // Control characters are shown escaped, not written raw into the message.
    EXPECT_NE(ErrorOf("[Input]\nZoom=a\x01\n").find("\"a\\x01\""), std::string::npos);
}

TEST_F(SettingsTest, ValuesAreCutAfter249Characters) {
    // The cut removes the garbage at position 250 but not at 249.
    EXPECT_EQ(Read("[Input]\nZoom=65" + std::string(247, ' ') + "x\n").ZoomKey, 65);
    EXPECT_NE(ErrorOf("[Input]\nZoom=65" + std::string(246, ' ') + "x\n"), "");
    // Leading zeros: 249 characters keep "65", 250 leave "6".
    EXPECT_EQ(Read("[Input]\nZoom=" + std::string(247, '0') + "65\n").ZoomKey, 65);
    EXPECT_EQ(Read("[Input]\nZoom=" + std::string(248, '0') + "65\n").ZoomKey, 6);
    EXPECT_NE(ErrorOf("[Input]\nZoom=" + std::string(10000, '9') + "\n"), "");
}

TEST_F(SettingsTest, BinaryGarbageGivesDefaultsOrAnError) {
    std::mt19937 random(4242);
    std::string garbage(100000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random() & 0xFF);
    WriteFile(folder_.Ini(), garbage);
    EXPECT_EQ(ReadSettings(SettingsPath(folder_.path())).ExitKey, 27);
    // Garbage followed by a real section: the section still counts.
    EXPECT_NE(ErrorOf(garbage + "\n[Input]\nExit=?\n"), "");
}

TEST_F(SettingsTest, SavingKeepsTheRestOfTheFile) {
    const std::string before =
        "; my keys\r\n[Input]\r\nZoom=65\r\nFuture=yes\r\n\r\n[Settings]\r\nZoomed=False\r\n"
        "Unknown=1\r\n[Window]\r\nX=0";
    WriteFile(folder_.Ini(), before);
    SettingsValues values;
    values.Zoomed = true;
    values.NoImages = false;
    values.NoFormatting = true;
    std::ostringstream err;
    ASSERT_TRUE(WriteSettings(SettingsPath(folder_.path()), values, err)) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(ReadFile(folder_.Ini()),
              "; my keys\r\n[Input]\r\nZoom=65\r\nFuture=yes\r\n\r\n[Settings]\r\nZoomed=True\r\n"
              "Unknown=1\r\nNoImages=False\r\nNoFormatting=True\r\n[Window]\r\nX=0");

    const SettingsValues back = ReadSettings(SettingsPath(folder_.path()));
    EXPECT_EQ(back.ZoomKey, 65);
    EXPECT_TRUE(back.Zoomed);
    EXPECT_FALSE(back.NoImages);
    EXPECT_TRUE(back.NoFormatting);
    EXPECT_EQ(folder_.Names(), std::vector<std::string>{"kavro.ini"});
}

TEST_F(SettingsTest, SavingCreatesTheFile) {
    SettingsValues values;
    values.NoImages = true;
    std::ostringstream err;
    ASSERT_TRUE(WriteSettings(SettingsPath(folder_.path()), values, err)) << err.str();
    EXPECT_EQ(ReadFile(folder_.Ini()),
              "[Settings]\r\nZoomed=False\r\nNoImages=True\r\nNoFormatting=False\r\n");
    EXPECT_TRUE(ReadSettings(SettingsPath(folder_.path())).NoImages);
}

TEST_F(SettingsTest, SaveFailureIsReportedOnceAndDoesNotThrow) {
    fs::create_directory(folder_.Ini());
    std::ostringstream err;
    EXPECT_FALSE(WriteSettings(SettingsPath(folder_.path()), SettingsValues{}, err));
    const std::string message = err.str();
    EXPECT_NE(message.find(folder_.Ini()), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    EXPECT_TRUE(fs::is_directory(folder_.Ini()));
}

}  // namespace
}  // namespace kavro::app
