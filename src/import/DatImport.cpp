#include "import/DatImport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "import/DatConverter.h"
#include "import/ImportTarget.h"
#include "import/StreamInput.h"

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

// An item name becomes a folder name: nothing that leaves the target folder or hides in it.
bool IsSafeFolderName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
}

}  // namespace

const DatIndex& DatLibrary::Open(const std::string& path) {
    if (const auto it = indexes_.find(path); it != indexes_.end()) {
        const std::optional<FileIdentity> now = IdentifyFile(path);
        if (now && *now == it->second.Identity()) return it->second;
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
        // Named in any letter case, as documents are (the first regular file of the names).
        std::string data;
        for (const fs::path& found : NamedIgnoringCase(root, docname + ".dat"))
            if (fs::is_regular_file(found, ec)) {
                data = root + found.filename().string();
                break;
            }
        if (data.empty()) continue;
        try {
            const DatIndex& index = library.Open(data);
            if (const DatEntry* entry = index.Find(rom)) {
                ConvertedEntry converted = ConvertEntry(data, index, *entry, rom);
                source.text = std::move(converted.xml);
                source.data_path = data;
                source.problems = std::move(converted.problems);
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
    // Read once, as a stream: the import works on pipes, and on a file that changes meanwhile.
    const std::string data = ReadStream(path);
    const DatIndex index = DatIndex::BuildFromText(data);
    ImportTarget target(into, overwrite);
    const std::string docname = fs::path(path).stem().string();
    ImportSummary summary;
    summary.entries = index.Entries().size();
    summary.problems = index.Problems();
    for (const DatEntry& entry : index.Entries()) {
        const std::string_view text = std::string_view(data).substr(entry.offset, entry.length);
        bool reported = false;
        for (const std::string& name : entry.names) {
            if (index.Find(name) != &entry) continue;  // a later entry for a name: reported
            if (!IsSafeFolderName(name)) {
                summary.problems.push_back(
                    {entry.line, "\"" + name + "\" cannot be a folder name; not written"});
                continue;
            }
            const ImportTarget::Place place = target.Find(name, docname + ".xml");
            if (!place.problem.empty()) summary.problems.push_back({entry.line, place.problem});
            if (place.skipped) ++summary.skipped;
            if (!place.path) continue;
            ConvertedEntry converted = ConvertEntry(text, entry.line, index.Kind(), name,
                                                    fs::path(path).filename().string());
            if (!reported) {
                summary.problems.insert(summary.problems.end(), converted.problems.begin(),
                                        converted.problems.end());
                reported = true;
            }
            target.Write(*place.path, converted.xml);
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
        text +=
            "Skipped documents were not written by an import (whatever the letter case of "
            "their names); --force replaces them.\n";
    for (const DatProblem& problem : summary.problems)
        text += "  line " + std::to_string(problem.line) + ": " + problem.text + "\n";
    return text;
}

}  // namespace kavro::import
