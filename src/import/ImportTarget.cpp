#include "import/ImportTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "base/AtomicFile.h"
#include "base/FileDescriptor.h"
#include "base/Strings.h"
#include "import/DatConverter.h"

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

// Documents written before the disk is synced and they get their names: one sync for this
// many documents, and never more of them waiting (their names take memory).
constexpr std::size_t kPublishEvery = 4096;

// The names as paths in folder: the exact name first, then the others in byte order.
std::vector<fs::path> InOrder(const fs::path& folder, std::vector<std::string> names,
                              const std::string& name) {
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        const bool a_exact = a == name, b_exact = b == name;
        return a_exact != b_exact ? a_exact : a < b;
    });
    std::vector<fs::path> paths;
    for (const std::string& found : names)
        paths.push_back(folder / found);
    return paths;
}

// The same folder however it was spelled ("metadata/" and "metadata").
fs::path FolderKey(const fs::path& folder) {
    const fs::path normal = folder.lexically_normal();
    return normal.has_filename() ? normal : normal.parent_path();
}

}  // namespace

std::vector<fs::path> NamedIgnoringCase(const fs::path& folder, const std::string& name) {
    std::vector<std::string> found;
    const std::string lowered = base::LowerAscii(name);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (base::LowerAscii(entry) == lowered) found.push_back(std::move(entry));
    }
    return InOrder(folder, std::move(found), name);
}

bool WrittenByImport(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string start(kConvertedMark.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == kConvertedMark;
}

namespace {

// Whether the regular file holds exactly text.
bool HoldsExactly(const fs::path& path, std::string_view text) {
    const base::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
    struct stat info {};
    bool same = ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) &&
                static_cast<std::uint64_t>(info.st_size) == text.size();
    std::string held(same ? text.size() : 0, '\0');
    std::size_t have = 0;
    while (same && have < held.size()) {
        const ssize_t got = ::read(fd.get(), held.data() + have, held.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) same = false;
        have += got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    return same && held == text;
}

}  // namespace

ImportTarget::~ImportTarget() {
    pending_.clear();  // their temporary files first, so that folders made for them are empty
    // Only empty ones: remove() leaves a folder that holds anything.
    std::error_code ec;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
        fs::remove(*it, ec);
}

const ImportTarget::Listing& ImportTarget::ListingOf(const fs::path& folder) const {
    const fs::path key = FolderKey(folder);
    if (const auto it = listings_.find(key); it != listings_.end()) return it->second;
    Listing& listing = listings_[key];
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        listing[base::LowerAscii(name)].push_back(std::move(name));
    }
    return listing;
}

void ImportTarget::Remember(const fs::path& path) {
    const auto it = listings_.find(FolderKey(path.parent_path()));
    if (it == listings_.end()) return;
    const std::string name = path.filename().string();
    std::vector<std::string>& names = it->second[base::LowerAscii(name)];
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

ImportTarget::Place ImportTarget::Find(const std::string& folder,
                                       const std::string& file_name) const {
    Place place;
    std::error_code ec;
    // Each part of the item folder in the letter case it already has; once a part is missing,
    // the rest is made as named.
    fs::path dir = into_;
    bool there = true;
    for (const fs::path& part : fs::path(folder)) {
        if (there) {
            const Listing& listing = ListingOf(dir);
            if (const auto it = listing.find(base::LowerAscii(part.string()));
                it != listing.end()) {
                const std::vector<fs::path> found = InOrder(dir, it->second, part.string());
                const auto item = std::find_if(found.begin(), found.end(), [&](const fs::path& p) {
                    return fs::is_directory(p, ec);
                });
                if (item == found.end()) {
                    place.problem =
                        "\"" + found.front().string() + "\" is in the way: it is no folder";
                    return place;
                }
                dir = *item;
                continue;
            }
            there = false;
        }
        dir /= part;
    }
    if (!there) {
        place.path = dir / file_name;
        return place;
    }
    const std::vector<fs::path> files = NamedIgnoringCase(dir, file_name);
    if (files.empty()) {
        place.path = dir / file_name;
        return place;
    }
    if (!fs::is_regular_file(files.front(), ec)) {
        place.problem = "\"" + files.front().string() + "\" is in the way: it is no file";
        return place;
    }
    const bool persons = std::any_of(files.begin(), files.end(),
                                     [](const fs::path& p) { return !WrittenByImport(p); });
    if (persons && !overwrite_) {
        place.skipped = true;
        return place;
    }
    // In the name the file already has, so that no second spelling hides it.
    place.path = files.front();
    place.there = true;
    return place;
}

void ImportTarget::Write(const fs::path& path, const std::string& text) {
    // The documents written before one that cannot be are kept.
    const auto fail = [this](const std::string& why) {
        Publish();
        throw ImportWriteError(why);
    };
    std::vector<fs::path> missing;
    std::error_code ec;
    // Most documents go into a new item folder of a folder that is there: one mkdir. Else
    // (an error, or the folder is there) as many folders as are missing are made.
    const fs::path item = path.parent_path();
    const bool made = !item.empty() && fs::create_directory(item, ec);
    if (made) {
        made_.push_back(item);
        Remember(item);
    }
    for (fs::path dir = item; !made && !dir.empty() && !fs::exists(dir, ec);
         dir = dir.parent_path()) {
        missing.push_back(dir);
        if (dir == dir.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && ec)
            fail("cannot create the folder \"" + it->string() + "\": " + ec.message());
        made_.push_back(*it);
        Remember(*it);
    }
    std::string error;
    auto file = base::PendingFile::Create(path, &error);
    if (!file || !file->Write(text, &error) || !file->Close(&error)) {
        file.reset();  // its temporary file goes
        fail(error);
    }
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) devices_.emplace(info.st_dev, folder);
    pending_.push_back(std::move(file));
    Remember(path);
    if (pending_.size() >= kPublishEvery) Publish();
}

void ImportTarget::Publish() {
    if (pending_.empty()) return;
    for (const auto& [device, folder] : devices_) {
        const base::FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY));
        const bool synced = fd.valid() && ::syncfs(fd.get()) == 0;
        const int saved = errno;
        if (!synced)
            throw ImportWriteError("cannot write the documents in \"" + folder.string() +
                                   "\": " + std::strerror(saved));
    }
    devices_.clear();
    std::vector<std::unique_ptr<base::PendingFile>> pending;
    pending.swap(pending_);
    std::string error;
    for (const auto& file : pending)
        if (!file->Commit(&error)) throw ImportWriteError(error);
}

void ImportTarget::Put(const Place& place, const std::string& text) {
    if (!place.path || (place.there && HoldsExactly(*place.path, text))) return;
    Write(*place.path, text);
}

}  // namespace kavro::import
