#include "import/ImportTarget.h"

#include <algorithm>
#include <fstream>

#include "base/AtomicFile.h"
#include "import/DatConverter.h"

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

std::vector<fs::path> NamedIgnoringCase(const fs::path& folder, const std::string& name) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (SameIgnoringCase(it->path().filename().string(), name)) found.push_back(it->path());
    std::sort(found.begin(), found.end(), [&](const fs::path& a, const fs::path& b) {
        const bool a_exact = a.filename() == name, b_exact = b.filename() == name;
        return a_exact != b_exact ? a_exact : a.filename().string() < b.filename().string();
    });
    return found;
}

bool WrittenByImport(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string start(kConvertedMark.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == kConvertedMark;
}

ImportTarget::~ImportTarget() {
    // Only empty ones: remove() leaves a folder that holds anything.
    std::error_code ec;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
        fs::remove(*it, ec);
}

ImportTarget::Place ImportTarget::Find(const std::string& folder,
                                       const std::string& file_name) const {
    Place place;
    std::error_code ec;
    const std::vector<fs::path> folders = NamedIgnoringCase(into_, folder);
    const auto item = std::find_if(folders.begin(), folders.end(),
                                   [&](const fs::path& p) { return fs::is_directory(p, ec); });
    if (item == folders.end() && !folders.empty()) {
        place.problem = "\"" + folders.front().string() + "\" is in the way: it is no folder";
        return place;
    }
    const fs::path dir = item != folders.end() ? *item : into_ / folder;
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
    return place;
}

void ImportTarget::Write(const fs::path& path, const std::string& text) {
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path dir = path.parent_path(); !dir.empty() && !fs::exists(dir, ec);
         dir = dir.parent_path()) {
        missing.push_back(dir);
        if (dir == dir.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && ec)
            throw ImportWriteError("cannot create the folder \"" + it->string() +
                                   "\": " + ec.message());
        made_.push_back(*it);
    }
    std::string error;
    if (!base::ReplaceFile(path, text, &error)) throw ImportWriteError(error);
}

}  // namespace kavro::import
