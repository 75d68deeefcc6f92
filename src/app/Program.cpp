#include "app/Program.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "app/Check.h"
#include "app/Dump.h"
#include "app/Keys.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/Watch.h"
#include "app/WindowGeometry.h"
#include "base/Twips.h"
#include "import/DatImport.h"
#include "toolkit/DesktopServices.h"
#include "toolkit/KeyCodes.h"
#include "toolkit/PngWriter.h"
#include "toolkit/Screen.h"
#include "watch/FileWatcher.h"

namespace kavro::app {

namespace {

constexpr const char* kVersion = "kavro 0.1.0";
using base::kTwipsPerPixel;

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
           "  --render FILE    no window: load, deliver --keys, write the screen to FILE (PNG)\n"
           "  --keys LIST      after the load, press these keys: codes or names, comma-separated\n"
           "                   (Down,Right,Esc,Space,Ctrl,Alt,A,40,...)\n"
           "  --dump FILE      write the viewer's state as JSON to FILE (- for standard output)\n"
           "                   after the load and the keys (in a window: after every key)\n"
           "  --import FILE    write metadata/<rom>/<name>.xml for every game of a move-list\n"
           "                   or history file (<name>: the file's name without .dat), then end\n"
           "  --into DIR       with --import: write below DIR instead of metadata/\n"
           "  --force          with --import: also replace documents the import did not write\n"
           "  --check          no window: load as the viewer would and report every mistake found\n"
           "                   in the documents as file:line:column: severity: message; exit\n"
           "                   status 0 when nothing was found, 3 when anything was. With\n"
           "                   --screen all, both orientations of 1920x1080 are checked\n"
           "  --quiet          with --check: report errors only (status 3 only for errors)\n"
           "  --watch          reload the window when the document, its style or its pictures\n"
           "                   change; a broken save shows its error on a bar at the bottom\n"
           "  -h, --help       this text\n"
           "  --version        the version\n"
           "  --               the end of the options: every argument after it is a word\n"
           "\n"
           "Each argument is one word, blanks included; a single argument holding blanks is a\n"
           "whole command line and is split at every blank.\n"
           "\n"
           "Exit status: 0 ended normally, 1 bad command line, 2 bad settings file,\n"
           "3 document could not be loaded, 4 no font or no way to show or write the screen.\n";
}

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

std::string ProgramFolder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path().string();
}

bool WriteDump(const Viewer& v, const std::string& target) {
    const std::string text = DumpState(v) + "\n";
    if (target == "-") {
        std::cout << text << std::flush;
        return true;
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        std::cerr << "kavro: cannot write the dump to \"" << target << "\"\n";
        return false;
    }
    return true;
}

struct FontResult {
    std::unique_ptr<toolkit::FontEngine> engine;
    std::string error;
};

FontResult FindFont() {
    FontResult result;
    result.engine = toolkit::FontEngine::Create("Consolas", &result.error);
    return result;
}

// kavro --import FILE.dat: the summary on standard output, problems included.
int RunImport(const std::string& file, const std::string& into, bool force) {
    try {
        const auto summary = import::ImportDat(file, into, force);
        std::cout << import::FormatSummary(file, into, summary);
        return kExitOk;
    } catch (const import::DatError& e) {
        std::cerr << "kavro: cannot import: " << e.what() << "\n";
        return kExitLoad;
    }
}

// kavro --check: findings on standard output, problems of the check itself on standard error.
int RunCheckCommand(const Options& options, const char* argv0) {
    CheckRequest request;
    request.home = options.home ? *options.home : ProgramFolder(argv0);
    request.words = options.words;
    request.quiet = options.quiet;
    const std::pair<int, int> screen = options.screen.value_or(std::make_pair(1920, 1080));
    request.screens = options.screen_all ? BothOrientations(screen) : std::vector{screen};
    try {
        return RunCheck(request, std::cout);
    } catch (const CommandLineError& e) {
        std::cerr << e.what() << "\n";
        return kExitUsage;
    } catch (const SettingsError& e) {
        std::cerr << e.what() << "\n";
        return kExitSettings;
    } catch (const std::runtime_error& e) {
        std::cerr << e.what() << "\n";
        return kExitEnvironment;
    }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // After "--" everything is a word: a document may be named "--x".
        if (options_ended || arg.rfind("--", 0) != 0) {
            if (!options_ended && arg == "-h")
                o.help = true;
            else
                o.words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
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
            o.render = take();
        } else if (name == "--keys") {
            o.keys = ParseKeys(take());
        } else if (name == "--dump") {
            o.dump = take();
        } else if (name == "--import") {
            o.import = take();
        } else if (name == "--into") {
            o.into = take();
        } else if (name == "--force") {
            o.force = true;
        } else {
            throw std::invalid_argument("unknown option " + name + " (see kavro --help)");
        }
    }
    if ((o.into || o.force) && !o.import)
        throw std::invalid_argument("--into and --force go with --import FILE.dat");
    return o;
}

