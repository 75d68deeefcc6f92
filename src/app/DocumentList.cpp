#include "app/DocumentList.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <system_error>

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
                                          const ListRequest& request, import::DatLibrary& library,
                                          std::ostream& warnings) {
    // By name, the first source found wins: roots are in lookup order, and an item's own
    // document comes before any data file's entry.
    std::map<std::string, ListedDocument> found;
    if (request.rom.empty()) return {};
    for (const std::string& root : roots)
        ForEachFile(fs::path(root) / request.rom, ".xml", [&](const fs::path& path) {
            found.try_emplace(path.stem().string(),
                              ListedDocument{path.stem().string(), "xml", path.string()});
        });
    for (const std::string& root : roots)
        ForEachFile(fs::path(root), ".dat", [&](const fs::path& path) {
            const std::string name = path.stem().string();
            if (found.count(name)) return;
            try {
                if (library.Open(path.string()).Find(request.rom))
                    found.emplace(name, ListedDocument{name, "dat", path.string()});
            } catch (const import::DatError& e) {
                warnings << "kavro: " << e.what() << "\n";
            }
        });
    std::vector<ListedDocument> documents;
    for (auto& [name, document] : found)
        documents.push_back(std::move(document));
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
