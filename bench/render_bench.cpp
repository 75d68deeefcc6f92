// Documents shaped like real move lists (1, 10 and 40 font macros; 1,000 to 100,000 lines of
// distinct runs with icons; the demo), each shown by a whole `kavro --render` process and
// loaded in-process, next to the floor of the same work: the XML parse alone, and measuring
// every run the load placed with one SDL_ttf font per size. Prints one table; medians and
// fastest of KAVRO_BENCH_RUNS runs (default 5). The kavro program is the one beside this one.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "backend/PngWriter.h"

namespace {

namespace fs = std::filesystem;
using kavro::bench::BenchHome;
using kavro::bench::Session;
using kavro::bench::Start;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this process: on a machine shared with other work it varies far less
// than the time on the clock.
double CpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Standard error sent to /dev/null while it lives: the viewer reports documents that hold more
// runs than one load shows, once per load.
class QuietStderr {
  public:
    QuietStderr() : saved_(::dup(2)) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_;
};

struct Stats {
    double median = 0;
    double fastest = 0;
};

Stats Summarise(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {median, samples.front()};
}

Stats CpuTime(int runs, const std::function<void()>& work) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuMs();
        work();
        samples.push_back(CpuMs() - start);
    }
    return Summarise(samples);
}

// Processor time of every thread, and time on the clock.
struct Timed {
    Stats cpu, clock;
};
Timed CpuAndClock(int runs, const std::function<void()>& work) {
    std::vector<double> cpu, clock;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuMs();
        const auto clock_start = Clock::now();
        work();
        clock.push_back(MsSince(clock_start));
        cpu.push_back(CpuMs() - start);
    }
    return {Summarise(cpu), Summarise(clock)};
}

