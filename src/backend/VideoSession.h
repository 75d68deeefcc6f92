#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kavro::toolkit {

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

}  // namespace kavro::toolkit
