#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "backend/PngWriter.h"
#include "backend/Screen.h"
#include "common/ToolkitTestSupport.h"
#include "forms/Form.h"
#include "forms/Services.h"

namespace kavro::toolkit {
namespace {

using testing::Bitmap;
using testing::ColourType;
using testing::MakeFonts;
using testing::ReadPng;
using testing::TempFolder;

constexpr long kRed = 0x0000FF;  // red + 256 * green + 65536 * blue
constexpr long kBlue = 0xFF0000;
constexpr std::uint32_t kRedPx = 0xFF0000;
constexpr std::uint32_t kBluePx = 0x0000FF;

PicturePtr Solid(int w, int h, std::uint32_t argb) {
    return std::make_shared<const Picture>(
        w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), argb), "solid");
}

// A form of 200 x 100 pixels with one box array, one label array and one image array.
struct Scene {
    Scene()
        : form(MakeFonts()),
          boxes("picSection", PictureBox{}),
          labels("lblText", Label(&form.Fonts())),
          images("imgImage", Image{}) {
        form.Width = 200 * 15;
        form.Height = 100 * 15;
        form.AddToScene(&boxes);
        form.AddToScene(&images);
        form.AddToScene(&labels);
        boxes[0].Visible = false;
        labels[0].Visible = false;
        images[0].Visible = false;
    }
    Bitmap Render() {
        const std::string path = dir.File("out.png");
        std::string error;
        EXPECT_TRUE(RenderFormToPng(form, path, &error)) << error;
        return ReadPng(path);
    }
    TempFolder dir;
    Form form;
    ControlArray<PictureBox> boxes;
    ControlArray<Label> labels;
    ControlArray<Image> images;
};

TEST(VideoDriversTest, DisplayServersOnlyWhenTheirVariableIsSet) {
    const std::vector<std::string> sdl{"x11", "wayland", "KMSDRM", "offscreen", "dummy", "evdev"};
    EXPECT_EQ(VideoDriversToTry(sdl, true, true), "x11,wayland,KMSDRM");
    EXPECT_EQ(VideoDriversToTry(sdl, true, false), "x11,KMSDRM");
    EXPECT_EQ(VideoDriversToTry(sdl, false, true), "wayland,KMSDRM");
    EXPECT_EQ(VideoDriversToTry(sdl, false, false), "KMSDRM");
    EXPECT_EQ(VideoDriversToTry({"wayland", "x11"}, true, true), "wayland,x11");
    EXPECT_EQ(VideoDriversToTry({"x11", "offscreen", "dummy"}, false, false), "");
}

TEST(RenderTest, SizeFollowsTheFormAndBackgroundFills) {
    Scene s;
    s.form.BackColor = kBlue;
    Bitmap bmp = s.Render();
    ASSERT_EQ(bmp.w, 200);
    ASSERT_EQ(bmp.h, 100);
    EXPECT_EQ(bmp.At(0, 0), kBluePx);
    EXPECT_EQ(bmp.At(199, 99), kBluePx);
}

TEST(RenderTest, DegenerateFormSizeStillGivesAPixel) {
    Scene s;
    s.form.Width = 0;
    s.form.Height = -50;
    Bitmap bmp = s.Render();
    EXPECT_EQ(bmp.w, 1);
    EXPECT_EQ(bmp.h, 1);
}

TEST(RenderTest, VisiblePictureBoxFillsItsPlace) {
    Scene s;
    PictureBox& box = s.boxes[0];
    box.Visible = true;
    box.BackColor = kRed;
    box.Left = 10 * 15;
    box.Top = 20 * 15;
    box.Width = 50 * 15;
    box.Height = 30 * 15;
    Bitmap bmp = s.Render();
    EXPECT_EQ(bmp.At(10, 20), kRedPx);
    EXPECT_EQ(bmp.At(59, 49), kRedPx);
    EXPECT_EQ(bmp.At(9, 20), 0u);
    EXPECT_EQ(bmp.At(60, 20), 0u);
    EXPECT_EQ(bmp.At(10, 50), 0u);

    box.Visible = false;
    EXPECT_EQ(s.Render().At(30, 30), 0u);
}

