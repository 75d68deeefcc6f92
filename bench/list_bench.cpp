// `kavro --list ROM` as a frontend asks it for every game the user scrolls past, with the
// indexes of the data files cached (target: at most 20 ms a game, whole process included):
// a 3 MB move-list file, a 1 MB history file and three documents of the game's own.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/DocumentList.h"
#include "forms/DataPaths.h"

namespace {

namespace fs = std::filesystem;
using namespace kavro;

constexpr int kEntries = 3000;
const std::string kGame = "game1500";

app::ListRequest GameRequest() {
    app::ListRequest request;
    request.rom = kGame;
    return request;
}

std::string DataFile(int pages_per_entry, const std::string& page) {
    std::string text;
    for (int e = 0; e < kEntries; ++e) {
        text += "$info=game" + std::to_string(e) + ",game" + std::to_string(e) + "j,\n";
        for (int p = 0; p < pages_per_entry; ++p)
            text += page;
    }
    return text;
}

class ListHome {
  public:
    ListHome() {
        std::string pattern = (fs::temp_directory_path() / "kavro-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
        const fs::path metadata = path_ / "metadata";
        fs::create_directories(metadata / kGame);
        std::ofstream(metadata / "command.dat", std::ios::binary)
            << DataFile(10,
                        "$cmd\n[Fighter]\n--------------------\nCrescent Wave   _2_3_6 + _P\n"
                        "Iron Lantern    ^4 _6 + ^G   (air)\n$end\n");
        std::ofstream(metadata / "history.dat", std::ios::binary)
            << DataFile(1, "$bio\n" + std::string(300, 'x') + "\n$end\n");
        for (const char* name : {"command", "howto", "tips"})
            std::ofstream(metadata / kGame / (std::string(name) + ".xml")) << "<d/>";
        // Warm: the indexes are cached beside the files from here on.
        import::DatLibrary library;
        app::ListDocuments(Roots(), GameRequest(), library);
    }
    ~ListHome() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }
    std::vector<std::string> Roots() const {
        return toolkit::FindDataPaths(path_.string()).metadata_roots;
    }

  private:
    fs::path path_;
};

const ListHome& Home() {
    static const ListHome home;
    return home;
}

// In the process: every index read back from its cache, as a new process reads it.
void BM_ListInProcess(benchmark::State& state) {
    const auto roots = Home().Roots();
    std::size_t listed = 0;
    for (auto _ : state) {
        import::DatLibrary library;
        listed = app::ListDocuments(roots, GameRequest(), library).size();
    }
    state.counters["documents"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListInProcess)->Unit(benchmark::kMillisecond);

// The whole `kavro --list` process, as a frontend runs it (the program beside this one).
void BM_ListProcess(benchmark::State& state) {
    const std::string kavro = (fs::canonical("/proc/self/exe").parent_path() / "kavro").string();
    if (!fs::exists(kavro)) {
        state.SkipWithError("the kavro program beside list_bench is missing: build it");
        return;
    }
    const std::string home = Home().Path().string();
    double child_cpu_ms = 0;
    for (auto _ : state) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::freopen("/dev/null", "w", stdout);
            ::execl(kavro.c_str(), kavro.c_str(), "--home", home.c_str(), "--list", kGame.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        // The processor time of the program itself: on a busy machine the clock also counts
        // the time it waits for a processor.
        child_cpu_ms += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("kavro --list failed");
            return;
        }
    }
    state.counters["child_cpu_ms"] =
        child_cpu_ms /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
}
BENCHMARK(BM_ListProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
