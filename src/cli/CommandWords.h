#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "import/ItemChoice.h"

namespace kavro::app {

// The command line with nothing to work with: no word for the item or the document.
struct CommandLineError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The words of a command line: trimmed of blanks, split at every single blank.
std::vector<std::string> SplitWords(const std::string& command_line);

// The words of the command: the arguments as the platform separated them. A single argument
// is a whole command line (a launcher that passes everything as one text) and is split like
// one; a single word stays itself.
std::vector<std::string> CommandWords(const std::vector<std::string>& arguments);

// An argument that begins like an option but is a launcher's whole command line: blanks before
// any "=" ("--system nes zelda history"; "--home=/my roms" is an option).
bool IsLauncherLine(const std::string& argument);

// Sets --system or --parent (name) to value. Throws std::invalid_argument when the value
// cannot be a name (empty, a folder part, blanks).
void TakeItemOption(import::ItemChoice& item, const std::string& name, const std::string& value);

// The words of a launcher's command line without the --system and --parent words it carries
// ("zelda history --system nes", "--parent=sf2 sf2ce history"), which go into item. Throws
// CommandLineError when such a word lacks its value or the value is no name.
std::vector<std::string> TakeItemWords(const std::vector<std::string>& words,
                                       import::ItemChoice& item);

// The item named by the command line's first word. A frontend may pass the game's file:
// unless an item folder is named exactly as the word (folder_exists(word)), a word with a
// folder part ('/' or '\\') or an extension names the file's base name without its extension
// ("/roms/mame/mk.zip", "C:\\My Roms\\mk.7z" and "mk.zip" are "mk").
std::string RomNameFromWord(const std::string& word,
                            const std::function<bool(const std::string&)>& folder_exists);

// True when the item folder <root>/<name>/ exists in one of these metadata folders.
bool ItemFolderExists(const std::vector<std::string>& roots, const std::string& name);

}  // namespace kavro::app
