#include "toolkit/Services.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "text/CaseFold.h"

namespace kavro::toolkit {

bool Services::FileExists(const std::string& path) {
    if (path.empty()) return false;
    const std::filesystem::path p(path);
    const std::string name = p.filename().string();
    // A hidden entry does not count as a normal file; nor does a path ending in a separator.
    if (name.empty() || name.front() == '.') return false;
    std::error_code ec;
    const auto status = std::filesystem::status(p, ec);  // follows symbolic links
    return !ec && std::filesystem::is_regular_file(status);
}

std::string FolderListings::Find(const std::string& path) {
    if (Services::FileExists(path)) return path;
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
            auto [slot, fresh] = listing->second.try_emplace(text::FoldCase(entry), entry);
            if (!fresh && entry < slot->second) slot->second = entry;
        }
    }
    const auto match = listing->second.find(text::FoldCase(name));
    if (match == listing->second.end()) return std::string();
    return (p.parent_path() / match->second).string();
}

void HeadlessServices::MsgBox(const std::string& text) {
    std::cerr << text << "\n" << std::flush;
    last_message_ = text;
}

}  // namespace kavro::toolkit