TEST(RenderTest, WhiteLabelOnABoxDrawsText) {
    Scene s;
    PictureBox& box = s.boxes[0];
    box.Visible = true;
    box.Width = 200 * 15;
    box.Height = 100 * 15;
    Label& label = s.labels[0];
    label.Visible = true;
    label.Container = &box;
    label.ForeColor = 0xFFFFFF;
    label.SetAutoSize(true);
    label.SetCaption("WWWW");
    label.Left = 5 * 15;
    label.Top = 5 * 15;
    Bitmap bmp = s.Render();
    int lit = 0;
    for (int y = 0; y < bmp.h; ++y)
        for (int x = 0; x < bmp.w; ++x)
            if (bmp.At(x, y) != 0) {
                ++lit;
                // Text stays inside the label's rectangle.
                EXPECT_GE(x, 5);
                EXPECT_LT(x, 5 + static_cast<int>(label.Width / 15));
            }
    EXPECT_GT(lit, 20);
}

// Text blended onto an opaque box: the screen's picture holds the blended colours, has no
// alpha channel to leave partly transparent, and its file decodes to the very same colours.
TEST(RenderTest, ScreenPictureIsOpaqueAndItsFileKeepsTheBlendedColours) {
    Scene s;
    PictureBox& box = s.boxes[0];
    box.Visible = true;
    box.BackColor = 0x301410;  // a dark blue: red 16, green 20, blue 48
    box.Width = 200 * 15;
    box.Height = 100 * 15;
    Label& label = s.labels[0];
    label.Visible = true;
    label.Container = &box;
    label.ForeColor = 0x78A0DC;  // red 220, green 160, blue 120
    label.SetAutoSize(true);
    label.SetCaption("Wave & @");
    for (int turn : {0, 90}) {
        SCOPED_TRACE(turn);
        s.form.Rotation = turn;
        std::string error;
        const ScreenPicture picture = PaintForm(s.form, &error);
        ASSERT_NE(picture, nullptr) << error;
        EXPECT_EQ(picture->format->Amask, 0u);
        ASSERT_EQ(picture->w, turn ? 100 : 200);
        ASSERT_EQ(picture->h, turn ? 200 : 100);
        const std::string path = s.dir.File("screen.png");
        ASSERT_TRUE(WritePng(picture.get(), path, &error)) << error;
        EXPECT_EQ(ColourType(path), 2);
        const Bitmap bmp = ReadPng(path);
        ASSERT_EQ(bmp.w, picture->w);
        ASSERT_EQ(bmp.h, picture->h);
        int blended = 0, mismatches = 0;
        for (int y = 0; y < bmp.h; ++y)
            for (int x = 0; x < bmp.w; ++x) {
                Uint8 r, g, b;
                SDL_GetRGB(
                    static_cast<const Uint32*>(picture->pixels)[y * (picture->pitch / 4) + x],
                    picture->format, &r, &g, &b);
                const std::uint32_t painted = (std::uint32_t{r} << 16) | (g << 8) | b;
                if (bmp.px[static_cast<std::size_t>(y * bmp.w + x)] != (0xFF000000u | painted))
                    ++mismatches;
                if (painted != 0x101430u && painted != 0xDCA078u) ++blended;
            }
        EXPECT_EQ(mismatches, 0);
        EXPECT_GT(blended, 10) << "the text's edges are blended with the box";
    }
}

TEST(RenderTest, LabelsOnAHiddenBoxAreNotDrawn) {
    Scene s;
    s.boxes[0].Visible = false;
    s.boxes[0].Width = 200 * 15;
    s.boxes[0].Height = 100 * 15;
    Label& label = s.labels[0];
    label.Visible = true;
    label.Container = &s.boxes[0];
    label.SetAutoSize(true);
    label.SetCaption("MMMM");
    Bitmap bmp = s.Render();
    for (std::uint32_t p : bmp.px)
        ASSERT_EQ(p & 0xFFFFFFu, 0u);
}

