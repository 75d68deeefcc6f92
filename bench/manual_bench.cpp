// Game manuals: the first page of a generated 40-page PDF at 1920x1080, drawn for the first
// time (the rest goes on in the background) and from the page cache; the whole manual drawn in
// the background; the memory of reading a 200-page manual in a window. Targets: first page
// <= 1.0 s on first open and <= 150 ms cached (process start and window not included here; see
// the README), the whole 40 pages <= 10 s, reading 200 pages <= 200 MB.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <condition_variable>
#include <mutex>

#include "../tests/manuals/SamplePdf.h"
#include "BenchSupport.h"
#include "app/Keys.h"
#include "app/Manuals.h"
#include "manuals/ManualDocument.h"
#include "manuals/ManualPages.h"
#include "manuals/PageRasteriser.h"
#include "backend/Screen.h"

namespace kavro::bench {
namespace {

constexpr int kPages = 40;

struct ManualHome {
    BenchHome home;
    explicit ManualHome(int pages = kPages) {
        home.Write("manual.pdf", testing::SamplePdf(pages));
        ::setenv("XDG_CACHE_HOME", (home.Path() / "cache").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home.Path() / "config").c_str(), 1);
    }
    void ForgetPages() const {
        std::error_code ec;
        fs::remove_all(home.Path() / "cache", ec);
    }
};

// The load that shows the first page; background drawing as in a window (woken for nothing).
void BM_ManualFirstPage(benchmark::State& state) {
    const ManualHome manual;
    const bool cached = state.range(0) != 0;
    if (cached) {
        Session s = Start(manual.home.Path(), "mk manual");
        app::timLoad_Timer(*s.viewer);
    }
    for (auto _ : state) {
        state.PauseTiming();
        if (!cached) manual.ForgetPages();
        Session s = Start(manual.home.Path(), "mk manual");
        s.viewer->wakeForPages = [] {};
        state.ResumeTiming();
        app::timLoad_Timer(*s.viewer);
        state.PauseTiming();
        s.viewer.reset();  // stops the drawing of the rest
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ManualFirstPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

double ChildProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Every page of the 40 drawn at the width of a 1920x1080 screen's column, as a window gets them:
// the first at once, the rest in the background until the drawing says it is finished. The
// processor time of pdfinfo and pdftoppm is a counter (the clock depends on the machine's load).
void BM_ManualWhole(benchmark::State& state) {
    const ManualHome manual;
    const manuals::PageCache cache((manual.home.Path() / "cache").string(),
                                   manuals::PageCache::kDefaultLimitBytes);
    manuals::PrepareRequest request;
    request.manual = {(manual.home.Path() / "metadata/mk/manual.pdf").string(),
                      manuals::ManualKind::Pdf};
    request.width_px = manuals::PageWidthPixels(1080 * 15.0 * 1.33);
    request.search_path = "/usr/local/bin:/usr/bin:/bin";
    request.cache = &cache;
    const double children_before = ChildProcessorSeconds();
    for (auto _ : state) {
        state.PauseTiming();
        manual.ForgetPages();
        state.ResumeTiming();
        std::mutex mutex;
        std::condition_variable woken;
        std::vector<manuals::Page> pages;
        const auto drawing = manuals::PageRasteriser::Start(
            request,
            [&] {
                const std::lock_guard lock(mutex);
                woken.notify_all();
            },
            &pages);
        std::unique_lock lock(mutex);
        woken.wait(lock, [&] { return drawing->Finished(); });
        if (!drawing->Failure().empty()) state.SkipWithError(drawing->Failure().c_str());
    }
    state.counters["pdftoppm_cpu_s"] = ChildProcessorSeconds() - children_before;
}
BENCHMARK(BM_ManualWhole)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Kilobytes of a line of /proc/self/status (VmHWM, VmRSS); 0 when it cannot be read.
double StatusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1));
    return 0;
}

// A 200-page manual read to its end in a window at 1920x1080, one frame drawn for every page
// as the reader turns it. peak_MB is the most resident memory while reading (the peak is set
// back before the first page, so what the rest of the program did before does not count).
void BM_ManualMemory200(benchmark::State& state) {
    constexpr int kLongManual = 200;
    const ManualHome manual(kLongManual);
    // The window as tests open one: no display server, no GPU, SDL's software renderer.
    ::setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    for (auto _ : state) {
        state.PauseTiming();
        Session s = Start(manual.home.Path(), "mk manual");
        app::Viewer& v = *s.viewer;
        app::timLoad_Timer(v);  // every page drawn here, before the reading is measured
        std::string error;
        const auto window = toolkit::Window::Create(v.form, &error);
        if (!window) {
            state.SkipWithError(("no window: " + error).c_str());
            return;
        }
        window->Present();
        // Writing 5 to clear_refs sets the peak back to what is resident now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const double start_kb = StatusKilobytes("VmRSS");
        state.ResumeTiming();
        for (int page = 1; page < kLongManual; ++page) {
            app::Form_KeyDown(v, v.NextSectionKey, 0);
            window->Present();
        }
        state.PauseTiming();
        state.counters["pages"] = v.CurrentSection;
        state.counters["start_MB"] = start_kb / 1024.0;
        state.counters["peak_MB"] = StatusKilobytes("VmHWM") / 1024.0;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ManualMemory200)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kavro::bench

BENCHMARK_MAIN();
