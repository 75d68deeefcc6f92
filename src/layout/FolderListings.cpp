#include "layout/FolderListings.h"

#include <filesystem>
#include <system_error>

#include "document/CaseFold.h"
#include "forms/Services.h"

namespace kavro::layout {

std::string FolderListings::Find(const std::string& path) {
    if (toolkit::Services::FileExists(path)) return path;
    const std::filesystem::path p(path);
    const std::string name = p.filename().string();
    if (name.empty() || name.front() == '.') return std::string();
    const std::string folder = p.parent_path().string();
    auto [listing, added] = folders_.try_emplace(folder);
    if (added) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
             !ec && it != end; it.increment(ec)) {
            const std::string entry = it->path().filename().string();
            std::error_code entry_ec;
            if (entry.front() == '.' || !it->is_regular_file(entry_ec)) continue;
            auto [slot, fresh] = listing->second.try_emplace(document::FoldCase(entry), entry);
            if (!fresh && entry < slot->second) slot->second = entry;
        }
    }
    const auto match = listing->second.find(document::FoldCase(name));
    if (match == listing->second.end()) return std::string();
    return (p.parent_path() / match->second).string();
}

}  // namespace kavro::layout
