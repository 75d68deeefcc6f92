#include <gtest/gtest.h>

#include "app/Settings.h"
#include "backend/Screen.h"
#include "common/ViewerFixture.h"

namespace kavro::testing {
namespace {

using Input = toolkit::ControllerInput;
using Kind = Input::Kind;

std::size_t At(app::Action a) {
    return static_cast<std::size_t>(a);
}

class CabinetTest : public ViewerTest {
  protected:
    app::Viewer& LoadThree(const std::string& command_line = "mk command") {
        std::string body = Head();
        for (int s = 0; s < 3; ++s) {
            body += "<section>\n";
            for (int line = 0; line < 80; ++line)
                body += "line " + std::to_string(line) + "\n";
            body += "</section>";
        }
        return Load(body, command_line);
    }
};

TEST_F(CabinetTest, DefaultInputsWithoutAJoystickSectionRunTheActions) {
    auto& v = LoadThree();
    const int first = v.CurrentSection;
    app::Form_ControllerDown(v, Input{Kind::ControllerButton, "dpright", 0, 0});
    EXPECT_EQ(v.CurrentSection, first + 1);
    app::Form_ControllerDown(v, Input{Kind::JoystickHat, "", 0, Input::kHatRight});
    EXPECT_EQ(v.CurrentSection, first + 2);
    app::Form_ControllerDown(v, Input{Kind::JoystickAxis, "", 0, -1});
    EXPECT_EQ(v.CurrentSection, first + 1);
    app::Form_ControllerDown(v, Input{Kind::JoystickButton, "", 9, 0});  // not set: nothing
    EXPECT_EQ(v.CurrentSection, first + 1);
    app::Form_ControllerDown(v, Input{Kind::ControllerButton, "a", 0, 0});
    EXPECT_TRUE(v.Zoomed);
    try {
        app::Form_ControllerDown(v, Input{Kind::ControllerButton, "back", 0, 0});
        FAIL() << "back did not end the program";
    } catch (const toolkit::ProgramEnd& end) {
        EXPECT_EQ(end.status, 0);
    }
    // No kavro.ini beside the program: the flags go to the user's configuration folder.
    EXPECT_FALSE(std::filesystem::exists(Home() / "kavro.ini"));
    EXPECT_NE(ReadBack("user-config/kavro/kavro.ini").find("Zoomed=True"), std::string::npos);
}

TEST_F(CabinetTest, JoystickSectionMapsHatsAxesButtonsAndNamesInPrecedenceOrder) {
    Write("kavro.ini",
          "[Joystick]\nNextSection = hat 1 DOWN, axis 3 +\nPrevSection=button 2\n"
          "ScrollDown=button 2\nExit=start\nZoom=\nRemoveImages=righty-\n");
    const app::SettingsValues values = app::ReadSettings(app::SettingsPath(Home().string()));
    const auto& map = values.ControllerInputs;
    EXPECT_EQ(map[At(app::Action::NextSection)],
              (std::vector<Input>{{Kind::JoystickHat, "", 1, Input::kHatDown},
                                  {Kind::JoystickAxis, "", 3, +1}}));
    EXPECT_EQ(map[At(app::Action::Exit)],
              (std::vector<Input>{{Kind::ControllerButton, "start", 0, 0}}));
    EXPECT_TRUE(map[At(app::Action::Zoom)].empty()) << "an empty value sets no input";
    EXPECT_EQ(map[At(app::Action::RemoveImages)],
              (std::vector<Input>{{Kind::ControllerAxis, "righty", 0, -1}}));
    EXPECT_EQ(map[At(app::Action::ScrollUp)],
              app::DefaultControllerMap()[At(app::Action::ScrollUp)])
        << "an action without a line keeps its defaults";

    auto& v = LoadThree();
    const int first = v.CurrentSection;
    app::Form_ControllerDown(v, Input{Kind::JoystickAxis, "", 3, +1});
    EXPECT_EQ(v.CurrentSection, first + 1);
    const float top = v.form.picSection[0].Top;
    app::Form_ControllerDown(v, Input{Kind::JoystickButton, "", 2, 0});
    EXPECT_EQ(v.CurrentSection, first + 1) << "scroll down comes before previous section";
    EXPECT_LT(v.form.picSection[0].Top, top);
}

TEST_F(CabinetTest, BadJoystickAndRotateValuesAreSettingsErrors) {
    for (const std::string line : {"[Joystick]\nExit=hat 0 sideways", "[Joystick]\nExit=axis 1",
                                   "[Joystick]\nExit=button -1", "[Joystick]\nExit=button 256",
                                   "[Joystick]\nExit=dpup,,back", "[Joystick]\nExit=2",
                                   "[Settings]\nRotate=45", "[Settings]\nRotate=abc"}) {
        Write("kavro.ini", line + "\n");
        try {
            app::ReadSettings(app::SettingsPath(Home().string()));
            ADD_FAILURE() << line;
        } catch (const app::SettingsError& e) {
            const std::string key =
                line.substr(line.find('\n') + 1, line.find('=') - line.find('\n') - 1);
            EXPECT_NE(std::string(e.what()).find("] " + key + " = \""), std::string::npos)
                << e.what();
        }
    }
}

TEST_F(CabinetTest, RotatedScreenIsPortraitAndSavingKeepsRotate) {
    Write("kavro.ini", "[Settings]\nRotate=90\nZoomed=False\n");
    auto& v = LoadThree();
    EXPECT_FLOAT_EQ(v.sys.ScreenWidth(), 960 * 15);
    EXPECT_FLOAT_EQ(v.form.Width, 960 * 15);
    EXPECT_FLOAT_EQ(v.form.Height, 1280 * 15);
    const auto& area = v.form.fraScreenArea;  // the portrait rule: full width, 3/4 of the height
    EXPECT_FLOAT_EQ(area.Width, 960 * 15);
    EXPECT_FLOAT_EQ(area.Height, 1280 * 15 * 0.75f);
    EXPECT_FLOAT_EQ(area.Top, (1280 * 15 - area.Height) / 2);

    const std::string png = (Home() / "shot.png").string();
    std::string error;
    ASSERT_TRUE(toolkit::RenderFormToPng(v.form, png, &error)) << error;
    SDL_Surface* raw = IMG_Load(png.c_str());
    ASSERT_NE(raw, nullptr);
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> shot(
        SDL_ConvertSurfaceFormat(raw, SDL_PIXELFORMAT_ARGB8888, 0), SDL_FreeSurface);
    SDL_FreeSurface(raw);
    ASSERT_EQ(shot->w, 1280);
    ASSERT_EQ(shot->h, 960);
    // A quarter turn clockwise: the form's top rows, black above the first section, are the
    // rightmost columns; the sections fill the rest.
    const auto pixel = [&](int x, int y) {
        return static_cast<const Uint32*>(shot->pixels)[y * shot->pitch / 4 + x] & 0xFFFFFF;
    };
    EXPECT_EQ(pixel(1200, 955), 0u);
    EXPECT_EQ(pixel(1125, 955), 0u);
    EXPECT_EQ(pixel(1115, 955), 0x000040u);
    EXPECT_EQ(pixel(80, 955), 0x000040u);

    try {
        app::Form_KeyDown(v, 27, 0);
    } catch (const toolkit::ProgramEnd&) {
    }
    EXPECT_EQ(ReadBack("kavro.ini"),
              "[Settings]\nRotate=90\nZoomed=False\nNoImages=False\nNoFormatting=False\n");
}

}  // namespace
}  // namespace kavro::testing
