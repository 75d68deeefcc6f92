#include "import/DatImport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/AtomicFile.h"
#include "import/DatConverter.h"

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

std::int64_t FileTime(const fs::path& path, std::error_code& ec) {
    return static_cast<std::int64_t>(fs::last_write_time(path, ec).time_since_epoch().count());
}

// An item name becomes a folder name: nothing that leaves the target folder or hides in it.
bool IsSafeFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
}

bool WrittenByImport(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string start(kConvertedMark.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    return in && start == kConvertedMark;
}

// A document is never left half written.
std::optional<std::string> WriteDocument(const fs::path& target, const std::string& text) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) return "cannot create \"" + target.parent_path().string() + "\": " + ec.message();
    if (!base::ReplaceFile(target.string(), text, nullptr))
        return "cannot write \"" + target.string() + "\"";
    return std::nullopt;
}

}  // namespace

const DatIndex& DatLibrary::Open(const std::string& path) {
    std::error_code ec;
    const std::uint64_t size = fs::file_size(path, ec);
    const std::int64_t time = ec ? 0 : FileTime(path, ec);
    if (const auto it = indexes_.find(path); it != indexes_.end()) {
        if (!ec && it->second.FileSize() == size && it->second.FileTime() == time)
            return it->second;
        indexes_.erase(it);
    }
    return indexes_.emplace(path, DatIndex::Open(path)).first->second;
}

DocumentSource ResolveDocument(DatLibrary& library, const std::vector<std::string>& roots,
                               const std::string& rom, const std::string& docname) {
    DocumentSource source;
    std::error_code ec;
    for (const std::string& root : roots) {
        source.path = root + rom + "/" + docname + ".xml";
        if (fs::exists(source.path, ec)) return source;
    }
    if (!roots.empty()) source.path = roots.front() + rom + "/" + docname + ".xml";
    std::vector<std::string> without_entry;  // or that cannot be read
    for (const std::string& root : roots) {
        const std::string data = root + docname + ".dat";
        if (!fs::is_regular_file(data, ec)) continue;
        try {
            const DatIndex& index = library.Open(data);
            if (const DatEntry* entry = index.Find(rom)) {
                source.text = ConvertEntry(data, index, *entry, rom).xml;
                source.name =
                    data + " (entry \"" + rom + "\", line " + std::to_string(entry->line) + ")";
                return source;
            }
            without_entry.push_back("\"" + data + "\" has no entry for \"" + rom + "\"");
        } catch (const DatError& e) {
            without_entry.push_back(e.what());
        }
    }
    if (!without_entry.empty()) {
        source.failure = "no such document, and ";
        for (std::size_t i = 0; i < without_entry.size(); ++i)
            source.failure += (i == 0 ? "" : "; ") + without_entry[i];
    }
    return source;
}

ImportSummary ImportDat(const std::string& path, const std::string& into, bool overwrite) {
    const DatIndex index = DatIndex::Build(path);
    const std::string docname = fs::path(path).stem().string();
    ImportSummary summary;
    summary.entries = index.Entries().size();
    summary.problems = index.Problems();
    for (const DatEntry& entry : index.Entries()) {
        const std::string text = ReadEntry(path, entry);
        bool reported = false;
        for (const std::string& name : entry.names) {
            if (index.Find(name) != &entry) continue;  // a later entry for a name: reported
            if (!IsSafeFolderName(name)) {
                summary.problems.push_back(
                    {entry.line, "\"" + name + "\" cannot be a folder name; not written"});
                continue;
            }
            const fs::path target = fs::path(into) / name / (docname + ".xml");
            std::error_code ec;
            if (fs::exists(target, ec) && !overwrite && !WrittenByImport(target)) {
                ++summary.skipped;
                continue;
            }
            ConvertedEntry converted = ConvertEntry(text, entry.line, index.Kind(), name,
                                                    fs::path(path).filename().string());
            if (!reported) {
                summary.problems.insert(summary.problems.end(), converted.problems.begin(),
                                        converted.problems.end());
                reported = true;
            }
            if (auto failure = WriteDocument(target, converted.xml))
                summary.problems.push_back({entry.line, *failure});
            else
                ++summary.written;
        }
    }
    std::stable_sort(summary.problems.begin(), summary.problems.end(),
                     [](const DatProblem& a, const DatProblem& b) { return a.line < b.line; });
    return summary;
}

std::string FormatSummary(const std::string& path, const std::string& into,
                          const ImportSummary& summary) {
    std::string text = "Imported \"" + path + "\" into \"" + into +
                       "\": " + std::to_string(summary.entries) + " entries, " +
                       std::to_string(summary.written) + " documents written, " +
                       std::to_string(summary.skipped) + " skipped, " +
                       std::to_string(summary.problems.size()) + " problems\n";
    if (summary.skipped > 0)
        text += "Skipped documents were not written by an import; --force replaces them.\n";
    for (const DatProblem& problem : summary.problems)
        text += "  line " + std::to_string(problem.line) + ": " + problem.text + "\n";
    return text;
}

}  // namespace kavro::import
