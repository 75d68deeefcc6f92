#include "app/Check.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <tuple>

#include "app/LoadDriver.h"
#include "app/Program.h"
#include "app/Startup.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"
#include "base/Twips.h"
#include "forms/Services.h"

namespace kavro::app {

namespace {

using base::kTwipsPerPixel;

// Findings that only the whole load can see.
void CheckLoad(const Viewer& v, document::Diagnostics& d) {
    for (const document::SourcePosition& file : d.files) {
        if (file.file.ends_with(".sxml")) continue;  // a style need not hold sections
        const bool any = std::any_of(d.sections.begin(), d.sections.end(),
                                     [&](const auto& s) { return s.file == file.file; });
        if (!any)
            d.Report(file, document::Severity::Warning,
                     "the document has no sections: nothing of it is shown");
    }
    (void)v;
}

void CheckOneScreen(const CheckRequest& request, std::pair<int, int> screen,
                    document::Diagnostics& d) {
    toolkit::HeadlessServices services(request.home, request.words,
                                       static_cast<float>(screen.first * kTwipsPerPixel),
                                       static_cast<float>(screen.second * kTwipsPerPixel));
    std::string error;
    auto fonts = toolkit::FontEngine::Create("Consolas", &error);
    if (!fonts) throw std::runtime_error("Kavro cannot start: " + error);
    Viewer v(services, std::move(fonts));
    v.form.Resize = [&v] { Form_Resize(v); };
    v.diagnostics = &d;
    v.DocHandler = std::make_unique<document::ContentHandler>(
        v.doc, v.handlerContext, [&v](const std::string& caption) { v.form.Caption = caption; });
    v.DocHandler->AttachDiagnostics(&d);
    v.item = request.item;
    v.ProgramName = request.program;
    // Main has shown the usage message (on stderr): an empty error shows nothing more.
    if (!Main(v)) throw CommandLineError("");
    // The view flags of the settings file would hide the very pictures and fonts to check.
    v.NoImages = false;
    v.NoFormatting = false;
    try {
        cmdLoad_Click(v);
    } catch (const document::LoadError& e) {
        // Already found with its place by the reader's checks (a negative textwidth).
        const bool placed = std::any_of(d.findings.begin(), d.findings.end(), [&](const auto& f) {
            return f.message == e.Reason() && f.where.line > 0;
        });
        if (!placed)
            d.Report({e.File(), e.Line(), e.Column()}, document::Severity::Error, e.Reason());
        return;
    }
    CheckLoad(v, d);
}

// A file below the current folder by its relative path, as editors and compilers name it.
std::string Shown(const std::string& file) {
    if (file.empty()) return "kavro";
    std::error_code ec;
    const auto base = std::filesystem::current_path(ec);
    if (ec) return file;
    const auto relative = std::filesystem::path(file).lexically_normal().lexically_relative(base);
    if (relative.empty() || *relative.begin() == "..") return file;
    return relative.string();
}

// The paths inside a message the same way.
std::string ShownPaths(std::string message) {
    std::error_code ec;
    const std::string base = std::filesystem::current_path(ec).string() + "/";
    if (ec || base.size() < 2) return message;
    for (std::size_t at = message.find(base); at != std::string::npos; at = message.find(base, at))
        message.erase(at, base.size());
    return message;
}

}  // namespace

std::vector<std::pair<int, int>> BothOrientations(std::pair<int, int> screen) {
    if (screen.first == screen.second) return {screen};
    return {screen, {screen.second, screen.first}};
}

document::Diagnostics CheckDocuments(const CheckRequest& request) {
    document::Diagnostics all;
    for (const auto& screen : request.screens) {
        document::Diagnostics one;
        CheckOneScreen(request, screen, one);
        all.Merge(one);
    }
    return all;
}

int RunCheck(const CheckRequest& request, std::ostream& out) {
    document::Diagnostics d = CheckDocuments(request);
    // In the order of the files' lines, as an author reads them; the reader's and the layout's
    // findings are collected in two passes.
    std::stable_sort(d.findings.begin(), d.findings.end(),
                     [](const document::Finding& a, const document::Finding& b) {
                         return std::tie(a.where.file, a.where.line, a.where.column) <
                                std::tie(b.where.file, b.where.line, b.where.column);
                     });
    bool printed = false;
    for (document::Finding finding : d.findings) {
        if (request.quiet && finding.severity != document::Severity::Error) continue;
        finding.where.file = Shown(finding.where.file);
        finding.message = ShownPaths(finding.message);
        out << document::FormatFinding(finding) << "\n";
        printed = true;
    }
    out.flush();
    return printed ? kExitLoad : kExitOk;
}

}  // namespace kavro::app