// Boxes in view and the form itself carry what is drawn; a box whose top lies on the window's
// bottom edge is out of view with everything on it, one a row higher shows that row.
TEST(RenderTest, OnlyBoxesInViewAndTheFormShowTheirControls) {
    Scene s;
    auto box = [&](int i, float top_px, float height_px, long colour) -> PictureBox& {
        EXPECT_TRUE(i == 0 || s.boxes.Load(i));
        PictureBox& b = s.boxes[i];
        b.Visible = true;
        b.BackColor = colour;
        b.Top = top_px * 15;
        b.Width = 200 * 15;
        b.Height = height_px * 15;
        return b;
    };
    auto label = [&](int i, PictureBox* on, float left_px, float top_px) {
        EXPECT_TRUE(i == 0 || s.labels.Load(i));
        Label& l = s.labels[i];
        l.Visible = true;
        l.Container = on;
        l.ForeColor = 0xFFFFFF;
        l.SetAutoSize(true);
        l.SetCaption("WW");
        l.Left = left_px * 15;
        l.Top = top_px * 15;
    };
    PictureBox& shown = box(0, 0, 30, kBlue);
    PictureBox& below = box(1, 100, 50, kRed);
    box(2, 99, 10, kRed);
    label(0, &shown, 5, 5);
    label(1, &below, 120, -60);  // would reach up to the rows 40 to 59
    label(2, nullptr, 120, 60);
    const Bitmap bmp = s.Render();
    auto lit = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (bmp.At(x, y) != 0 && bmp.At(x, y) != kBluePx && bmp.At(x, y) != kRedPx) ++n;
        return n;
    };
    EXPECT_GT(lit(0, 0, 120, 30), 10) << "the label on the box in view";
    EXPECT_EQ(lit(0, 30, 200, 60), 0) << "the label on the box below the window";
    EXPECT_GT(lit(120, 60, 200, 99), 10) << "the label on the form itself";
    EXPECT_EQ(bmp.At(0, 99), kRedPx);
    EXPECT_EQ(bmp.At(0, 98), 0u);
}

TEST(RenderTest, BandPictureIsStretchedOverItsRectangle) {
    Scene s;
    PictureBox& box = s.boxes[0];
    box.Visible = true;
    box.BackColor = kRed;
    box.Width = 100 * 15;
    box.Height = 100 * 15;
    box.PaintPicture(Solid(2, 2, 0xFF00FF00), 10 * 15, 10 * 15, 40 * 15, 20 * 15);
    Bitmap bmp = s.Render();
    EXPECT_EQ(bmp.At(10, 10), 0x00FF00u);
    EXPECT_EQ(bmp.At(49, 29), 0x00FF00u);
    EXPECT_EQ(bmp.At(50, 29), kRedPx);
    EXPECT_EQ(bmp.At(10, 30), kRedPx);
}

TEST(RenderTest, ImagesAreClippedToTheirBox) {
    Scene s;
    PictureBox& box = s.boxes[0];
    box.Visible = true;
    box.Left = 20 * 15;
    box.Width = 30 * 15;
    box.Height = 30 * 15;
    box.BackColor = kRed;
    Image& image = s.images[0];
    image.Visible = true;
    image.Container = &box;
    image.Left = 20 * 15;  // half of it lies beyond the box's right edge
    image.SetPicture(Solid(20, 10, 0xFF0000FF));
    Bitmap bmp = s.Render();
    EXPECT_EQ(bmp.At(40, 5), kBluePx);
    EXPECT_EQ(bmp.At(49, 5), kBluePx);
    EXPECT_EQ(bmp.At(50, 5), 0u);  // beyond the box: the window's black
    EXPECT_EQ(bmp.At(39, 5), kRedPx);
}

