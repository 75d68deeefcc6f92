// Layout, full load, picture decodes and key presses of the viewer, headless.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "app/Keys.h"
#include "app/LoadDriver.h"
#include "app/Startup.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"
#include "document/ContentHandler.h"
#include "document/SaxReader.h"
#include "layout/LayoutSection.h"
#include "layout/PaintSection.h"

namespace {

namespace fs = std::filesystem;
using kavro::app::Viewer;
using kavro::bench::BenchHome;
using kavro::bench::Session;
using kavro::bench::Start;

// lines lines of mixed fonts (20 macros) in sections of 50 lines with backgrounds of every
// style; with_icons puts inline icons on every line.
std::string GeneratedDocument(int lines, bool with_icons) {
    std::string doc = "<document><head><textwidth>48</textwidth>";
    for (int m = 0; m < 20; ++m)
        doc += "<fontmacro size=\"" + std::to_string(60 + m * 8) + "\" color=\"200," +
               std::to_string(m * 10) + ",100\">f" + std::to_string(m) + "</fontmacro>";
    const char* styles[] = {"0", "1", "2", "3"};
    for (int s = 0; s < 4; ++s)
        doc += std::string("<bgmacro name=\"b") + styles[s] + "\" style=\"" + styles[s] +
               "\" color=\"10,10,40\" src=\"paper.png\"/>";
    doc += "</head>";
    for (int i = 0; i < lines; ++i) {
        if (i % 50 == 0) {
            if (i > 0) doc += "</section>";
            doc += "<section bg=\"b" + std::to_string((i / 50) % 4) + "\">\n";
        }
        doc += "Line " + std::to_string(i) + " <font name=\"f" + std::to_string(i % 20) +
               "\">in a font</font> and more text";
        if (with_icons) doc += " <icon name=\"lp\"></icon><icon name=\"right\"></icon>";
        doc += "\n";
    }
    doc += "</section></document>";
    return doc;
}

// lines lines of one word each (every eighth in a larger font) in sections of 100. Every line
// takes a text run, so 100,000 lines meet the 32,767 runs one load holds: the lines past it are
// read but not shown, and the cost must stay bounded there.
std::string LinesDocument(int lines) {
    std::string doc =
        "<document><head><textwidth>48</textwidth>"
        "<fontmacro size=\"150\" color=\"200,80,80\">big</fontmacro></head>";
    for (int i = 0; i < lines; ++i) {
        if (i % 100 == 0) {
            if (i > 0) doc += "</section>";
            doc += "<section>\n";
        }
        if (i % 8 == 0)
            doc += "<font name=\"big\">Big" + std::to_string(i) + "</font>\n";
        else
            doc += "Line" + std::to_string(i) + "\n";
    }
    doc += "</section></document>";
    return doc;
}

void ReportPeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Full load (parse, layout, paint) of a generated document; per-line cost must stay flat.
void BM_FullLoad(benchmark::State& state) {
    BenchHome home;
    const int lines = static_cast<int>(state.range(0));
    home.Write("command.xml", GeneratedDocument(lines, state.range(1) != 0));
    Session s = Start(home.Path(), "mk command");
    for (auto _ : state)
        kavro::app::cmdLoad_Click(*s.viewer);
    state.counters["us_per_line"] = benchmark::Counter(
        static_cast<double>(lines),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["decodes_per_load"] = static_cast<double>(s.viewer->pictures.Decodes()) /
                                         static_cast<double>(state.iterations() + 1);
    ReportPeakMemory(state);
}
BENCHMARK(BM_FullLoad)
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

// Layout and background painting of every section, the document already converted: the
// per-line cost must stay flat from 1,000 to 100,000 lines.
void BM_Layout(benchmark::State& state) {
    BenchHome home;
    const int lines = static_cast<int>(state.range(0));
    home.Write("command.xml", LinesDocument(lines));
    Session s = Start(home.Path(), "mk command");
    Viewer& v = *s.viewer;
    kavro::app::cmdLoad_Click(v);
    for (auto _ : state) {
        kavro::app::ClearSection(v);
        for (int k = 1; k <= v.doc.SectionCount(); ++k) {
            kavro::layout::LayoutSection(v.Layout(), k - 1);
            kavro::layout::PaintSection(v.Layout(), k);
        }
    }
    state.counters["us_per_line"] = benchmark::Counter(
        static_cast<double>(lines),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["text_runs"] = static_cast<double>(v.form.lblText.UBound());
}
BENCHMARK(BM_Layout)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The XML parse and conversion alone of the same documents, for the ratio to the full load.
void BM_ParseOnly(benchmark::State& state) {
    BenchHome home;
    home.Write("command.xml", GeneratedDocument(static_cast<int>(state.range(0)), true));
    const std::string path = (home.Path() / "metadata" / "mk" / "command.xml").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(kavro::bench::ParseOnly(path));
}
BENCHMARK(BM_ParseOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

// The bundled demo, as scripts/run shows it.
void BM_DemoLoad(benchmark::State& state) {
    Session s = Start(fs::path(KAVRO_SOURCE_DIR), "mk command");
    for (auto _ : state)
        kavro::app::cmdLoad_Click(*s.viewer);
    ReportPeakMemory(state);
}
BENCHMARK(BM_DemoLoad)->Unit(benchmark::kMillisecond);

// One section of 1,000 inline icons from 10 files: decoded once per file.
void BM_ThousandIcons(benchmark::State& state) {
    BenchHome home;
    const char* names[] = {"up", "down", "left", "right", "lp", "mp", "hp", "lk", "mk", "hk"};
    std::string doc = "<d><section>\n";
    for (int i = 0; i < 1000; ++i) {
        doc += std::string("<icon name=\"") + names[i % 10] + "\"></icon>";
        if (i % 20 == 19) doc += "\n";
    }
    doc += "</section></d>";
    home.Write("command.xml", doc);
    Session s = Start(home.Path(), "mk command");
    for (auto _ : state)
        kavro::app::cmdLoad_Click(*s.viewer);
    state.counters["decodes_per_load"] =
        static_cast<double>(s.viewer->pictures.Decodes()) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ThousandIcons)->Unit(benchmark::kMillisecond);

// The work of one key press: a scroll step, and a toggle (a complete reload).
void BM_ScrollKey(benchmark::State& state) {
    BenchHome home;
    home.Write("command.xml", GeneratedDocument(static_cast<int>(state.range(0)), true));
    Session s = Start(home.Path(), "mk command");
    Viewer& v = *s.viewer;
    kavro::app::timLoad_Timer(v);
    bool down = true;
    for (auto _ : state) {
        kavro::app::Form_KeyDown(v, down ? v.ScrollDownKey : v.ScrollUpKey, 0);
        down = !down;
    }
}
BENCHMARK(BM_ScrollKey)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ToggleKey(benchmark::State& state) {
    BenchHome home;
    if (state.range(0) > 0)
        home.Write("command.xml", GeneratedDocument(static_cast<int>(state.range(0)), true));
    Session s = Start(state.range(0) > 0 ? home.Path() : fs::path(KAVRO_SOURCE_DIR), "mk command");
    Viewer& v = *s.viewer;
    kavro::app::timLoad_Timer(v);
    for (auto _ : state)
        kavro::app::Form_KeyDown(v, v.RemoveFormattingKey, 0);
}
// 0: the bundled demo.
BENCHMARK(BM_ToggleKey)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
