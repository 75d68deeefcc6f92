#include "cli/Options.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "backend/KeyCodes.h"
#include "cli/CommandWords.h"
#include "manuals/ManualSearch.h"

namespace kavro::app {

namespace {

std::pair<int, int> ParseScreen(const std::string& text) {
    const std::size_t x = text.find_first_of("xX");
    const auto number = [&](const std::string& part) {
        std::size_t used = 0;
        const int value = std::stoi(part, &used);
        if (used != part.size() || value < 1 || value > 16384) throw std::invalid_argument("");
        return value;
    };
    try {
        if (x == std::string::npos) throw std::invalid_argument("");
        return {number(text.substr(0, x)), number(text.substr(x + 1))};
    } catch (const std::exception&) {
        throw std::invalid_argument(
            "--screen takes WIDTHxHEIGHT in pixels, such as 1920x1080, not \"" + text + "\"");
    }
}

std::vector<int> ParseKeys(const std::string& text) {
    std::vector<int> keys;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t at = text.find(',', from);
        if (at == std::string::npos) at = text.size();
        const std::string name = text.substr(from, at - from);
        const auto code = toolkit::VirtualKeyFromName(name);
        if (!code) throw std::invalid_argument("--keys: unknown key \"" + name + "\"");
        keys.push_back(*code);
        from = at + 1;
    }
    return keys;
}

// A whole number from least to 32767, as the settings file's numbers.
int ParseCount(const std::string& option, const std::string& text, int least) {
    constexpr int kMost = 32767;
    std::size_t used = 0;
    int value = -1;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < least || value > kMost)
        throw std::invalid_argument(option + " takes a whole number from " + std::to_string(least) +
                                    " to " + std::to_string(kMost) + ", not \"" + text + "\"");
    return value;
}

}  // namespace

const char* HelpText() {
    return "Usage: kavro [options] rom docname [stylename]\n"
           "\n"
           "Shows the document metadata/<rom>/<docname>.xml (several documents: doc1;doc2),\n"
           "styled by metadata/default/<stylename>.sxml or metadata/<rom>/<stylename>.sxml.\n"
           "\n"
           "Options:\n"
           "  --home DIR       the program folder (default: the folder of the executable)\n"
           "  --screen WxH     the screen size in pixels (default: the display's; 1920x1080\n"
           "                   without a display)\n"
           "  --render FILE    no window: load, deliver --keys, write the screen to FILE (PNG;\n"
           "                   - for standard output)\n"
           "  --keys LIST      after the load, press these keys: codes or names, comma-separated\n"
           "                   (Down,Right,Esc,Space,Ctrl,Alt,A,40,...)\n"
           "  --dump FILE      write the viewer's state as JSON to FILE (- for standard output)\n"
           "                   after the load and the keys (in a window: after every key)\n"
           "  --import FILE    write metadata/<rom>/<name>.xml for every game of a move-list\n"
           "                   or history file (<name>: the file's name without .dat), then end\n"
           "  --into DIR       with --import: write below DIR instead of the first writable\n"
           "                   metadata folder (the user's data folder for an installation)\n"
           "  --force          with --import: also replace documents the import did not write\n"
           "  --verbose        with --import: list every problem, not the first few of each kind\n"
           "  --system LIST    the item is of this software list (kavro --system nes zelda\n"
           "                   history): its entries and metadata/<LIST>/<rom>/\n"
           "  --parent NAME    when the rom has no document or entry of its own, use NAME's\n"
           "                   (a clone's parent)\n"
           "  --import-manuals DIR  prepare the pages of every manual (PDF, CBZ, ZIP, CB7, 7Z)\n"
           "                   in DIR for this screen (--screen), then end; --import FILE.pdf\n"
           "                   prepares one\n"
           "  --from-start     open the document at its top, not where the reader left it\n"
           "  --check          no window: load as the viewer would and report every mistake found\n"
           "                   in the documents as file:line:column: severity: message; exit\n"
           "                   status 0 when nothing was found, 3 when anything was. With\n"
           "                   --screen all, both orientations of 1920x1080 are checked\n"
           "  --quiet          with --check: report errors only (status 3 only for errors)\n"
           "  --watch          reload the window when the document, its style or its pictures\n"
           "                   change; a broken save shows its error on a bar at the bottom\n"
           "  --list ROM       print the documents the game has, one a line: the name, a tab,\n"
           "                   where it comes from (xml:path, dat:path); exit status 3 when\n"
           "                   there is none. No window\n"
           "  --seconds N      end after N seconds, with a countdown bar along the bottom; any\n"
           "                   key or button pauses it, the next one lets it run on\n"
           "  --any-key        any key or button ends the viewer (view flags not saved)\n"
           "  --display N      open on screen N (0 is the first)\n"
           "  --passive        never take the keyboard focus, keys or controllers (a second\n"
           "                   screen while a game runs)\n"
           "  --cycle S        show the next section every S seconds, from the last to the first\n"
           "  -h, --help       this text\n"
           "  --version        the version\n"
           "  --               the end of the options: every argument after it is a word\n"
           "\n"
           "Each argument is one word, blanks included; a single argument holding blanks is a\n"
           "whole command line and is split at every blank.\n"
           "\n"
           "Exit status: 0 ended normally, 1 bad command line, 2 bad settings file,\n"
           "3 document could not be loaded, 4 no font or no way to show or write the screen\n"
           "(or the dump), 5 --import could not write a document.\n";
}

