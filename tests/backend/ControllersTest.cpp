#include <gtest/gtest.h>

#include <SDL.h>

#include <string>
#include <vector>

#include "backend/Controllers.h"
#include "backend/Screen.h"
#include "common/ToolkitTestSupport.h"

namespace kavro::toolkit {
namespace {

using Kind = ControllerInput::Kind;

TEST(HeldInputFilter, HeldAtStartIsIgnoredUntilReleasedOnce) {
    HeldInputFilter<int> filter;
    filter.MarkHeld(40);
    EXPECT_FALSE(filter.Accept(40)) << "the launch key and its repeats";
    EXPECT_TRUE(filter.Accept(38));
    filter.Release(40);
    EXPECT_TRUE(filter.Accept(40));
    EXPECT_TRUE(filter.Empty());
}

TEST(InputRepeat, FirstAfter400ThenEvery50WithoutBursts) {
    InputRepeat<int> repeat;
    EXPECT_EQ(repeat.WaitMs(0), -1);
    repeat.Press(7, 1000);
    EXPECT_EQ(repeat.WaitMs(1000), 400);
    EXPECT_TRUE(repeat.Due(1399).empty());
    EXPECT_EQ(repeat.Due(1400), std::vector<int>{7});
    EXPECT_EQ(repeat.WaitMs(1400), 50);
    EXPECT_EQ(repeat.Due(5000), std::vector<int>{7}) << "a late look repeats once";
    EXPECT_EQ(repeat.WaitMs(5000), 50);
    repeat.Release(7);
    EXPECT_TRUE(repeat.Due(9000).empty());
}

// SDL's virtual joysticks stand in for devices.
class ControllersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        controllers = Controllers::Start("/nonexistent", &error);
        ASSERT_NE(controllers, nullptr) << error;
    }
    void TearDown() override {
        if (device) SDL_JoystickClose(device);
        if (index >= 0) SDL_JoystickDetachVirtual(index);
        Drain();
        controllers.reset();
    }
    void Attach(SDL_JoystickType type, int axes, int buttons, int hats) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(type);
        desc.naxes = static_cast<Uint16>(axes);
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.nhats = static_cast<Uint16>(hats);
        desc.name = "test stick";
        index = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(index, 0) << SDL_GetError();
        device = SDL_JoystickOpen(index);
        ASSERT_NE(device, nullptr) << SDL_GetError();
    }
    // Every event so far through the controllers, at time now.
    std::vector<ControllerInput> Drain(std::uint64_t now = 1000) {
        SDL_JoystickUpdate();
        SDL_PumpEvents();
        std::vector<ControllerInput> got;
        SDL_Event ev;
        for (int n = 0; n < 1000 && SDL_PollEvent(&ev); ++n)
            for (const ControllerInput& input : controllers->Handle(ev, now))
                got.push_back(input);
        return got;
    }

    std::unique_ptr<Controllers> controllers;
    int index = -1;
    SDL_Joystick* device = nullptr;
};

TEST_F(ControllersTest, PlainJoystickButtonsHatsAndAxes) {
    Attach(SDL_JOYSTICK_TYPE_ARCADE_STICK, 2, 4, 1);
    ASSERT_EQ(SDL_JoystickSetVirtualButton(device, 2, 1), 0);  // held at the start
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(controllers->OpenDevices(), 1u);

    SDL_JoystickSetVirtualHat(device, 0, SDL_HAT_UP);
    EXPECT_EQ(Drain(), (std::vector<ControllerInput>{{Kind::JoystickHat, "", 0, 1}}));
    SDL_JoystickSetVirtualAxis(device, 1, 20000);
    SDL_JoystickSetVirtualAxis(device, 0, -10000);  // inside the dead zone
    EXPECT_EQ(Drain(), (std::vector<ControllerInput>{{Kind::JoystickAxis, "", 1, +1}}));

    SDL_JoystickSetVirtualButton(device, 2, 0);
    EXPECT_TRUE(Drain().empty());
    SDL_JoystickSetVirtualButton(device, 2, 1);
    EXPECT_EQ(Drain(), (std::vector<ControllerInput>{{Kind::JoystickButton, "", 2, 0}}))
        << "released once, the held button counts";

    // The hat and the axis are still held: they repeat, the released inputs do not.
    SDL_JoystickSetVirtualHat(device, 0, SDL_HAT_CENTERED);
    SDL_JoystickSetVirtualButton(device, 2, 0);
    Drain();
    EXPECT_EQ(controllers->DueRepeats(1400),
              (std::vector<ControllerInput>{{Kind::JoystickAxis, "", 1, +1}}));

    SDL_JoystickClose(device);
    device = nullptr;
    SDL_JoystickDetachVirtual(index);
    index = -1;
    Drain();
    EXPECT_EQ(controllers->OpenDevices(), 0u);
    EXPECT_TRUE(controllers->DueRepeats(5000).empty());
}

TEST_F(ControllersTest, GameControllerIsHandledOnceByButtonName) {
    Attach(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX, SDL_CONTROLLER_BUTTON_MAX, 0);
    Drain();
    ASSERT_EQ(controllers->OpenDevices(), 1u);
    SDL_JoystickSetVirtualButton(device, SDL_CONTROLLER_BUTTON_DPAD_UP, 1);
    EXPECT_EQ(Drain(), (std::vector<ControllerInput>{{Kind::ControllerButton, "dpup", 0, 0}}));
    SDL_JoystickSetVirtualAxis(device, SDL_CONTROLLER_AXIS_LEFTY, -30000);
    EXPECT_EQ(Drain(), (std::vector<ControllerInput>{{Kind::ControllerAxis, "lefty", 0, -1}}));
}

TEST(WindowControllersTest, PressesReachTheFormAndTheScreenIsTurned) {
    if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    Form form(testing::MakeFonts());
    form.Move(0, 0, 160 * 15, 120 * 15);
    form.Rotation = 270;
    std::string error;
    auto window = Window::Create(form, &error);
    ASSERT_NE(window, nullptr) << error;
    window->UseControllers("/nonexistent");

    // The joystick comes once the loop runs; its hat is pushed at the next tick.
    Timer timer;
    timer.Interval = 10;
    timer.Enabled = true;
    int ticks = 0, index = -1;
    SDL_Joystick* device = nullptr;
    form.AddTimer(&timer, [&] {
        if (++ticks == 1) {
            SDL_VirtualJoystickDesc desc{};
            desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
            desc.type = SDL_JOYSTICK_TYPE_ARCADE_STICK;
            desc.nhats = 1;
            index = SDL_JoystickAttachVirtualEx(&desc);
            device = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        } else if (ticks == 3 && device) {
            SDL_JoystickSetVirtualHat(device, 0, SDL_HAT_DOWN);
        } else if (ticks > 100) {
            timer.Enabled = false;
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
    });
    std::vector<ControllerInput> got;
    form.ControllerDown = [&](const ControllerInput& input) {
        got.push_back(input);
        timer.Enabled = false;
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    };
    EXPECT_EQ(window->Run(), 0);
    ASSERT_NE(device, nullptr) << SDL_GetError();
    EXPECT_EQ(got, (std::vector<ControllerInput>{{Kind::JoystickHat, "", 0, 4}}));
    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);

    testing::TempFolder dir;
    ASSERT_TRUE(window->Screenshot(dir.File("shot.png"), &error)) << error;
    const testing::Bitmap bmp = testing::ReadPng(dir.File("shot.png"));
    EXPECT_EQ(bmp.w, 120) << "the physical window is the form turned on its side";
    EXPECT_EQ(bmp.h, 160);
}

}  // namespace
}  // namespace kavro::toolkit
