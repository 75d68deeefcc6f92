#include "manuals/PageCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/AtomicFile.h"
#include "import/DatIndex.h"
#include "manuals/ManualError.h"

namespace kavro::manuals {

namespace fs = std::filesystem;

namespace {

constexpr const char* kIndexName = "pages";

std::uintmax_t FolderBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code size_ec;
        const std::uintmax_t size = it->file_size(size_ec);
        if (!size_ec) bytes += size;
    }
    return bytes;
}

}  // namespace

std::string PageCache::UserFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/kavro/manuals";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache/kavro/manuals";
    std::error_code ec;
    return (fs::temp_directory_path(ec) / ("kavro-manuals-" + std::to_string(::getuid()))).string();
}

std::string PageCache::KeyOf(const std::string& file, int width) const {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) throw ManualError(file, "it cannot be examined");
    std::error_code ec;
    const fs::path absolute = fs::absolute(file, ec);
    std::ostringstream identity;
    identity << st.st_dev << ':' << st.st_ino << ':' << st.st_size << ':' << st.st_mtim.tv_sec
             << '.' << st.st_mtim.tv_nsec << ':' << width << ':' << absolute.string();
    return import::StableHash(identity.str()) + "-w" + std::to_string(width);
}

std::optional<std::vector<std::string>> PageCache::Find(const std::string& key) const {
    const fs::path folder = fs::path(root_) / key;
    std::ifstream index(folder / kIndexName);
    if (!index) return std::nullopt;
    std::vector<std::string> pages;
    std::error_code ec;
    for (std::string name; std::getline(index, name);) {
        if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
        const fs::path page = folder / name;
        if (!fs::is_regular_file(page, ec)) return std::nullopt;
        pages.push_back(page.string());
    }
    if (pages.empty()) return std::nullopt;
    // Used now: the entry goes last in the eviction order.
    fs::last_write_time(folder / kIndexName, fs::file_time_type::clock::now(), ec);
    return pages;
}

std::string PageCache::Begin(const std::string& key) const {
    const fs::path folder = fs::path(root_) / key;
    std::error_code ec;
    // What is there is an unfinished entry (the caller found no complete one): start afresh.
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec) throw ManualError(root_, "the page cache cannot be written: " + ec.message());
    return folder.string();
}

std::vector<std::string> PageCache::Commit(const std::string& key,
                                           const std::vector<std::string>& names) const {
    std::string index;
    for (const std::string& name : names)
        index += name + "\n";
    const fs::path folder = fs::path(root_) / key;
    if (!base::ReplaceFile(folder / kIndexName, index)) {
        Abandon(key);
        throw ManualError(root_, "the page cache cannot be written");
    }
    Evict(key);
    std::vector<std::string> paths;
    for (const std::string& name : names)
        paths.push_back((folder / name).string());
    return paths;
}

void PageCache::Abandon(const std::string& key) const {
    std::error_code ec;
    fs::remove_all(fs::path(root_) / key, ec);
}

void PageCache::Evict(const std::string& keep) const {
    struct Entry {
        fs::path folder;
        fs::file_time_type used;
        std::uintmax_t bytes;
    };
    std::vector<Entry> entries;
    std::uintmax_t total = 0;
    const auto day_ago = fs::file_time_type::clock::now() - std::chrono::hours(24);
    std::error_code ec;
    for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entry_ec;
        if (!it->is_directory(entry_ec)) continue;
        const std::string name = it->path().filename().string();
        const fs::file_time_type used = fs::last_write_time(it->path() / kIndexName, entry_ec);
        if (entry_ec) {
            // Unfinished: being prepared now, or left by a run that was stopped.
            if (name != keep && it->last_write_time(entry_ec) < day_ago)
                fs::remove_all(it->path(), entry_ec);
            continue;
        }
        const std::uintmax_t bytes = FolderBytes(it->path());
        total += bytes;
        if (name != keep)
            entries.push_back({it->path(), entry_ec ? fs::file_time_type{} : used, bytes});
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.used < b.used; });
    for (const Entry& entry : entries) {
        if (total <= limit_) break;
        std::error_code remove_ec;
        fs::remove_all(entry.folder, remove_ec);
        if (!remove_ec) total -= entry.bytes;
    }
}

}  // namespace kavro::manuals
