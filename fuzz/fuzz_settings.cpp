// Bytes as kavro.ini: read, save the flags, read again; the flags must come back unchanged
// and nothing outside the three keys may be lost.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "app/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro::app;
    const std::string home = kavro::fuzz::ScratchDir().string();
    const std::string path = SettingsPath(home);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    SettingsValues first;
    bool readable = true;
    try {
        first = ReadSettings(path);
    } catch (const SettingsError&) {
        readable = false;
    }
    std::ostringstream errors;
    if (!WriteSettings(path, first, errors)) return 0;  // refused: the file is left as it was
    if (!readable) return 0;
    SettingsValues second;
    try {
        second = ReadSettings(path);
    } catch (const SettingsError&) {
        std::abort();  // a file that read once must read again after saving the flags
    }
    if (second.Zoomed != first.Zoomed || second.NoImages != first.NoImages ||
        second.NoFormatting != first.NoFormatting || second.ZoomKey != first.ZoomKey ||
        second.ExitKey != first.ExitKey || second.ScrollUpKey != first.ScrollUpKey)
        std::abort();
    return 0;
}