TEST(RenderTest, StretchedImageWithBorderAndTransparentPixels) {
    Scene s;
    Image& image = s.images[0];
    image.Visible = true;
    image.Stretch = true;
    image.BorderStyle = 1;
    image.Left = 10 * 15;
    image.Top = 10 * 15;
    image.Width = 40 * 15;
    image.Height = 40 * 15;
    image.SetPicture(Solid(1, 1, 0x00FFFFFF));  // fully transparent
    Bitmap bmp = s.Render();
    EXPECT_EQ(bmp.At(30, 30), 0u);  // the background shows through
    EXPECT_NE(bmp.At(10, 30), 0u);  // the border
    EXPECT_NE(bmp.At(49, 30), 0u);
}

TEST(RenderTest, ControlsFarOutsideTheWindowAreSkipped) {
    Scene s;
    for (int i = 1; i <= 50; ++i) {
        ASSERT_TRUE(s.boxes.Load(i));
        PictureBox& box = s.boxes[i];
        box.Visible = true;
        box.BackColor = kRed;
        box.Top = static_cast<float>(i) * 1.0e6f;
        box.Left = -1.0e9f;
        box.Width = 1.0e4f;
        box.Height = 3.0e38f;
        box.PaintPicture(Solid(1, 1, 0xFFFFFFFF), 0, 0, 1.0e30f, 1.0e30f);
        ASSERT_TRUE(s.labels.Load(i));
        s.labels[i].Visible = true;
        s.labels[i].Container = &box;
        s.labels[i].SetAutoSize(true);
        s.labels[i].SetCaption("off screen");
    }
    Label& far = s.labels[0];
    far.Visible = true;
    far.Top = std::nanf("");
    far.SetCaption("nan");
    Bitmap bmp = s.Render();
    ASSERT_EQ(bmp.w, 200);
    for (std::uint32_t p : bmp.px)
        ASSERT_EQ(p & 0xFFFFFFu, 0u);
}

TEST(RenderTest, OverlongLineStillShowsItsStart) {
    Scene s;
    Label& label = s.labels[0];
    label.Visible = true;
    ASSERT_TRUE(label.SetFontSize(200));
    label.SetAutoSize(true);
    label.SetCaption(std::string(2000, 'W'));  // far wider than any texture may be
    Bitmap bmp = s.Render();
    int lit = 0;
    for (std::uint32_t p : bmp.px)
        lit += (p & 0xFFFFFFu) != 0;
    EXPECT_GT(lit, 100);
}

TEST(RenderTest, StackedBoxesAtFractionalTwipsLeaveNoSeam) {
    Scene s;
    ASSERT_TRUE(s.boxes.Load(1));
    float top = 7.3f;
    // Heights that are not whole pixels, as fitted text lines give them.
    for (int i = 0; i <= 1; ++i) {
        PictureBox& box = s.boxes[i];
        box.Visible = true;
        box.Left = 3.7f;
        box.Width = 100.0f * 15.0f;
        box.Top = top;
        box.Height = i == 0 ? 301.7f : 412.45f;
        box.BackColor = i == 0 ? kRed : kBlue;
        top = box.Top + box.Height;
    }
    Bitmap bmp = s.Render();
    int red_rows = 0, blue_rows = 0;
    bool seen_blue = false;
    for (int y = 0; y < bmp.h; ++y) {
        const std::uint32_t p = bmp.At(50, y);
        if (p == kRedPx) {
            EXPECT_FALSE(seen_blue) << "red below blue at row " << y;
            ++red_rows;
        } else if (p == kBluePx) {
            seen_blue = true;
            ++blue_rows;
        } else if (red_rows > 0 && !seen_blue) {
            ADD_FAILURE() << "seam at row " << y;
        }
    }
    EXPECT_EQ(red_rows, static_cast<int>(std::floor((7.3f + 301.7f) / 15)) -
                            static_cast<int>(std::floor(7.3f / 15)));
    EXPECT_GT(blue_rows, 0);
}

