// The whole program as a frontend runs it: options, the exit key among --keys, messages that
// cannot be shown in a box, and a manual paged with a gamepad.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "../manuals/SamplePdf.h"
#include "app/Program.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

class ProgramTest : public ViewerTest {
  protected:
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"kavro", "--home", Home().string()});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        return app::RunProgram(static_cast<int>(argv.size()), argv.data());
    }
};

TEST_F(ProgramTest, RenderWithTheExitKeyWritesThePictureAndTheDumpThenSaves) {
    std::string lines;
    for (int i = 0; i < 100; ++i)
        lines += "line " + std::to_string(i) + "\n";
    Write("metadata/mk/command.xml", "<d>" + Head() + "<section>\n" + lines + "</section></d>");
    Write("kavro.ini", "[Input]\r\nExit=Esc\r\n");
    const std::string png = (Home() / "with-esc.png").string();
    const std::string dump = (Home() / "with-esc.json").string();
    EXPECT_EQ(Run({"--screen", "320x240", "--render", png, "--dump", dump, "--keys",
                   "Space,Down,Esc", "mk", "command"}),
              0);
    const auto state = nlohmann::json::parse(ReadBack("with-esc.json"));
    EXPECT_TRUE(state["settings"]["NoFormatting"].get<bool>());
    EXPECT_LT(state["picSection"][0]["Top"].get<double>(),
              state["fraScreenArea"]["Top"].get<double>())
        << "the Down before Esc is in the dump";
    const std::string ini = ReadBack("kavro.ini");
    EXPECT_EQ(ini.rfind("[Input]\r\nExit=Esc\r\n", 0), 0u) << ini;
    EXPECT_NE(ini.find("NoFormatting=True"), std::string::npos) << ini;

    // The same keys without Esc draw the same picture.
    Write("kavro.ini", "");
    const std::string without = (Home() / "without-esc.png").string();
    EXPECT_EQ(
        Run({"--screen", "320x240", "--render", without, "--keys", "Space,Down", "mk", "command"}),
        0);
    const std::string picture = ReadBack("with-esc.png");
    EXPECT_GT(picture.size(), 100u);
    EXPECT_EQ(picture, ReadBack("without-esc.png"));
}