// A move list: lines of three distinct text runs (words, numbers) and an icon; every third
// line's middle run in one of the font macros, spread over 70 %..150 % of the base size
// (31..67 pt at 1920x1080); sections of 100 lines.
std::string MoveList(int macros, int lines) {
    static const char* const kWords[] = {
        "punch", "kick",    "throw",   "dash",  "jump",  "crouch", "block", "counter",
        "sweep", "launch",  "slide",   "grab",  "roll",  "taunt",  "guard", "flip",
        "spin",  "charge",  "burst",   "feint", "dive",  "hook",   "jab",   "elbow",
        "knee",  "cyclone", "thunder", "moon",  "blade", "shadow", "storm", "crescent"};
    const char* const kIcons[] = {"lp", "mp", "hp", "lk", "mk", "hk", "up", "down"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    auto word = [&] { return std::string(kWords[next(32)]); };
    std::string doc = "<document><head><textwidth>48</textwidth>";
    for (int m = 0; m < macros; ++m) {
        const int size = macros == 1 ? 100 : 70 + 80 * m / (macros - 1);
        doc += "<fontmacro size=\"" + std::to_string(size) + "\" color=\"220," +
               std::to_string(m * 6 % 256) + ",120\">f" + std::to_string(m) + "</fontmacro>";
    }
    doc += "<bgmacro name=\"night\" style=\"0\" color=\"16,20,48\"/></head>";
    for (int i = 0; i < lines; ++i) {
        if (i % 100 == 0) {
            if (i > 0) doc += "</section>";
            doc += "<section bg=\"night\">\n";
        }
        doc += word() + " " + word() + " " + std::to_string(i) + " <font name=\"f" +
               std::to_string(next(static_cast<std::uint32_t>(macros))) + "\">" + word() + " " +
               word() + " " + std::to_string(next(1000)) + "</font><icon name=\"" +
               kIcons[next(8)] + "\"></icon> " + word() + " " + std::to_string(next(100)) + "\n";
    }
    doc += "</section></document>";
    return doc;
}

struct ProcessResult {
    Stats wall;
    Stats cpu;
    double peak_mb = 0;
    bool ok = true;
};

// Runs `kavro --home home --render png rom doc` runs times.
ProcessResult RenderProcess(const std::string& kavro, const fs::path& home, const std::string& doc,
                            const std::string& png, int runs) {
    ProcessResult result;
    std::vector<double> samples, cpu;
    for (int i = 0; i < runs; ++i) {
        std::fflush(nullptr);  // or the child writes this program's buffered output again
        const auto start = Clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(kavro.c_str(), kavro.c_str(), "--home", home.c_str(), "--render", png.c_str(),
                    "mk", doc.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            result.ok = false;
        samples.push_back(MsSince(start));
        cpu.push_back(static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
        result.peak_mb = std::max(result.peak_mb, static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    result.wall = Summarise(samples);
    result.cpu = Summarise(cpu);
    return result;
}

struct Run {
    std::string text;
    int points;
};

// Every text run the load placed, with its whole point size.
std::vector<Run> PlacedRuns(const kavro::app::Viewer& v) {
    std::vector<Run> runs;
    for (int i = 0; i <= v.form.lblText.UBound(); ++i)
        if (const auto* label = v.form.lblText.At(i); label && !label->Caption().empty())
            runs.push_back({label->Caption(), static_cast<int>(std::lround(label->FontSize()))});
    return runs;
}

// The floor of measuring: one font per size, opened here, and TTF_SizeUTF8 of every run.
double MeasureFloor(const std::string& font_file, const std::vector<Run>& runs) {
    std::map<int, TTF_Font*> fonts;
    long total = 0;
    for (const Run& r : runs) {
        TTF_Font*& font = fonts[r.points];
        if (!font) font = TTF_OpenFontDPI(font_file.c_str(), r.points, 96, 96);
        int w = 0, h = 0;
        if (font && TTF_SizeUTF8(font, r.text.c_str(), &w, &h) == 0) total += w;
    }
    for (auto& [points, font] : fonts)
        if (font) TTF_CloseFont(font);
    return static_cast<double>(total);
}

struct Row {
    std::string name;
    ProcessResult process;
    Stats load, load_cpu, parse, measure;
    std::size_t runs = 0;
    int sizes = 0;
    int lines = 0;
};

Row Measure(const std::string& kavro, const fs::path& home, const std::string& doc,
            const std::string& png, int runs) {
    Row row;
    row.process = RenderProcess(kavro, home, doc, png, runs);
    // In-process: a cold load each time (a new viewer and font engine, as at start-up).
    std::vector<Run> placed;
    std::string font_file;
    std::vector<double> loads, load_cpus;
    for (int i = 0; i < runs; ++i) {
        Session s = Start(home, "mk " + doc);
        const QuietStderr quiet;
        const double start = CpuMs();
        const auto clock_start = Clock::now();
        kavro::app::timLoad_Timer(*s.viewer);
        loads.push_back(MsSince(clock_start));
        load_cpus.push_back(CpuMs() - start);
        if (i == 0) {
            placed = PlacedRuns(*s.viewer);
            font_file = s.viewer->form.Fonts().FontFile();
        }
    }
    row.load = Summarise(loads);
    row.load_cpu = Summarise(load_cpus);
    const std::string path = (home / "metadata" / "mk" / (doc + ".xml")).string();
    row.parse = CpuTime(runs, [&] { kavro::bench::ParseOnly(path); });
    volatile double sink = 0;
    row.measure = CpuTime(runs, [&] { sink = MeasureFloor(font_file, placed); });
    row.runs = placed.size();
    std::map<int, int> sizes;
    for (const Run& r : placed)
        ++sizes[r.points];
    row.sizes = static_cast<int>(sizes.size());
    return row;
}

void PrintRow(const Row& r, const Row& empty) {
    const double floor = r.parse.median + r.measure.median;
    char per_line[16] = "-";
    if (r.lines > 0)
        std::snprintf(per_line, sizeof per_line, "%.3f", 1000 * r.load.median / r.lines);
    std::printf(
        "%-17s %6zu %3d | %6.0f %6.0f %6.0f | %6.0f %6.0f %4.0f | %6.1f %6.1f %6s %6.1f %6.1f "
        "%6.1f %5.1f\n",
        r.name.c_str(), r.runs, r.sizes, r.process.wall.median, r.process.wall.fastest,
        r.process.wall.median - empty.process.wall.median, r.process.cpu.median,
        r.process.cpu.median - empty.process.cpu.median, r.process.peak_mb, r.load.median,
        r.load_cpu.median, per_line, r.parse.median, r.measure.median, floor,
        floor > 0 ? r.load.median / floor : 0.0);
    if (!r.process.ok) std::printf("  (the program failed on this document)\n");
}

// The PNG write of one 1920x1080 screen (the demo's), with this program's writer and with
// SDL_image's, best of runs.
void PrintPngWrite(const std::string& screen_png, const fs::path& dir, int runs) {
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> loaded(IMG_Load(screen_png.c_str()),
                                                                SDL_FreeSurface);
    if (!loaded) {
        std::printf("PNG write: cannot read %s\n", screen_png.c_str());
        return;
    }
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> screen(
        SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0), SDL_FreeSurface);
    const std::string ours = (dir / "ours.png").string(), theirs = (dir / "sdl.png").string();
    std::string error;
    const Timed write =
        CpuAndClock(runs * 2, [&] { kavro::toolkit::WritePng(screen.get(), ours, &error); });
    const Stats sdl = CpuTime(runs, [&] { IMG_SavePNG(screen.get(), theirs.c_str()); });
    std::printf(
        "PNG write of the demo's %dx%d screen: %.1f ms on the clock (median; fastest %.1f), "
        "%.1f ms processor time, %.0f KB (SDL_image's IMG_SavePNG: %.1f ms "
        "processor time, %.0f KB)\n",
        screen->w, screen->h, write.clock.median, write.clock.fastest, write.cpu.median,
        static_cast<double>(fs::file_size(ours)) / 1024.0, sdl.median,
        static_cast<double>(fs::file_size(theirs)) / 1024.0);
}

double LoadAverage() {
    double load[1] = {0};
    return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* runs_env = std::getenv("KAVRO_BENCH_RUNS");
    const int runs = std::max(1, runs_env ? std::atoi(runs_env) : 5);
    std::vector<int> line_counts = {1000, 10000, 100000};
    if (argc > 1 && std::string(argv[1]) == "--quick") line_counts = {1000, 10000};
    const std::string kavro = (fs::canonical("/proc/self/exe").parent_path() / "kavro").string();
    if (!fs::exists(kavro)) {
        std::fprintf(stderr, "render_bench: %s is missing: build the kavro target\n",
                     kavro.c_str());
        return 1;
    }
    SDL_setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (TTF_Init() != 0) return 1;

    BenchHome home;
    const std::string png = (home.Path() / "screen.png").string();
    const std::string demo_png = (home.Path() / "demo.png").string();
    home.Write("empty.xml", "<document><section>\n</section></document>");
    struct Case {
        std::string name, doc;
        fs::path home;
        int lines = 0;
    };
    std::vector<Case> cases;
    cases.push_back({"demo", "command", fs::path(KAVRO_SOURCE_DIR), 0});
    for (int macros : {1, 10, 40})
        for (int lines : line_counts) {
            const std::string doc = "m" + std::to_string(macros) + "_" + std::to_string(lines);
            home.Write(doc + ".xml", MoveList(macros, lines));
            cases.push_back({std::to_string(lines) + " lines x " + std::to_string(macros), doc,
                             home.Path(), lines});
        }

    std::printf(
        "Load average at the start: %.1f (2 cores); %d runs of each. Processes: time on the "
        "clock and processor time, +empty over the empty document; peak resident memory. Load: "
        "a cold in-process load (new viewer), on the clock and in processor time; floor: the XML "
        "parse alone plus SDL_ttf measuring every placed run with one "
        "font per size, on one thread; ratio = load on the clock / floor\n",
        LoadAverage(), runs);
    std::printf("%-17s %6s %3s | %-20s | %-18s | %-41s\n", "", "", "", "  whole --render, ms",
                "  its CPU, ms;  MB", "  load in-process (clock, CPU ms) and floor");
    std::printf("%-17s %6s %3s | %6s %6s %6s | %6s %6s %4s | %6s %6s %6s %6s %6s %6s %5s\n",
                "document x macros", "runs", "pt", "median", "best", "+empty", "median", "+empty",
                "peak", "load", "cpu", "us/ln", "parse", "measur", "floor", "ratio");
    Row empty = Measure(kavro, home.Path(), "empty", png, runs);
    empty.name = "empty";
    PrintRow(empty, empty);
    for (const Case& c : cases) {
        Row row = Measure(kavro, c.home, c.doc, png, runs);
        row.name = c.name;
        row.lines = c.lines;
        PrintRow(row, empty);
        std::fflush(stdout);
        if (c.doc == "command") fs::copy_file(png, demo_png, fs::copy_options::overwrite_existing);
    }
    PrintPngWrite(demo_png, home.Path(), runs);
    std::printf("Load average at the end: %.1f\n", LoadAverage());
    TTF_Quit();
    return 0;
}
