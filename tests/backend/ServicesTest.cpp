#include <gtest/gtest.h>

#include <filesystem>

#include "backend/DesktopServices.h"
#include "common/ToolkitTestSupport.h"
#include "forms/Services.h"

namespace kavro::toolkit {
namespace {

using testing::TempFolder;

void Touch(const std::string& path) {
    kavro::testing::WriteFile(path, "x");
}

TEST(FileExistsTest, OnlyNormalVisibleFilesCount) {
    TempFolder dir;
    Touch(dir.File("plain.gif"));
    Touch(dir.File(".hidden.gif"));
    std::filesystem::create_directory(dir.File("folder.gif"));
    EXPECT_TRUE(Services::FileExists(dir.File("plain.gif")));
    EXPECT_FALSE(Services::FileExists(dir.File(".hidden.gif")));
    EXPECT_FALSE(Services::FileExists(dir.File("folder.gif")));
    EXPECT_FALSE(Services::FileExists(dir.File("missing.gif")));
    EXPECT_FALSE(Services::FileExists(""));
    EXPECT_FALSE(Services::FileExists(dir.File("plain.gif") + "/"));
}

TEST(FileExistsTest, FollowsSymbolicLinks) {
    TempFolder dir;
    Touch(dir.File("target.png"));
    std::filesystem::create_symlink(dir.File("target.png"), dir.File("link.png"));
    std::filesystem::create_symlink(dir.File("gone.png"), dir.File("dangling.png"));
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_directory_symlink(dir.File("sub"), dir.File("sublink"));
    EXPECT_TRUE(Services::FileExists(dir.File("link.png")));
    EXPECT_FALSE(Services::FileExists(dir.File("dangling.png")));
    EXPECT_FALSE(Services::FileExists(dir.File("sublink")));
}

TEST(HeadlessServicesTest, MessagesGoToStderrAndAreKept) {
    HeadlessServices sys("/opt/kavro", "mk command", 28800, 16200);
    ::testing::internal::CaptureStderr();
    sys.MsgBox("Usage: kavro rom docname");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Usage: kavro rom docname\n");
    EXPECT_EQ(sys.LastMessage(), "Usage: kavro rom docname");
    sys.Beep();
    sys.Beep();
    EXPECT_EQ(sys.Beeps(), 2);
    EXPECT_EQ(sys.AppPath(), "/opt/kavro");
    EXPECT_EQ(sys.CommandLine(), "mk command");
    EXPECT_FLOAT_EQ(sys.ScreenWidth(), 28800);
    sys.SetScreen(100, 200);
    EXPECT_FLOAT_EQ(sys.ScreenHeight(), 200);
}

TEST(HeadlessServicesTest, EndThrowsProgramEndWithStatus) {
    HeadlessServices sys("", "", 1, 1);
    try {
        sys.End(3);
        FAIL() << "End returned";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 3);
    }
}

TEST(DesktopServicesTest, WithoutVideoTheMessageStillReachesStderr) {
    DesktopServices sys("", "", 1, 1);
    ::testing::internal::CaptureStderr();
    sys.MsgBox("no display here");
    sys.Beep();  // stderr is not a terminal while captured: no bell byte
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "no display here\n");
    EXPECT_EQ(sys.LastMessage(), "no display here");
}

}  // namespace
}  // namespace kavro::toolkit