// The window backend under SDL's offscreen video driver.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (SDL_getenv("SDL_VIDEODRIVER") == nullptr) SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // The offscreen display has no GPU; keep the GL stack out of the process.
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        form.Move(0, 0, 160 * 15, 120 * 15);
        form.BackColor = kBlue;
    }
    std::unique_ptr<Window> Open() {
        std::string error;
        auto window = Window::Create(form, &error);
        if (!window) ADD_FAILURE() << error;
        return window;
    }
    Form form{MakeFonts()};
};

void PushQuit() {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

TEST_F(WindowTest, OneShotTimerTicksAndKeysArriveAsVirtualKeys) {
    const auto start = std::chrono::steady_clock::now();
    auto window = Open();
    ASSERT_NE(window, nullptr);
    Timer once;
    once.Interval = 20;
    once.Enabled = true;
    int ticks = 0;
    form.AddTimer(&once, [&] {
        ++ticks;
        once.Enabled = false;
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.keysym.sym = SDLK_DOWN;
        key.key.keysym.mod = KMOD_LSHIFT | KMOD_RCTRL;
        key.key.repeat = 1;
        SDL_PushEvent(&key);
    });
    std::vector<std::pair<int, int>> keys;
    form.KeyDown = [&](int vk, int shift) {
        keys.emplace_back(vk, shift);
        PushQuit();
    };
    EXPECT_EQ(window->Run(), 0);
    EXPECT_EQ(ticks, 1);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].first, 40);
    EXPECT_EQ(keys[0].second, 3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
}

// The keypad's digits are arrows with NumLock off and digits with it on; the wheel arrives as
// notches, turned the same way whatever the desktop's scrolling direction.
TEST_F(WindowTest, KeypadAndWheelArriveThroughTheEventPath) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    std::vector<int> keys, notches;
    form.KeyDown = [&](int vk, int) { keys.push_back(vk); };
    form.MouseWheel = [&](int n) { notches.push_back(n); };
    Timer once;
    once.Interval = 1;
    once.Enabled = true;
    form.AddTimer(&once, [&] {
        once.Enabled = false;
        const std::pair<SDL_Keycode, Uint16> presses[] = {
            {SDLK_KP_8, KMOD_NONE}, {SDLK_KP_2, KMOD_NONE}, {SDLK_KP_4, KMOD_NONE},
            {SDLK_KP_6, KMOD_NONE}, {SDLK_KP_3, KMOD_NONE}, {SDLK_KP_8, KMOD_NUM}};
        for (const auto& [sym, mod] : presses) {
            SDL_Event key{};
            key.type = SDL_KEYDOWN;
            key.key.keysym.sym = sym;
            key.key.keysym.mod = mod;
            SDL_PushEvent(&key);
        }
        const std::pair<int, Uint32> wheels[] = {{-2, SDL_MOUSEWHEEL_NORMAL},
                                                 {1, SDL_MOUSEWHEEL_NORMAL},
                                                 {1, SDL_MOUSEWHEEL_FLIPPED},
                                                 {0, SDL_MOUSEWHEEL_NORMAL}};
        for (const auto& [y, direction] : wheels) {
            SDL_Event wheel{};
            wheel.type = SDL_MOUSEWHEEL;
            wheel.wheel.y = y;
            wheel.wheel.direction = direction;
            SDL_PushEvent(&wheel);
        }
        PushQuit();
    });
    EXPECT_EQ(window->Run(), 0);
    EXPECT_EQ(keys, (std::vector<int>{38, 40, 37, 39, 34, 104}));
    EXPECT_EQ(notches, (std::vector<int>{-2, 1, -1})) << "a sideways turn is no notch";
}

