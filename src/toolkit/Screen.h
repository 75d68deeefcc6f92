#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Form.h"

struct SDL_Surface;

namespace kavro::toolkit {

struct ScreenPictureFree {
    void operator()(SDL_Surface* surface) const;
};
// What the screen shows: its pixels without an alpha channel, for WritePng.
using ScreenPicture = std::unique_ptr<SDL_Surface, ScreenPictureFree>;

// The headless backend's painting alone: the form at its size (twips / 15 pixels), turned by
// its Rotation. Nothing, with the reason in *error, when it cannot be painted.
ScreenPicture PaintForm(const Form& form, std::string* error);

// The headless backend: PaintForm, then WritePng of the picture. Returns false with the reason
// in *error.
bool RenderFormToPng(const Form& form, const std::string& png_path, std::string* error);

// The display's size in pixels; false when no display is available.
bool QueryDisplaySize(int* width_px, int* height_px, std::string* error);

// The video drivers to try, comma-separated in the order given (SDL's), when the user chose
// none: a display server only when its variable names one (x11 with DISPLAY, wayland with
// WAYLAND_DISPLAY: without one its library prints an error of its own), and none of the
// drivers that show nothing. Empty when no driver is left.
std::string VideoDriversToTry(const std::vector<std::string>& available, bool x11_display,
                              bool wayland_display);

// The video system kept started from the look at the display to the window's end: starting it
// a second time for the window costs tens of milliseconds before the first frame.
class VideoSession {
  public:
    // Nothing, with the reason in *error, when no display is available (only SDL's drivers
    // that show nothing, unless SDL_VIDEODRIVER asks for one of them).
    static std::unique_ptr<VideoSession> Start(std::string* error);
    ~VideoSession();
    VideoSession(const VideoSession&) = delete;
    VideoSession& operator=(const VideoSession&) = delete;

    // Takes the size of display (counted from 0; 0 at the start). False, with the reason in
    // *error, when the desktop has no such display.
    bool SelectDisplay(int display, std::string* error);

    // The display's size in pixels.
    int Width() const { return width_; }
    int Height() const { return height_; }

  private:
    struct PassKey {
        explicit PassKey() = default;
    };

  public:
    VideoSession(PassKey, int width, int height);

  private:
    int width_;
    int height_;
};

// The window backend: one borderless window at the form's position and size. Run() handles
// events until the program ends: key-downs (with auto-repeat) go to Form::KeyDown as virtual-key
// codes (keys held as the window appeared are ignored until released), wheel notches go to
// Form::MouseWheel, due timers tick, and the
// screen is drawn again only after something was handled, so an idle viewer waits without using the
// processor.
// Where the window goes and how it behaves towards other windows.
struct WindowPlacement {
    int display = 0;  // the form's position counts from this display's top-left corner
    // Never raised, never given the keyboard focus: a window beside a game that has it.
    bool passive = false;
};

class Window {
  public:
    static std::unique_ptr<Window> Create(Form& form, std::string* error,
                                          WindowPlacement placement = {});
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Returns 0 when the window is closed. A ProgramEnd thrown by a handler leaves Run
    // unchanged, for main to catch.
    int Run();
    // Draws one frame now.
    void Present();
    // Writes what the window shows to a PNG (the same picture the headless backend draws).
    bool Screenshot(const std::string& png_path, std::string* error);
    // Game controllers and joysticks press Form::ControllerDown. They start after the first
    // frame of Run; mappings come from SDL, program_folder/gamecontrollerdb.txt and the file
    // SDL_GAMECONTROLLERCONFIG_FILE names.
    void UseControllers(const std::string& program_folder);
    // Called after every frame is shown.
    void OnFrame(std::function<void()> hook);
    // Work that another thread hands to the event loop: Waker() gives a function that any
    // thread may call (it only posts an event); each call makes Run call hook on its own
    // thread and draw a frame. The waker must not be called once the window is gone.
    void OnWake(std::function<void()> hook);
    std::function<void()> Waker() const;

    struct Impl;

  private:
    struct PassKey {
        explicit PassKey() = default;
    };

  public:
    // Only Create can make the key.
    Window(PassKey, std::unique_ptr<Impl> impl);

  private:
    explicit Window(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavro::toolkit
