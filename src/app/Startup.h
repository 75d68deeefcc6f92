#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Viewer.h"

namespace kavro::app {

// The message shown when the program is started without a command line; program is the
// program's name as it was invoked.
std::string UsageMessage(const std::string& program);

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

// The words of the command: the arguments as the platform separated them. A single argument
// is a whole command line (a launcher that passes everything as one text) and is split like
// one; a single word stays itself.
std::vector<std::string> CommandWords(const std::vector<std::string>& arguments);

// The item named by the command line's first word. A frontend may pass the game's file:
// unless an item folder is named exactly as the word (folder_exists(word)), a word with a
// folder part ('/' or '\\') or an extension names the file's base name without its extension
// ("/roms/mame/mk.zip", "C:\\My Roms\\mk.7z" and "mk.zip" are "mk").
std::string RomNameFromWord(const std::string& word,
                            const std::function<bool(const std::string&)>& folder_exists);

// True when the item folder metadata/<name>/ exists below the program folder.
bool ItemFolderExists(const Viewer& v, const std::string& name);

// The one-shot start timer: disables itself and runs the first load.
void timLoad_Timer(Viewer& v);

}  // namespace kavro::app
