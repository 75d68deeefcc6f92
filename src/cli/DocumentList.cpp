#include "cli/DocumentList.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

#include "manuals/ManualSearch.h"

namespace kavro::app {

namespace fs = std::filesystem;

namespace {

// Hidden entries are no documents, as the viewer's file lookup does not take them.
bool IsVisibleFile(const fs::directory_entry& entry, const std::string& extension) {
    std::error_code ec;
    const fs::path& path = entry.path();
    const std::string name = path.filename().string();
    return !name.empty() && name.front() != '.' && path.extension() == extension &&
           entry.is_regular_file(ec);
}

// Calls found(entry) for every regular file of the folder ending in extension; a folder that
// is not there lists nothing.
template <class Found>
void ForEachFile(const fs::path& folder, const std::string& extension, Found found) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (IsVisibleFile(*it, extension)) found(it->path());
}

}  // namespace

std::vector<ListedDocument> ListDocuments(const std::vector<std::string>& roots,
                                          const ListRequest& request, import::DatLibrary& library) {
    if (request.rom.empty()) return {};
    // The names to ask about: the item's (and its parent's) own documents, every data file,
    // and the manual names; each is then resolved exactly as the viewer resolves it.
    std::set<std::string> names(request.manual_names.begin(), request.manual_names.end());
    std::vector<std::string> folders{request.rom};
    if (!request.item.parent.empty()) folders.push_back(request.item.parent);
    std::vector<std::string> slashed;
    for (const std::string& root : roots) {
        slashed.push_back(root + "/");
        for (const std::string& folder : folders)
            ForEachFile(fs::path(root) / import::ItemFolder(request.item, folder), ".xml",
                        [&](const fs::path& path) { names.insert(path.stem().string()); });
        for (const char* extension : {".dat", ".xml"})
            ForEachFile(fs::path(root), extension,
                        [&](const fs::path& path) { names.insert(path.stem().string()); });
    }
    const manuals::PatternValues values{request.rom, request.item.parent, request.item.system};
    std::vector<ListedDocument> documents;
    for (const std::string& name : names) {
        const import::DocumentSource source =
            import::ResolveDocument(library, slashed, request.rom, name, request.item);
        std::error_code ec;
        const bool own = !source.text && fs::is_regular_file(source.path, ec);
        const bool manual =
            !own && std::find(request.manual_names.begin(), request.manual_names.end(), name) !=
                        request.manual_names.end();
        if (manual) {
            if (const auto found = manuals::FindManual(roots, name, values, request.manual_patterns,
                                                       request.home)) {
                const std::string ext = fs::path(found->path).extension().string();
                documents.push_back({name,
                                     found->kind == manuals::ManualKind::Folder
                                         ? std::string("folder")
                                     : ext.empty() ? std::string("pdf")
                                                   : ext.substr(1),
                                     found->path});
                continue;
            }
        }
        if (own) {
            documents.push_back({name, "xml", source.path});
        } else if (source.text) {
            const std::string ext = fs::path(source.data_path).extension().string();
            documents.push_back({name, ext.empty() ? "dat" : ext.substr(1), source.data_path});
        }
    }
    return documents;
}

std::string FormatListing(const std::vector<ListedDocument>& documents, const std::string& home) {
    const std::string prefix = home + "/";
    std::string text;
    for (const ListedDocument& d : documents) {
        const bool below = d.path.size() > prefix.size() && d.path.rfind(prefix, 0) == 0;
        text +=
            d.name + "\t" + d.kind + ":" + (below ? d.path.substr(prefix.size()) : d.path) + "\n";
    }
    return text;
}

}  // namespace kavro::app
