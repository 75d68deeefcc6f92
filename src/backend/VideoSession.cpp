#include "backend/VideoSession.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Failure.h"

namespace kavro::toolkit {

using base::Fail;

bool QueryDisplaySize(int* width_px, int* height_px, std::string* error) {
    const std::unique_ptr<VideoSession> session = VideoSession::Start(error);
    if (!session) return false;
    if (width_px) *width_px = session->Width();
    if (height_px) *height_px = session->Height();
    return true;
}

VideoSession::VideoSession(PassKey, int width, int height) : width_(width), height_(height) {}

VideoSession::~VideoSession() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

namespace {

// The viewer reads key presses, never text. X's compose table (thousands of lines parsed as the
// video system starts) would only cost start-up time, and could swallow a dead key a cabinet
// maps to a button. Where no session bus runs, SDL's D-Bus use would try to launch one, which
// forks and may leave a bus daemon behind. Settings the user made stay as they are.
void KeepStartUpLean() {
    setenv("XCOMPOSEFILE", "/dev/null", 0);
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS")) return;
    std::error_code ec;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec)) return;
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

std::string VideoDriversToTry(const std::vector<std::string>& available, bool x11_display,
                              bool wayland_display) {
    std::string list;
    for (const std::string& name : available) {
        if ((name == "x11" && !x11_display) || (name == "wayland" && !wayland_display) ||
            name == "offscreen" || name == "dummy" || name == "evdev")
            continue;
        if (!list.empty()) list += ',';
        list += name;
    }
    return list;
}

std::unique_ptr<VideoSession> VideoSession::Start(std::string* error) {
    KeepStartUpLean();
    if (!IsSet("SDL_VIDEODRIVER")) {
        std::vector<std::string> available;
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i)
            available.push_back(SDL_GetVideoDriver(i));
        const std::string drivers =
            VideoDriversToTry(available, IsSet("DISPLAY"), IsSet("WAYLAND_DISPLAY"));
        if (drivers.empty()) {
            Fail(error, "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)");
            return nullptr;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        Fail(error, std::string("no display: ") + SDL_GetError());
        return nullptr;
    }
    // From here on the session owns the start, and gives it back on every way out.
    auto session = std::make_unique<VideoSession>(PassKey{}, 0, 0);
    // SDL falls back to drivers that show nothing; a user would see no window at all.
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if ((name == "offscreen" || name == "dummy" || name == "evdev") &&
        !(requested && name == requested)) {
        Fail(error, "no display (only the \"" + name + "\" video driver is available)");
        return nullptr;
    }
    if (!session->SelectDisplay(0, error)) return nullptr;
    return session;
}

bool VideoSession::SelectDisplay(int display, std::string* error) {
    const int displays = SDL_GetNumVideoDisplays();
    if (display < 0 || display >= displays)
        return Fail(error, "there is no display " + std::to_string(display) +
                               " (this desktop has " + std::to_string(std::max(displays, 0)) +
                               ", counted from 0)");
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(display, &mode) != 0)
        return Fail(error, std::string("cannot read the display size: ") + SDL_GetError());
    width_ = mode.w;
    height_ = mode.h;
    return true;
}

}  // namespace kavro::toolkit
