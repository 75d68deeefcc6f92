#include "backend/DesktopServices.h"

#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <iostream>

namespace kavro::toolkit {

void DesktopServices::MsgBox(const std::string& text) {
    HeadlessServices::MsgBox(text);
    // A dialog needs a running video subsystem; without one the stderr copy is all there is.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    // The box can fail where the desktop lacks what SDL shows it with (on Wayland the zenity
    // helper): the text is on stderr already, so say only why no box appeared.
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Kavro", text.c_str(), nullptr) != 0)
        std::cerr << "kavro: the message box could not be shown: " << SDL_GetError() << "\n"
                  << std::flush;
}

void DesktopServices::Beep() {
    HeadlessServices::Beep();
    if (isatty(STDERR_FILENO) == 1) {
        const char bell = '\a';
        [[maybe_unused]] const auto written = write(STDERR_FILENO, &bell, 1);
    }
}

std::int64_t DesktopServices::Milliseconds() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

}  // namespace kavro::toolkit
