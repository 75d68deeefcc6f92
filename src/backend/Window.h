#pragma once

#include <functional>
#include <memory>
#include <string>

#include "forms/Form.h"

namespace kavro::toolkit {

// Where the window goes and how it behaves towards other windows.
struct WindowPlacement {
    int display = 0;  // the form's position counts from this display's top-left corner
    // Never raised, never given the keyboard focus: a window beside a game that has it.
    bool passive = false;
};

// The window backend: one borderless window at the form's position and size. Run() handles
// events until the program ends: key-downs (with auto-repeat) go to Form::KeyDown as virtual-key
// codes (keys held as the window appeared are ignored until released), wheel notches go to
// Form::MouseWheel, due timers tick, and the
// screen is drawn again only after something was handled, so an idle viewer waits without using the
// processor.
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
