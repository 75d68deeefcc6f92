// Text measurement: a plain run against one that needs fallback faces, with the measurement
// cache hit (the same text again) and missed (a new text every time).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "text/FontEngine.h"

namespace {

using kavro::toolkit::FontEngine;

constexpr const char* kAscii = "Crescent Wave  down, down-right, right + any punch";
constexpr const char* kMixed = "① 三日月蹴り  ↓↘→ + パンチ  Crescent Wave";
// More distinct texts than the measurement cache keeps, so every one is measured afresh.
constexpr int kDistinct = 100000;

std::unique_ptr<FontEngine> Engine(benchmark::State& state) {
    std::string error;
    auto fonts = FontEngine::Create("Consolas", &error);
    if (!fonts) state.SkipWithError(error.c_str());
    return fonts;
}

void Measure(benchmark::State& state, const std::string& text, bool cached) {
    auto fonts = Engine(state);
    if (!fonts) return;
    std::string varied;
    int n = 0;
    for (auto _ : state) {
        if (cached) {
            benchmark::DoNotOptimize(fonts->TextWidth(text, 14));
        } else {
            varied = text;
            varied += std::to_string(n);
            n = (n + 1) % kDistinct;
            benchmark::DoNotOptimize(fonts->TextWidth(varied, 14));
        }
    }
}

void BM_TextWidthAsciiCached(benchmark::State& state) {
    Measure(state, kAscii, true);
}
void BM_TextWidthMixedCached(benchmark::State& state) {
    Measure(state, kMixed, true);
}
void BM_TextWidthAsciiUncached(benchmark::State& state) {
    Measure(state, kAscii, false);
}
void BM_TextWidthMixedUncached(benchmark::State& state) {
    Measure(state, kMixed, false);
}

// Distinct runs at ten sizes in turn, as a move list with ten font macros is measured: each
// size keeps its own font, so its hinted glyphs stay cached between runs.
void BM_TextWidthTenSizesInTurn(benchmark::State& state) {
    auto fonts = Engine(state);
    if (!fonts) return;
    std::string varied;
    int n = 0;
    for (auto _ : state) {
        varied = kAscii;
        varied += std::to_string(n);
        benchmark::DoNotOptimize(fonts->TextWidth(varied, static_cast<float>(31 + 4 * (n % 10))));
        n = (n + 1) % kDistinct;
    }
}

// A new engine's first mixed run: fontconfig ranks the fallback faces and the files are read.
void BM_TextWidthMixedFirstUse(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto fonts = Engine(state);
        state.ResumeTiming();
        if (!fonts) return;
        benchmark::DoNotOptimize(fonts->TextWidth(kMixed, 14));
        state.PauseTiming();
        fonts.reset();
        state.ResumeTiming();
    }
}

BENCHMARK(BM_TextWidthAsciiCached);
BENCHMARK(BM_TextWidthMixedCached);
BENCHMARK(BM_TextWidthAsciiUncached);
BENCHMARK(BM_TextWidthMixedUncached);
BENCHMARK(BM_TextWidthTenSizesInTurn);
BENCHMARK(BM_TextWidthMixedFirstUse)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
