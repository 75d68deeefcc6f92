// Move-list files: the index of a 3 MB file of 30,000 pages (targets: under 30 ms to build,
// under 5 ms to open one game's entry with the index cached, under 1 s to import the whole
// file), and a viewer start for a game converted on the fly against its imported document
// (target: within 20 ms).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "DataFileBench.h"
#include "import/DatConverter.h"
#include "import/DatImport.h"
#include "import/DatIndex.h"

namespace {

namespace fs = std::filesystem;
using namespace kavro;

constexpr int kEntries = 3000;
constexpr int kPagesPerEntry = 10;
const std::string kGame = "game1500";

// Ten pages a game, two names an entry, about 100 bytes a page: 3 MB.
std::string MoveListFile() {
    std::string text = "# generated for the benchmarks\n";
    for (int e = 0; e < kEntries; ++e) {
        text += "$info=game" + std::to_string(e) + ",game" + std::to_string(e) + "j,\n";
        for (int p = 0; p < kPagesPerEntry; ++p)
            text += "$cmd\n[Fighter " + std::to_string(p) +
                    "]\n--------------------\nCrescent Wave   _2_3_6 + _P\n"
                    "Iron Lantern    ^4 _6 + ^G   (air)\n$end\n";
    }
    return text;
}

const bench::DataFileHome& Home() {
    static const bench::DataFileHome home("command.dat", MoveListFile());
    return home;
}

void BM_IndexBuild(benchmark::State& state) {
    const std::string data = Home().Data();
    std::size_t entries = 0;
    for (auto _ : state)
        entries = import::DatIndex::Build(data).Entries().size();
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["MB"] = static_cast<double>(fs::file_size(data)) / 1e6;
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond);

// A new process: the index from its cache file beside the data.
void BM_IndexOpenCached(benchmark::State& state) {
    const std::string data = Home().Data();
    import::DatIndex::Open(data);
    for (auto _ : state)
        benchmark::DoNotOptimize(import::DatIndex::Open(data).Entries().size());
}
BENCHMARK(BM_IndexOpenCached)->Unit(benchmark::kMillisecond);

// One game's document from the file, the index in memory.
void BM_OneEntry(benchmark::State& state) {
    const std::string data = Home().Data();
    const import::DatIndex index = import::DatIndex::Open(data);
    const import::DatEntry* entry = index.Find(kGame);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            import::ConvertEntry(data, index, *entry, "cmd", kGame).xml.size());
}
BENCHMARK(BM_OneEntry)->Unit(benchmark::kMillisecond);

void BM_ImportWholeFile(benchmark::State& state) {
    const fs::path into = Home().Path() / "imported";
    std::size_t written = 0;
    for (auto _ : state) {
        written = import::ImportDat(Home().Data(), into.string(), false).written;
        state.PauseTiming();
        fs::remove_all(into);
        state.ResumeTiming();
    }
    state.counters["documents"] = static_cast<double>(written);
}
BENCHMARK(BM_ImportWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

// A whole viewer start and load of the game: arg 0 converted on the fly (with the index
// cache beside the file), arg 1 from its imported document.
void BM_ViewerStart(benchmark::State& state) {
    const bool imported = state.range(0) != 0;
    const fs::path home = Home().Home(imported ? "home-imported" : "home-fly");
    if (imported) {
        import::ImportDat(Home().Data(), (home / "metadata").string(), true);
    } else {
        fs::copy_file(Home().Data(), home / "metadata" / "command.dat",
                      fs::copy_options::overwrite_existing);
        import::DatIndex::Open((home / "metadata" / "command.dat").string());
    }
    for (auto _ : state)
        if (bench::StartAndLoad(home, kGame + " command") != kPagesPerEntry)
            state.SkipWithError("wrong document");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ViewerStart)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