int RunProgram(int argc, char** argv) {
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "kavro: " << e.what() << "\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << HelpText();
        return kExitOk;
    }
    if (options.version) {
        std::cout << kVersion << "\n";
        return kExitOk;
    }
    if (options.screen_all && !options.check) {
        std::cerr << "kavro: --screen all only goes with --check\n";
        return kExitUsage;
    }
    if (options.check) return RunCheckCommand(options, argv[0]);

    const std::string home = options.home ? *options.home : ProgramFolder(argv[0]);
    if (options.import)
        return RunImport(*options.import, options.into.value_or(home + "/metadata"), options.force);
    std::optional<std::string> render = options.render;
    bool fell_back = false;
    std::pair<int, int> screen{1920, 1080};
    if (options.screen) screen = *options.screen;
    // The font is found while the video system starts: both take milliseconds before the
    // first frame, and neither needs the other.
    std::future<FontResult> font_search = std::async(std::launch::async, [] { return FindFont(); });
    std::unique_ptr<toolkit::VideoSession> video;
    if (!render) {
        std::string error;
        video = toolkit::VideoSession::Start(&error);
        if (video) {
            if (!options.screen) screen = {video->Width(), video->Height()};
        } else {
            // No display: show what the screen would be, as a picture.
            render = (std::filesystem::temp_directory_path() / "kavro-screen.png").string();
            fell_back = true;
        }
    }

    const float width_twips = static_cast<float>(screen.first * kTwipsPerPixel);
    const float height_twips = static_cast<float>(screen.second * kTwipsPerPixel);
    std::unique_ptr<toolkit::HeadlessServices> services;
    if (render)
        services = std::make_unique<toolkit::HeadlessServices>(home, options.words, width_twips,
                                                               height_twips);
    else
        services = std::make_unique<toolkit::DesktopServices>(home, options.words, width_twips,
                                                              height_twips);

    FontResult font = font_search.get();
    auto fonts = std::move(font.engine);
    if (!fonts) {
        services->MsgBox("Kavro cannot start: " + font.error);
        return kExitEnvironment;
    }
    auto viewer = std::make_unique<Viewer>(*services, std::move(fonts));
    Viewer& v = *viewer;
    v.form.Resize = [&v] { Form_Resize(v); };
    v.form.KeyDown = [&v, &options](int key, int shift) {
        // While the files are watched, a view toggle that meets a broken file shows it on the
        // bar instead of ending the viewer.
        if (options.watch && !options.render) {
            try {
                Form_KeyDown(v, key, shift);
            } catch (const document::LoadError& e) {
                ShowErrorBar(v, DescribeLoadError(e));
            }
        } else {
            Form_KeyDown(v, key, shift);
        }
        if (options.dump) WriteDump(v, *options.dump);
    };
    v.form.MouseWheel = [&v, &options](int notches) {
        Form_MouseWheel(v, notches);
        if (options.dump) WriteDump(v, *options.dump);
    };
    v.form.ControllerDown = [&v, &options](const toolkit::ControllerInput& input) {
        Form_ControllerDown(v, input);
        if (options.dump) WriteDump(v, *options.dump);
    };
    bool loaded = false;
    // --watch: created with the window; told what to watch after each load.
    std::unique_ptr<watch::FileWatcher> watcher;
    v.form.AddTimer(&v.form.timLoad, [&v, &options, &loaded, &watcher] {
        if (watcher) {
            try {
                timLoad_Timer(v);
            } catch (const document::LoadError& e) {
                ShowErrorBar(v, DescribeLoadError(e));
            }
            watcher->Watch(WatchedFiles(v));
        } else {
            timLoad_Timer(v);
        }
        loaded = true;
        try {
            for (int key : options.keys)
                Form_KeyDown(v, key, 0);
        } catch (const toolkit::ProgramEnd&) {
            // The exit key among the keys: the state as it stood when it was pressed.
            if (options.dump) WriteDump(v, *options.dump);
            throw;
        }
        if (options.dump) WriteDump(v, *options.dump);
    });

    try {
        if (!Main(v)) return kExitUsage;
        if (render) {
            // The exit key among --keys ends the run with its status, after the picture of the
            // screen as it stood when the key was pressed.
            int status = kExitOk;
            try {
                v.form.Timers().front().tick();
            } catch (const toolkit::ProgramEnd& end) {
                status = end.status;
            }
            std::string error;
            const toolkit::ScreenPicture screen = toolkit::PaintForm(v.form, &error);
            if (!screen || !toolkit::WritePng(screen.get(), *render, &error)) {
                services->MsgBox("Kavro cannot write the screen to \"" + *render + "\": " + error);
                return kExitEnvironment;
            }
            if (fell_back)
                std::cout << "No display available: the screen was rendered to " << *render << "\n";
            return status;
        }
        std::string error;
        auto window = toolkit::Window::Create(v.form, &error);
        if (!window) {
            services->MsgBox("Kavro cannot open its window: " + error);
            return kExitEnvironment;
        }
        window->UseControllers(home);
        // The watcher's thread only wakes the event loop; the reload runs there. It stops
        // before the window goes.
        struct StopWatching {
            std::unique_ptr<watch::FileWatcher>& watcher;
            ~StopWatching() { watcher.reset(); }
        } stop_watching{watcher};
        if (options.watch) {
            window->OnWake([&v, &options, &watcher] {
                ReloadAfterChange(v);
                if (watcher) watcher->Watch(WatchedFiles(v));
                if (options.dump) WriteDump(v, *options.dump);
            });
            watcher = std::make_unique<watch::FileWatcher>(window->Waker());
        }
        // For scripts/bench: the moment the first frame with the document is shown, in
        // microseconds since the epoch, then the end of the program.
        if (std::getenv("KAVRO_FIRST_FRAME")) {
            window->OnFrame([&loaded] {
                if (!loaded) return;
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::cerr << "kavro: first frame at "
                          << std::chrono::duration_cast<std::chrono::microseconds>(now).count()
                          << "\n";
                throw toolkit::ProgramEnd{kExitOk};
            });
        }
        return window->Run();
    } catch (const toolkit::ProgramEnd& end) {
        return end.status;
    } catch (const CommandLineError& e) {
        services->MsgBox(e.what());
        return kExitUsage;
    } catch (const SettingsError& e) {
        services->MsgBox(e.what());
        return kExitSettings;
    } catch (const document::LoadError& e) {
        services->MsgBox(e.what());
        return kExitLoad;
    }
}

}  // namespace kavro::app
