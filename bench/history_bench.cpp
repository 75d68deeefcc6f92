// history.xml: a generated 40 MB file of 30,000 entries. Targets: the index built in under
// 300 ms on first open and read from its cache in under 5 ms, one game's entry in under 5 ms,
// the whole file imported in under 3 s of processor time with the index (not the file) in
// memory, and a viewer start with a history entry within 20 ms of the same game's imported
// document.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "DataFileBench.h"
#include "import/DatConverter.h"
#include "import/DatImport.h"
#include "import/DatIndex.h"

namespace {

namespace fs = std::filesystem;
using namespace kavro;

constexpr int kEntries = 30000;
const std::string kGame = "game15000";

// About 1,350 bytes an entry, as real entries run: two machines (every fifth entry a
// software-list item instead), paragraphs, headings and the escaped edit link.
std::string HistoryFile() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<history version=\"1.0\">\n";
    const std::string paragraph =
        "A generated paragraph of the history: who made the game, when it came out, how it "
        "plays and what became of it, long enough to wrap a few times on the screen, with a "
        "little more about its sequels.\n\n";
    for (int e = 0; e < kEntries; ++e) {
        const std::string n = std::to_string(e);
        text += "\t<entry>\n";
        if (e % 5 == 4)
            text += "\t\t<software>\n\t\t\t<item list=\"nes\" name=\"cart" + n +
                    "\" />\n\t\t</software>\n";
        else
            text += "\t\t<systems>\n\t\t\t<system name=\"game" + n +
                    "\" />\n\t\t\t<system name=\"game" + n + "j\" />\n\t\t</systems>\n";
        text += "\t\t<text>Arcade video game published 40 years ago:\n\nGame " + n +
                " (c) 1986 Example Co.\n\n" + paragraph + paragraph + "- TECHNICAL -\n\n" +
                paragraph + "- TRIVIA -\n\n" + paragraph + paragraph + "- CONTRIBUTE -\n\n" +
                "&lt;a href=&quot;https://example.org/?&amp;page=detail&amp;id=" + n +
                "&quot;&gt;Edit this entry&lt;/a&gt;\n\t\t</text>\n\t</entry>\n";
    }
    return text + "</history>\n";
}

const bench::DataFileHome& Home() {
    static const bench::DataFileHome home("history.xml", HistoryFile());
    return home;
}

double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double UserSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec) / 1e6;
}

// The first open: no cache yet.
void BM_HistoryIndexBuild(benchmark::State& state) {
    const std::string data = Home().Data();
    std::size_t entries = 0;
    for (auto _ : state)
        entries = import::DatIndex::Build(data).Entries().size();
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["MB"] = static_cast<double>(fs::file_size(data)) / 1e6;
}
BENCHMARK(BM_HistoryIndexBuild)->Unit(benchmark::kMillisecond);

void BM_HistoryIndexOpenCached(benchmark::State& state) {
    const std::string data = Home().Data();
    import::DatIndex::Open(data);
    for (auto _ : state)
        benchmark::DoNotOptimize(import::DatIndex::Open(data).Entries().size());
}
BENCHMARK(BM_HistoryIndexOpenCached)->Unit(benchmark::kMillisecond);

void BM_HistoryOneEntry(benchmark::State& state) {
    const std::string data = Home().Data();
    const import::DatIndex index = import::DatIndex::Open(data);
    const import::DatEntry* entry = index.Find(kGame);
    if (!entry) state.SkipWithError("no entry");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            import::ConvertEntry(data, index, *entry, "bio", kGame).xml.size());
}
BENCHMARK(BM_HistoryOneEntry)->Unit(benchmark::kMillisecond);

void BM_HistoryImport(benchmark::State& state) {
    const fs::path into = Home().Path() / "imported";
    std::size_t written = 0;
    double processor = 0, user = 0;
    for (auto _ : state) {
        const double start = ProcessorSeconds(), start_user = UserSeconds();
        written = import::ImportDat(Home().Data(), into.string(), false).written;
        processor += ProcessorSeconds() - start;
        user += UserSeconds() - start_user;
        state.PauseTiming();
        fs::remove_all(into);
        state.ResumeTiming();
    }
    state.counters["documents"] = static_cast<double>(written);
    state.counters["cpu_s"] = processor / static_cast<double>(state.iterations());
    // The rest is the kernel making folders and files.
    state.counters["user_s"] = user / static_cast<double>(state.iterations());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_HistoryImport)->Unit(benchmark::kMillisecond)->Iterations(1);

// The floor of the import's file work on this machine: as many folders and documents of the
// same size made as simply as the system allows (mkdir, a new file written, renamed into
// place), without reading or converting anything.
void BM_HistoryImportFloor(benchmark::State& state) {
    const fs::path into = Home().Path() / "floor";
    const std::string text(1900, 'x');
    double processor = 0, user = 0;
    for (auto _ : state) {
        const double start = ProcessorSeconds(), start_user = UserSeconds();
        fs::create_directory(into);
        for (int e = 0; e < kEntries * 9 / 5; ++e) {
            const fs::path folder = into / ("game" + std::to_string(e));
            const fs::path temp = folder / ".history.xml.tmp";
            fs::create_directory(folder);
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 || ::write(fd, text.data(), text.size()) < 0 || ::close(fd) != 0 ||
                ::rename(temp.c_str(), (folder / "history.xml").c_str()) != 0)
                state.SkipWithError("cannot write");
        }
        processor += ProcessorSeconds() - start;
        user += UserSeconds() - start_user;
        state.PauseTiming();
        fs::remove_all(into);
        state.ResumeTiming();
    }
    state.counters["cpu_s"] = processor / static_cast<double>(state.iterations());
    state.counters["user_s"] = user / static_cast<double>(state.iterations());
}
BENCHMARK(BM_HistoryImportFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

// A whole viewer start and load of the game's history: arg 0 from history.xml (its index
// cached), arg 1 from its imported document.
void BM_HistoryViewerStart(benchmark::State& state) {
    const bool imported = state.range(0) != 0;
    const fs::path home = Home().Home(imported ? "home-imported" : "home-fly");
    if (imported) {
        fs::create_directories(home / "metadata" / kGame);
        const import::DatIndex index = import::DatIndex::Open(Home().Data());
        std::ofstream(home / "metadata" / kGame / "history.xml", std::ios::binary)
            << import::ConvertEntry(Home().Data(), index, *index.Find(kGame), "bio", kGame).xml;
    } else {
        fs::copy_file(Home().Data(), home / "metadata" / "history.xml",
                      fs::copy_options::overwrite_existing);
        import::DatIndex::Open((home / "metadata" / "history.xml").string());
    }
    for (auto _ : state)
        if (bench::StartAndLoad(home, kGame + " history") != 1)
            state.SkipWithError("wrong document");
}
BENCHMARK(BM_HistoryViewerStart)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