// A timer enabled when the window is made counts from then, so setting up the window runs
// while it waits; it still ticks only after the first frame is shown.
TEST_F(WindowTest, TimersCountFromTheWindowsCreationAndTickAfterTheFirstFrame) {
    // Long enough that a loaded machine cannot blur counting from the window's creation with
    // counting from Run.
    constexpr int kInterval = 600;
    Timer start_timer;
    start_timer.Interval = kInterval;
    start_timer.Enabled = true;
    const auto created = std::chrono::steady_clock::now();
    auto window = Open();
    ASSERT_NE(window, nullptr);
    int frames = 0;
    window->OnFrame([&] { ++frames; });
    int frames_at_tick = -1;
    std::chrono::steady_clock::time_point ticked;
    form.AddTimer(&start_timer, [&] {
        ticked = std::chrono::steady_clock::now();
        frames_at_tick = frames;
        start_timer.Enabled = false;
        PushQuit();
    });
    // A slow window set-up, past the interval.
    std::this_thread::sleep_for(std::chrono::milliseconds(kInterval + 50));
    const auto run = std::chrono::steady_clock::now();
    EXPECT_EQ(window->Run(), 0);
    EXPECT_GE(frames_at_tick, 1);
    EXPECT_GE(ticked - created, std::chrono::milliseconds(kInterval));
    // Counted from Run, the tick would come a whole interval after it.
    EXPECT_LT(ticked - run, std::chrono::milliseconds(kInterval * 3 / 4));
}

TEST_F(WindowTest, RepeatingTimerTicksUntilDisabled) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    Timer t;
    t.Interval = 5;
    t.Enabled = true;
    int ticks = 0;
    form.AddTimer(&t, [&] {
        if (++ticks == 3) {
            t.Enabled = false;
            PushQuit();
        }
    });
    EXPECT_EQ(window->Run(), 0);
    EXPECT_EQ(ticks, 3);
}

TEST_F(WindowTest, ProgramEndLeavesRun) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    Timer t;
    t.Interval = 1;
    t.Enabled = true;
    form.AddTimer(&t, [] { throw ProgramEnd{4}; });
    try {
        window->Run();
        FAIL() << "Run returned";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 4);
    }
}

TEST_F(WindowTest, WakerFromAnotherThreadRunsTheHookOnTheLoop) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    const std::thread::id loop = std::this_thread::get_id();
    int wakes = 0;
    window->OnWake([&] {
        EXPECT_EQ(std::this_thread::get_id(), loop);
        if (++wakes == 2) throw ProgramEnd{5};
    });
    const std::function<void()> wake = window->Waker();
    // No timer is enabled: without the wakes the loop would wait for ever.
    std::thread other([&] {
        wake();
        wake();
    });
    try {
        window->Run();
        ADD_FAILURE() << "Run returned";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 5);
    }
    other.join();
    EXPECT_EQ(wakes, 2);
}

TEST_F(WindowTest, ScreenshotShowsWhatTheFormHolds) {
    auto window = Open();
    ASSERT_NE(window, nullptr);
    window->Present();
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(window->Screenshot(dir.File("shot.png"), &error)) << error;
    Bitmap bmp = ReadPng(dir.File("shot.png"));
    ASSERT_EQ(bmp.w, 160);
    ASSERT_EQ(bmp.h, 120);
    EXPECT_EQ(bmp.At(80, 60), kBluePx);
    // The window follows a new size of the form at the next frame.
    form.Move(0, 0, 80 * 15, 60 * 15);
    window->Present();
    ASSERT_TRUE(window->Screenshot(dir.File("small.png"), &error)) << error;
    EXPECT_EQ(ReadPng(dir.File("small.png")).w, 80);
}

TEST_F(WindowTest, DisplaySizeIsReported) {
    int w = 0, h = 0;
    std::string error;
    ASSERT_TRUE(QueryDisplaySize(&w, &h, &error)) << error;
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
}

}  // namespace
}  // namespace kavro::toolkit
