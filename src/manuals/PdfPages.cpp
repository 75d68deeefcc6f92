#include "manuals/PdfPages.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "manuals/ChildProcess.h"
#include "manuals/ManualError.h"

namespace kavro::manuals {

namespace {

// A damaged PDF must not hold the viewer for ever; a page of a scanned manual takes well under
// a second, and a run of kPagesPerRun of them the same limit (leaving waits for a run).
constexpr std::chrono::seconds kPageLimit{60};

std::string FirstLine(const std::string& text) {
    const std::size_t end = text.find('\n');
    return text.substr(0, end);
}

[[noreturn]] void Fail(const std::string& pdf, const std::string& what, const ChildResult& run) {
    std::string message = what;
    if (run.timed_out)
        message += " (it took too long and was stopped)";
    else if (!run.err.empty())
        message += ": " + FirstLine(run.err);
    throw ManualError(pdf, message);
}

}  // namespace

PdfTools PdfTools::Find(const std::string& pdf, const std::string& search_path) {
    PdfTools tools{FindProgram("pdfinfo", search_path), FindProgram("pdftoppm", search_path)};
    if (tools.pdfinfo.empty() || tools.pdftoppm.empty())
        throw ManualError(
            pdf,
            "PDF manuals are shown with pdftoppm and pdfinfo from poppler-utils, which are not "
            "installed (apt-get install poppler-utils)");
    return tools;
}

int PdfPageCount(const PdfTools& tools, const std::string& pdf) {
    const ChildResult run = RunChild(tools.pdfinfo, {"--", pdf}, kPageLimit);
    if (!run.started) Fail(pdf, "pdfinfo could not be started", run);
    if (run.status != 0) Fail(pdf, "it is not a readable PDF file", run);
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Pages:", 0) != 0) continue;
        try {
            const int pages = std::stoi(line.substr(6));
            if (pages > 0) return pages;
        } catch (const std::exception&) {
        }
    }
    Fail(pdf, "it has no pages", run);
}

void RasterisePdfPages(const PdfTools& tools, const std::string& pdf, int first, int last,
                       int width_px, const std::string& folder,
                       const std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    const int count = last - first + 1;
    const std::string pages =
        first == last ? "page " + std::to_string(first)
                      : "pages " + std::to_string(first) + " to " + std::to_string(last);
    // pdftoppm numbers the files it writes with as many digits as the PDF's page count needs;
    // a scratch folder of the run's own is read back in name order instead of guessing them,
    // and the pages are renamed into place when they are whole, so a reader never sees half of
    // one.
    const fs::path scratch = fs::path(folder) / (".run-" + std::to_string(first));
    std::error_code ec;
    fs::remove_all(scratch, ec);
    fs::create_directories(scratch, ec);
    if (ec) throw ManualError(pdf, pages + " cannot be kept: " + ec.message());
    const ChildResult run =
        RunChild(tools.pdftoppm,
                 {"-jpeg", "-jpegopt", "quality=90", "-f", std::to_string(first), "-l",
                  std::to_string(last), "-scale-to-x", std::to_string(width_px), "-scale-to-y",
                  "-1", "--", pdf, (scratch / "p").string()},
                 kPageLimit);
    std::vector<fs::path> drawn;
    for (fs::directory_iterator it(scratch, ec), end; !ec && it != end; it.increment(ec))
        drawn.push_back(it->path());
    std::sort(drawn.begin(), drawn.end());
    const auto fail = [&](const std::string& what) {
        fs::remove_all(scratch, ec);
        Fail(pdf, what, run);
    };
    if (!run.started) fail("pdftoppm could not be started");
    if (run.status != 0 || static_cast<int>(drawn.size()) != count ||
        names.size() < static_cast<std::size_t>(count))
        fail(pages + " cannot be drawn");
    for (int i = 0; i < count; ++i) {
        fs::rename(drawn[static_cast<std::size_t>(i)],
                   fs::path(folder) / names[static_cast<std::size_t>(i)], ec);
        if (ec) fail(pages + " cannot be kept: " + ec.message());
    }
    fs::remove_all(scratch, ec);
}

}  // namespace kavro::manuals
