#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Actions.h"
#include "cli/SettingsError.h"

namespace kavro::app {

struct Viewer;

// Everything the settings file holds, with the values a missing file gives.
struct SettingsValues {
    std::int16_t ZoomKey = 17, ExitKey = 27, RemoveImagesKey = 18, RemoveFormattingKey = 32;
    std::int16_t ScrollUpKey = 38, ScrollDownKey = 40, PrevSectionKey = 37, NextSectionKey = 39;
    std::int16_t PageUpKey = 33, PageDownKey = 34, FirstSectionKey = 36, LastSectionKey = 35;
    std::optional<std::int16_t> BordersKey;
    bool Zoomed = false, NoImages = false, NoFormatting = false;
    ControllerMap ControllerInputs = DefaultControllerMap();
    int Rotate = 0;  // only read: the screen's mounting is no view setting
    // Only read, for frontends: end after so many seconds (0: never); any key or button ends;
    // the screen to open on.
    int Seconds = 0;
    bool AnyKey = false;
    int Display = 0;
};

// The settings file in the program folder app_path.
std::string SettingsPath(const std::string& app_path);

// Reads the key codes of [Input], the controller inputs of [Joystick] and the flags and the
// rotation of [Settings] from the settings file at path. Throws SettingsError.
SettingsValues ReadSettings(const std::string& path);
// The same from several files, each on top of the ones before it: key by key, the last file
// that has a key gives its value.
using Files = std::vector<std::string>;
SettingsValues ReadSettings(const Files& paths);

// The settings files in reading order: kavro.ini beside the program when it is there but
// cannot be written (a read-only cabinet), then the file the flags are saved to (settings_file).
Files SettingsFiles(const std::string& app_path, const std::string& settings_file);

// Problems that leave the settings working but not as written: a file that exists but cannot
// be read, a key map in which no key reaches the exit action. One message each.
std::vector<std::string> SettingsWarnings(const Files& paths, const SettingsValues& values);
// Writes the three flags to [Settings]. A failure is reported on err and gives false; it never
// throws, because the program is ending.
bool WriteSettings(const std::string& path, const SettingsValues& values, std::ostream& err);

// The same for the viewer, with the settings files its services name (creating the file's
// folder when it is the user's configuration folder): fills its key codes and flags, warning
// on stderr (as findings with --check) / saves its flags (errors to stderr).
void LoadSettings(Viewer& v);
void SaveSettings(Viewer& v);

}  // namespace kavro::app
