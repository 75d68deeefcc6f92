#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Viewer.h"

namespace kavro::app {

// The message shown when the program is started without a command line.
std::string UsageMessage();

// The command line with nothing to work with: no word for the item or the document.
struct CommandLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Start-up: names from the command line, the settings file, the window shown at the screen's
// size. Returns false when the command line is empty (the usage message has been shown).
// Throws CommandLineError or SettingsError.
bool Main(Viewer& v);

// The words of a command line: trimmed of blanks, split at every single blank.
std::vector<std::string> SplitWords(const std::string& command_line);

// The item named by the command line's first word. A frontend may pass the game's file path:
// with a '/' or '\\' in it, the item is the file's name without its extension
// ("/roms/mame/mk.zip" is "mk"); a plain word is the item as it stands.
std::string RomNameFromWord(const std::string& word);

// The one-shot start timer: disables itself and runs the first load.
void timLoad_Timer(Viewer& v);

}  // namespace kavro::app
