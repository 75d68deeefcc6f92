#include "manuals/PdfPages.h"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "manuals/ChildProcess.h"
#include "manuals/ManualError.h"

namespace kavro::manuals {

namespace {

// A damaged PDF must not hold the viewer for ever; a page of a scanned manual takes well under
// a second.
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

void RasterisePdfPage(const PdfTools& tools, const std::string& pdf, int page, int width_px,
                      const std::string& png) {
    // pdftoppm appends ".png" to the name it is given; the page is renamed into place when it
    // is whole, so a reader never sees half of it.
    const std::string prefix = png + ".part";
    const std::string number = std::to_string(page);
    const ChildResult run =
        RunChild(tools.pdftoppm,
                 {"-png", "-singlefile", "-f", number, "-l", number, "-scale-to-x",
                  std::to_string(width_px), "-scale-to-y", "-1", "--", pdf, prefix},
                 kPageLimit);
    std::error_code ec;
    if (!run.started) Fail(pdf, "pdftoppm could not be started", run);
    if (run.status != 0 || !std::filesystem::is_regular_file(prefix + ".png", ec)) {
        std::filesystem::remove(prefix + ".png", ec);
        Fail(pdf, "page " + number + " cannot be drawn", run);
    }
    std::filesystem::rename(prefix + ".png", png, ec);
    if (ec) Fail(pdf, "page " + number + " cannot be kept: " + ec.message(), run);
}

}  // namespace kavro::manuals