// A write that fails names the file, leaves nothing behind and ends with the status for a screen
// that cannot be written.
TEST_F(ProgramTest, RenderedPictureIsOpaqueAndAFailedWriteEndsWithItsStatus) {
    Write("metadata/mk/command.xml",
          "<d>" + Head() + "<section>\nblended text edges\n</section></d>");
    const std::string png = (Home() / "screen.png").string();
    EXPECT_EQ(Run({"--screen", "320x240", "--render", png, "mk", "command"}), 0);
    const std::string picture = ReadBack("screen.png");
    ASSERT_GT(picture.size(), 26u);
    EXPECT_EQ(static_cast<unsigned char>(picture[25]), 2) << "an RGB picture, without alpha";

    const std::vector<std::string> targets{(Home() / "no" / "such" / "folder" / "out.png").string(),
                                           "/dev/full"};
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        ::testing::internal::CaptureStderr();
        const int status = Run({"--screen", "320x240", "--render", target, "mk", "command"});
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(status, app::kExitEnvironment);
        EXPECT_NE(err.find("Kavro cannot write the screen to \"" + target + "\": cannot write " +
                           target + ": "),
                  std::string::npos)
            << err;
    }
    EXPECT_FALSE(std::filesystem::exists(Home() / "no"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST_F(ProgramTest, DocumentNamedLikeAnOptionAfterTheEndOfOptions) {
    Write("metadata/mk/--x.xml", "<d><section>\nx\n</section></d>");
    const std::string png = (Home() / "x.png").string();
    EXPECT_EQ(Run({"--render", png, "--screen", "64x48", "--", "mk", "--x"}), 0);
    EXPECT_EQ(Run({"--render", png, "--screen", "64x48", "mk", "--x"}), app::kExitUsage);
}

// Options are validated in one place: unknown single-dash options, combinations that would
// drop one of them and a file option given twice are refused naming what is wrong.
// Where the desktop cannot show a box (here: no display server at all for SDL's dialogs), the
// message still reaches stderr and the exit status is the error's.
TEST_F(ProgramTest, MessageBoxThatCannotBeShownKeepsStderrAndTheStatus) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Write("kavro.ini", "[Input]\nExit=Quit\n");
    ::testing::internal::CaptureStderr();
    const int status = Run({"mk", "command"});
    const std::string err = ::testing::internal::GetCapturedStderr();
    if (display) ::setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(status, app::kExitSettings);
    EXPECT_NE(err.find("[Input] Exit = \"Quit\" is not a key code"), std::string::npos) << err;
    EXPECT_NE(err.find("kavro: the message box could not be shown: "), std::string::npos) << err;
}

// A game controller plugged in before the viewer starts, as SDL's virtual device: its buttons go
// through the window's controller handling and the default mapping (d-pad right and left switch
// pages, back leaves) like a real pad's.
class GamepadProgramTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        // The page cache and the places are the test's own, and only while it runs.
        for (const char* name : {"XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("XDG_CACHE_HOME", (Home() / "cache").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (Home() / "state").c_str(), 1);
        if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // The offscreen display has no GPU; keep the GL stack out of the process.
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "test pad";
        index_ = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index_, 0) << SDL_GetError();
        pad_ = SDL_JoystickOpen(index_);
        ASSERT_NE(pad_, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        if (pad_) SDL_JoystickClose(pad_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        for (const auto& [name, value] : saved_)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        ProgramTest::TearDown();
    }
    // Waits up to 30 s until the viewer's dump satisfies done; false when it never does.
    bool AwaitDump(const std::function<bool(const nlohmann::json&)>& done) {
        for (int waited = 0; waited < 3000; ++waited) {
            const auto state = nlohmann::json::parse(ReadBack("state.json"), nullptr, false);
            if (!state.is_discarded() && done(state)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // One press of a button: held until the viewer has handled it, then let go at once (a
    // button held 400 ms repeats).
    bool Press(SDL_GameControllerButton button, int section_after) {
        SDL_JoystickSetVirtualButton(pad_, button, 1);
        const bool handled = AwaitDump([&](const nlohmann::json& s) {
            return s["CurrentSection"].get<int>() == section_after;
        });
        SDL_JoystickSetVirtualButton(pad_, button, 0);
        return handled;
    }

    int index_ = -1;
    SDL_Joystick* pad_ = nullptr;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(GamepadProgramTest, ManualIsPagedWithTheDpadAndLeftWithBack) {
    Write("metadata/mk/manual.pdf", SamplePdf(4));
    std::vector<int> pages;  // the section on screen after each press
    std::vector<bool> page_on_top;
    std::atomic<bool> ended = false, closed = false;
    std::thread pad([&] {
        const bool loaded = AwaitDump([](const nlohmann::json& s) {
            return s["CurrentSection"].get<int>() == 1 && s["SectionMarkup"].size() == 5;
        });
        for (const auto& [button, after] : {std::pair{SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 2},
                                            std::pair{SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 3},
                                            std::pair{SDL_CONTROLLER_BUTTON_DPAD_LEFT, 2}}) {
            if (!loaded || !Press(button, after)) break;
            const auto state = nlohmann::json::parse(ReadBack("state.json"));
            pages.push_back(state["CurrentSection"].get<int>());
            // The page switched to is the one at the top of the screen area.
            page_on_top.push_back(state["picSection"][after - 1]["Top"].get<double>() ==
                                  state["fraScreenArea"]["Top"].get<double>());
        }
        // Back is the exit button; when it does not end the viewer, the window is closed.
        SDL_JoystickSetVirtualButton(pad_, SDL_CONTROLLER_BUTTON_BACK, 1);
        for (int waited = 0; !ended && waited < 3000; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ended) return;
        closed = true;
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    const int status =
        Run({"--screen", "640x480", "--dump", (Home() / "state.json").string(), "mk", "manual"});
    ended = true;
    pad.join();
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(closed) << "back did not end the viewer";
    EXPECT_EQ(pages, (std::vector<int>{2, 3, 2}));
    EXPECT_EQ(page_on_top, (std::vector<bool>{true, true, true}));
    // Left with back as with the exit key: the place is kept.
    EXPECT_NE(ReadBack("state/kavro/places").find("mk\tmanual"), std::string::npos);
}

}  // namespace
}  // namespace kavro::testing
