// Replays inputs (files, or folders of files) through a fuzz target without the fuzzer, so
// that every build runs the corpus and every input that ever failed as a regression test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    long replayed = 0;
    auto replay = [&](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    };
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::recursive_directory_iterator(path, ec))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files)
                replay(file);
        } else if (fs::is_regular_file(path, ec)) {
            replay(path);
        } else {
            // A missing corpus or seed folder would quietly test less.
            std::fprintf(stderr, "replay: %s is missing\n", path.c_str());
            return 1;
        }
    }
    std::printf("replayed %ld inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
