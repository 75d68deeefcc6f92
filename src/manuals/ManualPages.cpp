#include "manuals/ManualPages.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <utility>

#include "base/AtomicFile.h"
#include "manuals/ArchivePages.h"
#include "manuals/ManualError.h"
#include "manuals/NaturalOrder.h"
#include "manuals/PdfPages.h"
#include "backend/PictureHeader.h"

namespace kavro::manuals {

namespace {

std::string ExtensionOf(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

void Report(const PrepareRequest& request, int done, int total) {
    if (request.progress) request.progress(done, total);
}

// Draws every page into the prepared folder; returns the page files' names.
std::vector<std::string> DrawPdf(const PrepareRequest& request, const std::string& folder) {
    const PdfTools tools = PdfTools::Find(request.manual.path, request.search_path);
    const int count = PdfPageCount(tools, request.manual.path);
    std::vector<std::string> names;
    for (int page = 1; page <= count; ++page)
        names.push_back(PageFileName(page, kDrawnPageExtension));
    for (int first = 1; first <= count; first += kPagesPerRun) {
        const int last = std::min(first + kPagesPerRun - 1, count);
        RasterisePdfPages(tools, request.manual.path, first, last, request.width_px, folder,
                          {names.begin() + first - 1, names.begin() + last});
        Report(request, last, count);
    }
    return names;
}

// Writes every page picture of the archive into the prepared folder, in natural order of the
// members' names; returns the page files' names.
std::vector<std::string> UnpackArchive(const PrepareRequest& request, const std::string& folder) {
    std::vector<std::pair<std::string, std::string>> members;  // member name, file written
    ReadArchivePages(
        request.manual.path, [&](const std::string& name, std::vector<unsigned char> bytes) {
            const std::string file = "member-" + std::to_string(members.size()) + ExtensionOf(name);
            const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            if (!base::ReplaceFile(folder + "/" + file, text))
                throw ManualError(request.manual.path,
                                  "its pages cannot be kept in \"" + folder + "\"");
            members.emplace_back(name, file);
        });
    std::stable_sort(members.begin(), members.end(),
                     [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
    std::vector<std::string> names;
    const int total = static_cast<int>(members.size());
    for (const auto& [member, file] : members) {
        names.push_back(PageFileName(static_cast<int>(names.size()) + 1, ExtensionOf(file)));
        if (std::rename((folder + "/" + file).c_str(), (folder + "/" + names.back()).c_str()) != 0)
            throw ManualError(request.manual.path,
                              "its pages cannot be kept in \"" + folder + "\"");
        Report(request, static_cast<int>(names.size()), total);
    }
    return names;
}

}  // namespace

std::string PageFileName(int number, const std::string& extension) {
    char name[32];
    std::snprintf(name, sizeof name, "page-%04d", number);
    return name + extension;
}

Page MeasurePage(const std::string& path) {
    Page page{path, 0, 0};
    // The sizes are in the first bytes of every format pages come in.
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> head(256 * 1024);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    const toolkit::PictureHeader header = toolkit::ReadPictureHeader(head);
    if (header.sizes_known && header.width > 0 && header.height > 0 && header.width <= 65535 &&
        header.height <= 65535) {
        page.width = static_cast<int>(header.width);
        page.height = static_cast<int>(header.height);
    }
    return page;
}

std::vector<Page> PreparePages(const PrepareRequest& request) {
    std::vector<std::string> paths;
    const ManualFile& manual = request.manual;
    if (manual.kind == ManualKind::Folder) {
        paths = FolderPages(manual.path);
        if (paths.empty()) throw ManualError(manual.path, "the folder holds no page pictures");
    } else {
        if (!request.cache)
            throw ManualError(manual.path, "there is no folder to keep its pages in");
        const PageCache& cache = *request.cache;
        const bool pdf = manual.kind == ManualKind::Pdf;
        const std::string key = cache.KeyOf(manual.path, pdf ? request.width_px : 0);
        if (auto cached = cache.Find(key)) {
            paths = std::move(*cached);
        } else {
            const std::string folder = cache.Begin(key);
            try {
                const std::vector<std::string> names =
                    pdf ? DrawPdf(request, folder) : UnpackArchive(request, folder);
                paths = cache.Commit(key, names);
            } catch (...) {
                cache.Abandon(key);
                throw;
            }
        }
    }
    std::vector<Page> pages;
    pages.reserve(paths.size());
    for (const std::string& path : paths)
        pages.push_back(MeasurePage(path));
    return pages;
}

}  // namespace kavro::manuals
