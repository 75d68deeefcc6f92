#include "app/Program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <stdexcept>
#include <system_error>

#include "app/Check.h"
#include "app/Dump.h"
#include "app/Keys.h"
#include "app/Manuals.h"
#include "app/Resume.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "app/Unattended.h"
#include "app/Watch.h"
#include "app/WindowGeometry.h"
#include "backend/DesktopServices.h"
#include "backend/KeyCodes.h"
#include "backend/PngWriter.h"
#include "backend/Screen.h"
#include "base/AtomicFile.h"
#include "base/Twips.h"
#include "cli/DocumentList.h"
#include "cli/List.h"
#include "cli/Signals.h"
#include "forms/DataPaths.h"
#include "import/DatImport.h"
#include "import/ImportTarget.h"
#include "manuals/ManualSearch.h"
#include "watch/FileWatcher.h"

namespace kavro::app {

namespace {

using base::kTwipsPerPixel;

// The dump replaces its file only when all of it was written; "-" is standard output. A dump
// that cannot be written ends the run with the status for an output that cannot be written.
void WriteDump(const Viewer& v, const std::string& target) {
    const std::string text = DumpState(v) + "\n";
    std::string error;
    if (target == "-") {
        std::cout << text << std::flush;
        if (std::cout) return;
        std::cout.clear();
        error = "cannot write to standard output";
    } else if (base::ReplaceFile(target, text, &error)) {
        return;
    }
    std::cerr << "kavro: cannot write the dump: " << error << "\n";
    throw toolkit::ProgramEnd{kExitEnvironment};
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

// Where --import writes without --into: the first metadata folder that can be written (a
// portable folder's own), else the user's data folder, made when needed (an installation).
std::string DefaultImportTarget(const std::string& home) {
    const toolkit::DataPaths paths = toolkit::FindDataPaths(home);
    for (const std::string& root : paths.metadata_roots)
        if (::access(root.c_str(), W_OK) == 0) return root;
    return paths.user_metadata_root.empty() ? paths.metadata_roots.back()
                                            : paths.user_metadata_root;
}

// kavro --import FILE.dat: the summary on standard output, problems included. It stops at the
// first document it cannot write, with one message naming it.
int RunImport(const std::string& file, const std::string& into, bool force, bool verbose) {
    try {
        const auto summary = import::ImportDat(file, into, force);
        std::cout << import::FormatSummary(file, into, summary, verbose) << std::flush;
        if (!std::cout) return kExitImportWrite;
        // A file of which nothing could be converted is not a successful import.
        return import::ConvertedAnything(summary) ? kExitOk : kExitLoad;
    } catch (const import::DatError& e) {
        std::cerr << "kavro: cannot import: " << e.what() << "\n";
        return kExitLoad;
    } catch (const import::ImportWriteError& e) {
        std::cerr << "kavro: cannot import \"" << file << "\" into \"" << into << "\": " << e.what()
                  << "; the import stopped there\n";
        return kExitImportWrite;
    }
}

// kavro --check: findings on standard output, problems of the check itself on standard error.
int RunCheckCommand(const Options& options, const char* argv0) {
    CheckRequest request;
    request.home = options.home ? *options.home : ProgramFolder(argv0);
    request.words = options.words;
    request.quiet = options.quiet;
    request.item = options.item;
    request.program = ProgramName(argv0);
    const std::pair<int, int> screen = options.screen.value_or(std::make_pair(1920, 1080));
    request.screens = options.screen_all ? BothOrientations(screen) : std::vector{screen};
    try {
        return RunCheck(request, std::cout);
    } catch (const CommandLineError& e) {
        // Empty: the usage message, already shown.
        if (*e.what()) std::cerr << e.what() << "\n";
        return kExitUsage;
    } catch (const SettingsError& e) {
        std::cerr << e.what() << "\n";
        return kExitSettings;
    } catch (const std::runtime_error& e) {
        std::cerr << e.what() << "\n";
        return kExitEnvironment;
    }
}

// The screen to open on: --display, else Display= of the settings file. A settings file that
// cannot be read gives the first screen here; the start-up reports it.
int ChosenDisplay(const Options& options, const std::string& home) {
    if (options.display) return *options.display;
    try {
        return ReadSettings(toolkit::FindDataPaths(home).settings_file).Display;
    } catch (const SettingsError&) {
        return 0;
    }
}

// A key from the keyboard or --keys: first what any key does for a frontend, then its action.
void PressKey(Viewer& v, int key) {
    AnyInput(v);
    Form_KeyDown(v, key, 0);
}

// The screen's picture where no display is available: a new file of our own, created
// exclusively (another user's file or a link planted under the name is never written), in
// $XDG_RUNTIME_DIR or else the temporary folder. Empty with the reason in *error when none of
// them can take one.
std::string HeadlessPicturePath(std::string* error) {
    std::vector<std::string> folders;
    for (const char* variable : {"XDG_RUNTIME_DIR", "TMPDIR"})
        if (const char* value = std::getenv(variable); value && *value == '/')
            folders.emplace_back(value);
    folders.emplace_back("/tmp");
    for (const std::string& folder : folders) {
        std::string path = folder + "/kavro-screen-XXXXXX.png";
        const int fd = ::mkostemps(path.data(), 4, O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        *error += (error->empty() ? "" : "; ") + folder + ": " + std::strerror(errno);
    }
    return std::string();
}

// Copies the file to standard output (--render -).
bool CopyToStandardOutput(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    std::cout << in.rdbuf() << std::flush;
    if (in && std::cout) return true;
    std::cout.clear();
    *error = "cannot write the picture to standard output";
    return false;
}

// Writes the screen's picture to target; the writer replaces a file only when all of it was
// written. For "-" the picture goes through a temporary file of our own to standard output.
bool WritePicture(SDL_Surface* picture, const std::string& target, std::string* error) {
    if (target != "-") return toolkit::WritePng(picture, target, error);
    std::string folder_error;
    const std::string temporary = HeadlessPicturePath(&folder_error);
    if (temporary.empty()) {
        *error = "no temporary file: " + folder_error;
        return false;
    }
    struct RemoveAtEnd {
        std::string path;
        ~RemoveAtEnd() { ::unlink(path.c_str()); }
    } remove_temporary{temporary};
    return toolkit::WritePng(picture, temporary, error) && CopyToStandardOutput(temporary, error);
}

}  // namespace

int RunProgram(int argc, char** argv) {
    Options options;
    if (const std::optional<int> status = TakeCommandLine(argc, argv, &options)) return *status;
    if (options.check) return RunCheckCommand(options, argv[0]);

    const std::string home = options.home ? *options.home : ProgramFolder(argv[0]);
    if (options.import_manuals) {
        // The settings file of a viewer started here, for [Manuals]; the screen the pages are
        // drawn for.
        const toolkit::HeadlessServices where(home, options.words, 0, 0);
        const std::pair<int, int> size = options.screen.value_or(std::make_pair(1920, 1080));
        try {
            return ImportManuals(*options.import_manuals, where.SettingsFile(), size.first,
                                 size.second, std::cout, std::cerr);
        } catch (const SettingsError& e) {
            std::cerr << e.what() << "\n";
            return kExitSettings;
        }
    }
    if (options.list) return RunList(options, home);
    // A frontend ends a viewer it started with SIGTERM (or a user with Ctrl+C): with a window,
    // at once and with status 0, never saving the view flags.
    if (MayOpenWindow(options)) EndAtOnceOnSignals(true);
    if (options.import)
        return RunImport(*options.import, options.into ? *options.into : DefaultImportTarget(home),
                         options.force, options.verbose);
    std::optional<std::string> render = options.render;
    bool fell_back = false;
    std::pair<int, int> screen{1920, 1080};
    if (options.screen) screen = *options.screen;
    // The font is found while the video system starts: both take milliseconds before the
    // first frame, and neither needs the other.
    std::future<FontResult> font_search = std::async(std::launch::async, [] { return FindFont(); });
    std::unique_ptr<toolkit::VideoSession> video;
    const int display = ChosenDisplay(options, home);
    if (!render) {
        std::string error;
        // From the video start on, SDL's own handlers take the signals.
        EndAtOnceOnSignals(false);
        video = toolkit::VideoSession::Start(&error);
        if (video && !video->SelectDisplay(display, &error)) {
            std::cerr << "kavro: cannot open on the display asked for: " << error << "\n";
            return kExitEnvironment;
        }
        if (video) {
            if (!options.screen) screen = {video->Width(), video->Height()};
        } else {
            // No display: show what the screen would be, as a picture.
            std::string where;
            render = HeadlessPicturePath(&where);
            if (render->empty()) {
                std::cerr << "kavro: no display (" << error
                          << "), and no folder to render the screen to: " << where << "\n";
                font_search.wait();
                return kExitEnvironment;
            }
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
    v.item = options.item;
    // A picture of the screen (--render) shows the document from its top and leaves no place.
    if (!render) v.ResumeFile = ResumeStore::UserFile();
    v.FromStart = options.from_start;
    v.ProgramName = ProgramName(argv[0]);
    v.form.Resize = [&v] { Form_Resize(v); };
    v.form.KeyDown = [&v, &options](int key, int shift) {
        AnyInput(v);
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
        AnyInput(v);
        Form_ControllerDown(v, input);
        if (options.dump) WriteDump(v, *options.dump);
    };
    // Beside a running game no key or button is the viewer's.
    if (options.passive) v.form.KeyDown = nullptr, v.form.ControllerDown = nullptr;
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
        StartUnattended(v);
        loaded = true;
        try {
            for (int key : options.keys)
                PressKey(v, key);
        } catch (const toolkit::ProgramEnd&) {
            // The exit key among the keys: the state as it stood when it was pressed.
            if (options.dump) WriteDump(v, *options.dump);
            throw;
        }
        if (options.dump) WriteDump(v, *options.dump);
    });
    // After the start timer, which a run without a window ticks as the first.
    v.form.AddTimer(&v.form.timCountdown, [&v, &options] {
        timCountdown_Timer(v);
        if (options.dump) WriteDump(v, *options.dump);
    });
    v.form.AddTimer(&v.form.timCycle, [&v, &options] {
        timCycle_Timer(v);
        if (options.dump) WriteDump(v, *options.dump);
    });

    try {
        if (!Main(v)) return kExitUsage;
        // The command line wins over the settings file.
        if (options.seconds) v.Seconds = *options.seconds;
        if (options.any_key) v.AnyKey = true;
        if (options.cycle) v.CycleSeconds = *options.cycle;
        v.Display = display;
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
            if (!screen || !WritePicture(screen.get(), *render, &error)) {
                services->MsgBox("Kavro cannot write the screen to \"" + *render + "\": " + error);
                if (fell_back) ::unlink(render->c_str());
                return kExitEnvironment;
            }
            if (fell_back)
                std::cout << "No display available: the screen was rendered to " << *render << "\n";
            return status;
        }
        std::string error;
        auto window = toolkit::Window::Create(v.form, &error, {display, options.passive});
        if (!window) {
            services->MsgBox("Kavro cannot open its window: " + error);
            return kExitEnvironment;
        }
        if (!options.passive) window->UseControllers(home);
        // The watcher's thread only wakes the event loop; the reload runs there. It stops
        // before the window goes.
        struct StopWatching {
            std::unique_ptr<watch::FileWatcher>& watcher;
            ~StopWatching() { watcher.reset(); }
        } stop_watching{watcher};
        // A manual's pages drawn in the background arrive through the event loop too; their
        // drawing stops before the window goes.
        struct StopDrawing {
            Viewer& v;
            ~StopDrawing() {
                v.pageDrawing.reset();
                v.wakeForPages = nullptr;
            }
        } stop_drawing{v};
        v.wakeForPages = window->Waker();
        window->OnWake([&v, &options, &watcher] {
            PagesArrived(v);
            if (watcher) {
                ReloadAfterChange(v);
                watcher->Watch(WatchedFiles(v));
            }
            if (options.dump) WriteDump(v, *options.dump);
        });
        if (options.watch) watcher = std::make_unique<watch::FileWatcher>(window->Waker());
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
