#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "import/ItemChoice.h"

namespace kavro::app {

// Options that frontends, tests and document authors put before or after the words.
struct Options {
    std::optional<std::string> home;            // the program folder
    std::optional<std::pair<int, int>> screen;  // pixels
    std::optional<std::string> render;          // PNG path: no window
    std::vector<int> keys;                      // virtual-key codes delivered after the load
    std::optional<std::string> dump;            // JSON path, "-" for stdout
    bool help = false;
    bool version = false;
    std::vector<std::string> words;  // everything that is not an option
    // --system LIST and --parent NAME: which item the words mean (also for --list).
    import::ItemChoice item;

    // kavro --import FILE.dat [--into DIR] [--force]
    std::optional<std::string> import;  // a move-list or history file
    std::optional<std::string> into;    // the folder it is imported into
    bool force = false;                 // replace documents that an import did not write
    bool verbose = false;               // list every problem of the import
    // kavro --import-manuals DIR: prepares the pages of every manual in it (also --import
    // FILE.pdf and the archive kinds).
    std::optional<std::string> import_manuals;
    bool from_start = false;  // ignore where the reader left the document
    // Authoring: --check reports findings without a window (--quiet: errors only, --screen all:
    // both orientations); --watch reloads the window when the files change.
    bool check = false, quiet = false, screen_all = false, watch = false;

    // Frontends. --list ROM: the documents a game has, no window. --seconds N: end after N
    // seconds; --any-key: any key or button ends; --display N: the screen (from 0) to open on;
    // --passive: never take the focus or the input; --cycle S: next section every S seconds.
    bool list = false, any_key = false, passive = false;
    std::optional<int> seconds, display, cycle;
};

// Takes the options out of the arguments, then validates them. Throws std::invalid_argument
// with a message.
Options ParseOptions(const std::vector<std::string>& args);
// Refuses options that cannot go together, naming both (std::invalid_argument). Every rule
// about combinations lives here.
void ValidateOptions(const Options& options);

// True when the run may open a window: anything but --list, --check, --import,
// --import-manuals and --render. Such a run ends at once on SIGTERM and SIGINT until the video
// system takes them over.
bool MayOpenWindow(const Options& options);

// The program's name as it was invoked (argv[0] without its folder), for messages.
std::string ProgramName(const char* argv0);

// Takes the options out of the command line as main gets it. The status when the program ends
// there: a command line it refuses (the message on standard error), --help or --version (their
// text on standard output).
std::optional<int> TakeCommandLine(int argc, char** argv, Options* options);

// The usage text of --help.
const char* HelpText();
// What --version prints.
inline constexpr const char* kVersion = "kavro 0.1.0";

// The folder of the running program (argv0's when /proc cannot say).
std::string ProgramFolder(const char* argv0);

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitSettings = 2;
inline constexpr int kExitLoad = 3;
inline constexpr int kExitEnvironment = 4;
inline constexpr int kExitImportWrite = 5;  // --import could not write a document

}  // namespace kavro::app
