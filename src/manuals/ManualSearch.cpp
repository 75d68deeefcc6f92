#include "manuals/ManualSearch.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/Strings.h"
#include "manuals/NaturalOrder.h"

namespace kavro::manuals {

namespace fs = std::filesystem;

namespace {

std::string ExtensionOf(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return base::LowerAscii(name.substr(dot));
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool IsFolderOfPages(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec) && !FolderPages(path).empty();
}

}  // namespace

std::optional<std::string> ExpandPattern(std::string_view pattern, const PatternValues& values,
                                         const std::string& home) {
    std::string out;
    if (pattern.substr(0, 2) == "~/") {
        if (home.empty()) return std::nullopt;
        out = home;
        pattern.remove_prefix(1);
    }
    while (!pattern.empty()) {
        const std::size_t open = pattern.find('%');
        const std::size_t close =
            open == std::string_view::npos ? open : pattern.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(pattern);
            break;
        }
        out.append(pattern.substr(0, open));
        const std::string field = base::LowerAscii(pattern.substr(open + 1, close - open - 1));
        const std::string* value = field == "rom"      ? &values.rom
                                   : field == "parent" ? &values.parent
                                   : field == "system" ? &values.system
                                                       : nullptr;
        if (!value) {
            // Not a field: the text stands as written, its second '%' may open a field.
            out.append(pattern.substr(open, close - open));
            pattern.remove_prefix(close);
            continue;
        }
        if (value->empty()) return std::nullopt;
        out.append(*value);
        pattern.remove_prefix(close + 1);
    }
    return out;
}

std::optional<ManualKind> KindOfFile(std::string_view path) {
    const std::string ext = ExtensionOf(path);
    if (ext == ".pdf") return ManualKind::Pdf;
    if (ext == ".cbz" || ext == ".zip" || ext == ".cb7" || ext == ".7z") return ManualKind::Archive;
    return std::nullopt;
}

bool IsPagePicture(std::string_view name) {
    static constexpr std::array<std::string_view, 8> kExtensions = {
        ".png", ".jpg", ".jpeg", ".gif", ".bmp", ".tif", ".tiff", ".webp"};
    const std::string ext = ExtensionOf(name);
    return std::find(kExtensions.begin(), kExtensions.end(), ext) != kExtensions.end();
}

std::vector<std::string> FolderPages(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code file_ec;
        if (name.empty() || name[0] == '.' || !it->is_regular_file(file_ec)) continue;
        if (IsPagePicture(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back(folder + "/" + name);
    return paths;
}

std::optional<ManualFile> FindManual(const std::vector<std::string>& metadata_roots,
                                     const std::string& name, const PatternValues& values,
                                     const std::vector<std::string>& patterns,
                                     const std::string& home) {
    static constexpr std::array<std::string_view, 5> kFiles = {".pdf", ".cbz", ".zip", ".cb7",
                                                               ".7z"};
    // The item's own folder (a software-list item's below its list's first), then its
    // parent's, as for documents.
    std::vector<std::string> folders;
    for (const std::string* name : {&values.rom, &values.parent}) {
        if (name->empty()) continue;
        if (!values.system.empty()) folders.push_back(values.system + "/" + *name);
        folders.push_back(*name);
    }
    for (const std::string& folder : folders)
        for (const std::string& root : metadata_roots) {
            const std::string base = root + "/" + folder + "/" + name;
            for (std::string_view ext : kFiles) {
                const std::string path = base + std::string(ext);
                if (IsFile(path)) return ManualFile{path, *KindOfFile(path)};
            }
            if (IsFolderOfPages(base)) return ManualFile{base, ManualKind::Folder};
        }
    for (const std::string& pattern : patterns) {
        const std::optional<std::string> path = ExpandPattern(pattern, values, home);
        if (!path || path->empty()) continue;
        if (const auto kind = KindOfFile(*path); kind && IsFile(*path))
            return ManualFile{*path, *kind};
        if (IsFolderOfPages(*path)) return ManualFile{*path, ManualKind::Folder};
    }
    return std::nullopt;
}

}  // namespace kavro::manuals
