#pragma once

#include <functional>
#include <memory>
#include <string>

#include "toolkit/Form.h"

namespace kavro::toolkit {

// The headless backend: draws the form at its size (twips / 15 pixels) with SDL's software
// renderer and writes a PNG, turned by the form's Rotation as the screen would show it. Returns
// false with the reason in *error.
bool RenderFormToPng(const Form& form, const std::string& png_path, std::string* error);

// The display's size in pixels; false when no display is available.
bool QueryDisplaySize(int* width_px, int* height_px, std::string* error);

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

    // The desktop's size in pixels.
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
class Window {
  public:
    static std::unique_ptr<Window> Create(Form& form, std::string* error);
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
