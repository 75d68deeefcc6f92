// Conversion speed: expat alone with handlers that do nothing, against the whole conversion
// (reader plus content handler). The summary prints their ratio; the target is 1.5 at most.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "document/ConvertedDocument.h"
#include "document/DocumentConverter.h"

namespace {

using kavro::document::ConvertedDocument;
using kavro::document::DocumentConverter;
using kavro::document::HandlerContext;

constexpr std::size_t kChunk = 64 * 1024;

// A document of typical shape: a head with macros, then sections of short lines with fonts,
// icons and images, until it has at least `bytes` bytes.
std::string MakeDocument(std::size_t bytes) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<doc>\n<info title=\"Bench\"/>\n<head>\n"
        "\t<textwidth>48</textwidth>\n"
        "\t<fontmacro size=\"100\" color=\"255,255,255\">normal</fontmacro>\n"
        "\t<fontmacro size=\"150\" color=\"255,0,0\">big</fontmacro>\n"
        "\t<bgmacro name=\"paper\" style=\"1\" color=\"0,0,64\" src=\"paper.png\"/>\n</head>\n";
    xml.reserve(bytes + 1024);
    for (int section = 1; xml.size() < bytes; ++section) {
        xml += "<section bg=\"paper\">\n";
        for (int line = 0; line < 20; ++line) {
            xml += "\tLine " + std::to_string(line) + " of section " + std::to_string(section) +
                   ": a move &amp; its follow-up, then <font f=\"big\">HEAVY</font> hit\n"
                   "\t<icon n=\"star\"/> after the icon &#x2192; more text here\n";
            if (line % 5 == 0) xml += "\t<img src=\"pic.png\" width=\"40\" height=\"20\"/>\n";
        }
        xml += "</section>\n";
    }
    return xml + "</doc>\n";
}

const std::string& TenMegabytes() {
    static const std::string document = MakeDocument(10u * 1024 * 1024);
    return document;
}

void XMLCALL NoStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL NoEnd(void*, const XML_Char*) {}
void XMLCALL NoText(void*, const XML_Char*, int) {}

void ParseOnly(const std::string& xml) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetElementHandler(parser, NoStart, NoEnd);
    XML_SetCharacterDataHandler(parser, NoText);
    bool ok = true;
    for (std::size_t at = 0; ok && at < xml.size(); at += kChunk) {
        const std::size_t size = std::min(kChunk, xml.size() - at);
        ok = XML_Parse(parser, xml.data() + at, static_cast<int>(size), XML_FALSE) == XML_STATUS_OK;
    }
    ok = ok && XML_Parse(parser, nullptr, 0, XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    if (!ok) std::fprintf(stderr, "benchmark document is not well-formed\n");
}

std::size_t Convert(const std::string& xml) {
    ConvertedDocument doc;
    HandlerContext context;
    DocumentConverter(doc, context).ParseText(xml, "bench.xml");
    return doc.SectionMarkup.size();
}

void BM_ExpatParseOnly(benchmark::State& state) {
    const std::string& xml = TenMegabytes();
    for (auto _ : state)
        ParseOnly(xml);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
// Repeated: the summary compares the fastest runs, which a busy machine disturbs least.
BENCHMARK(BM_ExpatParseOnly)->Repetitions(5)->Unit(benchmark::kMillisecond);

void BM_FullConversion(benchmark::State& state) {
    const std::string& xml = TenMegabytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(Convert(xml));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * xml.size()));
}
BENCHMARK(BM_FullConversion)->Repetitions(5)->Unit(benchmark::kMillisecond);

// Conversion time against document size: it must stay linear (up to 48 MiB).
void BM_ConversionScaling(benchmark::State& state) {
    const std::string xml = MakeDocument(static_cast<std::size_t>(state.range(0)) * 1024 * 1024);
    for (auto _ : state)
        benchmark::DoNotOptimize(Convert(xml));
    state.SetComplexityN(static_cast<std::int64_t>(xml.size()));
}
BENCHMARK(BM_ConversionScaling)
    ->Arg(3)
    ->Arg(12)
    ->Arg(48)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// An entity-expansion attack must be rejected quickly.
void BM_RejectBillionLaughs(benchmark::State& state) {
    std::string xml = "<!DOCTYPE d [<!ENTITY l0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        xml += "<!ENTITY l" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            xml += "&l" + std::to_string(level - 1) + ";";
        xml += "\">";
    }
    xml += "]><d><section>&l9;</section></d>";
    for (auto _ : state) {
        try {
            Convert(xml);
            state.SkipWithError("entity expansion attack accepted");
        } catch (const kavro::document::LoadError&) {
        }
    }
}
BENCHMARK(BM_RejectBillionLaughs)->Unit(benchmark::kMillisecond);

// Keeps the mean time of each run so that the summary can compare them.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, so that scripts can read the table.
    SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double time = run.GetAdjustedCPUTime();
                const auto [at, added] = times_.emplace(run.run_name.function_name, time);
                if (!added) at->second = std::min(at->second, time);
            }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto parse = times_.find("BM_ExpatParseOnly");
        const auto full = times_.find("BM_FullConversion");
        if (parse == times_.end() || full == times_.end() || parse->second <= 0) return;
        const double ratio = full->second / parse->second;
        std::printf("\nconversion / parse alone = %.2f (target <= 1.50): %s\n", ratio,
                    ratio <= 1.5 ? "met" : "NOT met");
    }

  private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
