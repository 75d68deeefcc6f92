#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "common/TestData.h"

namespace kavro::testing {
namespace {

namespace fs = std::filesystem;

// A pixel differs when one of its channels is further off than this; a screen fails when more
// pixels than the limit differ. Loose enough for another build of the same libraries, tight
// enough that a vanished blank, a run moved by a pixel or a wrong colour fails (each changes
// hundreds of pixels).
constexpr int kChannelTolerance = 24;
constexpr int kDifferingPixelLimit = 20;

struct Case {
    std::string name;
    std::string screen;  // WxH
    std::string keys;    // for --keys; empty for none
};

// tests/data/golden/cases.tsv: name, screen and keys, separated by tabs.
std::vector<Case> Cases() {
    std::vector<Case> cases;
    std::ifstream in(TestData("golden/cases.tsv"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#') continue;
        std::istringstream fields(line);
        Case c;
        std::getline(fields, c.name, '\t');
        std::getline(fields, c.screen, '\t');
        std::getline(fields, c.keys, '\t');
        if (c.keys == "-") c.keys.clear();
        cases.push_back(c);
    }
    return cases;
}

struct SurfaceFree {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

SurfacePtr LoadArgb(const fs::path& path) {
    SurfacePtr loaded(IMG_Load(path.c_str()));
    if (!loaded) return nullptr;
    return SurfacePtr(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_ARGB8888, 0));
}

Uint32& Pixel(SDL_Surface* s, int x, int y) {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch)[x];
}

// The pixels that differ, and a picture of them: the rendered screen dimmed, with every
// differing pixel in magenta.
struct Difference {
    int pixels = 0;
    SurfacePtr picture;
};

Difference Compare(SDL_Surface* golden, SDL_Surface* actual) {
    Difference d;
    d.picture.reset(
        SDL_CreateRGBSurfaceWithFormat(0, actual->w, actual->h, 32, SDL_PIXELFORMAT_ARGB8888));
    for (int y = 0; y < actual->h; ++y)
        for (int x = 0; x < actual->w; ++x) {
            const Uint32 a = Pixel(actual, x, y), g = Pixel(golden, x, y);
            int off = 0;
            for (int shift = 0; shift < 24; shift += 8)
                off = std::max(off, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                             static_cast<int>((g >> shift) & 0xFF)));
            const bool differs = off > kChannelTolerance;
            d.pixels += differs ? 1 : 0;
            Pixel(d.picture.get(), x, y) =
                differs ? 0xFFFF00FFu : 0xFF000000u | ((a >> 2) & 0x3F3F3F);
        }
    return d;
}

// Runs the real viewer headless, with only the pinned fonts and folders of the test's own;
// returns its exit status.
int Render(const Case& c, const fs::path& picture, const fs::path& scratch) {
    std::vector<std::string> args = {KAVRO_VIEWER,    "--home", TestData("golden").string(),
                                     "--screen",      c.screen, "--render",
                                     picture.string()};
    if (!c.keys.empty()) args.insert(args.end(), {"--keys", c.keys});
    args.insert(args.end(), {"g", "screens"});
    std::vector<std::string> env = {"FONTCONFIG_FILE=" + TestData("fonts/fonts.conf").string(),
                                    "SDL_VIDEODRIVER=offscreen",
                                    "HOME=" + scratch.string(),
                                    "XDG_CACHE_HOME=" + (scratch / "cache").string(),
                                    "XDG_CONFIG_HOME=" + (scratch / "config").string(),
                                    "XDG_DATA_HOME=" + (scratch / "data").string()};
    // A sanitizer build's settings (leak suppressions for system libraries) reach the viewer.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
    std::vector<char*> argv, envp;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, KAVRO_VIEWER, nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every screen of the table, rendered now, against its golden picture
// (tests/data/golden/<name>.png). With KAVRO_UPDATE_GOLDENS=1 (scripts/make-goldens) the
// renders replace the goldens instead.
TEST(GoldenScreensTest, EveryScreenMatchesItsGolden) {
    const std::vector<Case> cases = Cases();
    ASSERT_FALSE(cases.empty());
    const fs::path out = KAVRO_GOLDEN_OUT;
    fs::create_directories(out);
    const TempFolder temp("kavro-golden-");
    const fs::path& scratch = temp.Path();
    const char* update = std::getenv("KAVRO_UPDATE_GOLDENS");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " (" + c.screen + ", keys " + c.keys + ")");
        const fs::path rendered = scratch / (c.name + ".png");
        ASSERT_EQ(Render(c, rendered, scratch), 0);
        const fs::path golden = fs::path(KAVRO_TESTDATA_DIR) / "golden" / (c.name + ".png");
        if (update && std::string(update) == "1") {
            fs::copy_file(rendered, golden, fs::copy_options::overwrite_existing);
            continue;
        }
        SurfacePtr expected = LoadArgb(TestData("golden/" + c.name + ".png"));
        SurfacePtr actual = LoadArgb(rendered);
        ASSERT_NE(expected, nullptr) << IMG_GetError();
        ASSERT_NE(actual, nullptr) << IMG_GetError();
        ASSERT_EQ(actual->w, expected->w);
        ASSERT_EQ(actual->h, expected->h);
        const Difference d = Compare(expected.get(), actual.get());
        if (d.pixels <= kDifferingPixelLimit) continue;
        const fs::path diff = out / (c.name + ".diff.png");
        const fs::path kept = out / (c.name + ".png");
        fs::copy_file(rendered, kept, fs::copy_options::overwrite_existing);
        IMG_SavePNG(d.picture.get(), diff.c_str());
        ADD_FAILURE() << d.pixels << " pixels differ from " << golden.string()
                      << "; the differing pixels are magenta in " << diff.string()
                      << ", the screen as rendered is " << kept.string();
    }
}

}  // namespace
}  // namespace kavro::testing