std::string ProgramFolder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path().string();
}

std::string ProgramName(const char* argv0) {
    const std::string path = argv0 && *argv0 ? argv0 : "kavro";
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // After "--" everything is a word: a document may be named "--x". A lone "-" is a word;
        // any other argument starting with "-" is an option, known or not, except a launcher's
        // whole command line that begins with one ("--system nes zelda history").
        if (options_ended || arg.size() < 2 || arg[0] != '-' || IsLauncherLine(arg)) {
            o.words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg == "-h") {
            o.help = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const auto take = [&]() -> std::string {
            if (value) return *value;
            if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
            return args[++i];
        };
        // A file option given twice would drop one of them.
        const auto once = [&](std::optional<std::string>& slot) {
            if (slot) throw std::invalid_argument(name + " is given twice");
            slot = take();
        };
        if (name == "--help") {
            o.help = true;
        } else if (name == "--version") {
            o.version = true;
        } else if (name == "--home") {
            o.home = take();
        } else if (name == "--screen") {
            const std::string screen = take();
            if (screen == "all")
                o.screen_all = true;
            else
                o.screen = ParseScreen(screen);
        } else if (name == "--check") {
            o.check = true;
        } else if (name == "--quiet") {
            o.quiet = true;
        } else if (name == "--watch") {
            o.watch = true;
        } else if (name == "--render") {
            once(o.render);
        } else if (name == "--keys") {
            o.keys = ParseKeys(take());
        } else if (name == "--dump") {
            once(o.dump);
        } else if (name == "--import") {
            once(o.import);
        } else if (name == "--into") {
            once(o.into);
        } else if (name == "--force") {
            o.force = true;
        } else if (name == "--verbose") {
            o.verbose = true;
        } else if (name == "--system" || name == "--parent") {
            TakeItemOption(o.item, name, take());
        } else if (name == "--list") {
            o.list = true;
        } else if (name == "--seconds") {
            o.seconds = ParseCount(name, take(), 0);
        } else if (name == "--any-key") {
            o.any_key = true;
        } else if (name == "--display") {
            o.display = ParseCount(name, take(), 0);
        } else if (name == "--passive") {
            o.passive = true;
        } else if (name == "--cycle") {
            o.cycle = ParseCount(name, take(), 1);
        } else if (name == "--import-manuals") {
            o.import_manuals = take();
        } else if (name == "--from-start") {
            o.from_start = true;
        } else {
            throw std::invalid_argument("unknown option " + name + " (see kavro --help)");
        }
    }
    // A manual given to --import is prepared like a folder of them.
    if (o.import && manuals::KindOfFile(*o.import) && !o.into && !o.force && !o.verbose) {
        o.import_manuals = o.import;
        o.import.reset();
    }
    ValidateOptions(o);
    return o;
}

bool MayOpenWindow(const Options& o) {
    return !o.list && !o.check && !o.import && !o.import_manuals && !o.render;
}

std::optional<int> TakeCommandLine(int argc, char** argv, Options* options) {
    try {
        *options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "kavro: " << e.what() << "\n";
        return kExitUsage;
    }
    if (options->help) {
        std::cout << HelpText();
        return kExitOk;
    }
    if (options->version) {
        std::cout << kVersion << "\n";
        return kExitOk;
    }
    return std::nullopt;
}

void ValidateOptions(const Options& o) {
    if ((o.into || o.force || o.verbose) && !o.import)
        throw std::invalid_argument("--into, --force and --verbose go with --import FILE.dat");
    if (o.screen_all && !o.check)
        throw std::invalid_argument("--screen all only goes with --check");
    // --import and --check end the run in their own way: what goes with viewing would be
    // dropped. The first pair that cannot go together is named.
    const std::pair<const char*, bool> others[] = {{"--check", o.check},
                                                   {"--render", o.render.has_value()},
                                                   {"--dump", o.dump.has_value()},
                                                   {"--keys", !o.keys.empty()},
                                                   {"--watch", o.watch}};
    for (const auto& [mode, given] :
         {std::pair{"--import", o.import.has_value()}, std::pair{"--check", o.check}})
        for (const auto& [other, also] : others)
            if (given && also && std::string_view(other) != mode)
                throw std::invalid_argument(std::string(mode) + " and " + other +
                                            " cannot be used together");
    if (o.quiet && !o.check) throw std::invalid_argument("--quiet only goes with --check");
    if (o.import && !o.words.empty())
        throw std::invalid_argument("--import takes no rom or document words (\"" +
                                    o.words.front() + "\")");
}

}  // namespace kavro::app
