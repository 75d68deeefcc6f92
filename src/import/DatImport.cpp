#include "import/DatImport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/AtomicFile.h"
#include "import/DatConverter.h"
#include "import/HistoryXml.h"
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

namespace {

// "sf2", or "zelda" of the list "nes", as messages name an item.
std::string ItemInMessage(const ItemChoice& choice, const std::string& name) {
    return "\"" + name + "\"" +
           (choice.system.empty() ? "" : " of the list \"" + choice.system + "\"");
}

// The data files a document of the name may come from, first choice first: history.xml
// before history.dat, as the XML file is the maintained form and a .dat copy is usually made
// from it (and may be older).
std::vector<std::string> DataFiles(const std::vector<std::string>& roots,
                                   const std::string& docname) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const std::string& root : roots)
        for (const char* extension : {".xml", ".dat"})
            // Named in any letter case, as documents are (the first regular file of the names).
            for (const fs::path& found : NamedIgnoringCase(root, docname + extension))
                if (fs::is_regular_file(found, ec)) {
                    files.push_back(root + found.filename().string());
                    break;
                }
    return files;
}

// The item's entry with text for the document, converted into source; false when no data
// file has one (why in problems).
bool ConvertFromData(DatLibrary& library, const std::vector<std::string>& files,
                     const std::string& name, const std::string& docname, const ItemChoice& choice,
                     DocumentSource& source, std::vector<std::string>& problems) {
    const std::string key = ItemKey(choice.system, name);
    for (const std::string& data : files) {
        try {
            const DatIndex& index = library.Open(data);
            const DatEntry* entry = index.Find(key);
            const std::string block =
                entry ? ShownBlock(*entry, index.BlockFor(docname)) : std::string();
            if (!block.empty()) {
                ConvertedEntry converted = ConvertEntry(data, index, *entry, block, name);
                if (converted.sections > 0) {
                    source.text = std::move(converted.xml);
                    source.data_path = data;
                    source.problems = std::move(converted.problems);
                    source.name =
                        data + " (entry \"" + key + "\", line " + std::to_string(entry->line) + ")";
                    return true;
                }
            }
            problems.push_back("\"" + data + "\" has no entry for " + ItemInMessage(choice, name));
        } catch (const DatError& e) {
            problems.push_back(e.what());
        }
    }
    return false;
}

}  // namespace

DocumentSource ResolveDocument(DatLibrary& library, const std::vector<std::string>& roots,
                               const std::string& rom, const std::string& docname,
                               const ItemChoice& choice) {
    DocumentSource source;
    std::error_code ec;
    const std::vector<std::string> files = DataFiles(roots, docname);
    std::vector<std::string> problems;
    std::vector<std::string> names{rom};
    if (!choice.parent.empty() && choice.parent != rom) names.push_back(choice.parent);
    for (const std::string& name : names) {
        for (const std::string& root : roots) {
            source.path = root + ItemFolder(choice, name) + "/" + docname + ".xml";
            if (fs::exists(source.path, ec)) return source;
        }
        if (ConvertFromData(library, files, name, docname, choice, source, problems)) return source;
    }
    if (!roots.empty())
        source.path = roots.front() + ItemFolder(choice, rom) + "/" + docname + ".xml";
    if (!problems.empty()) {
        source.failure = "no such document, and ";
        for (std::size_t i = 0; i < problems.size(); ++i)
            source.failure += (i == 0 ? "" : "; ") + problems[i];
    }
    return source;
}

namespace {

// A name of the index as a folder below the target: "sf2", or "nes/zelda" for "nes:zelda";
// nothing when a part cannot be a folder name.
std::optional<fs::path> ItemFolderOf(const std::string& key) {
    const std::size_t colon = key.find(':');
    if (colon == std::string::npos) {
        if (!IsSafeFolderName(key)) return std::nullopt;
        return fs::path(key);
    }
    const std::string list = key.substr(0, colon), name = key.substr(colon + 1);
    if (!IsSafeFolderName(list) || !IsSafeFolderName(name)) return std::nullopt;
    return fs::path(list) / name;
}

// The shown name of an index key: "zelda" for "nes:zelda".
std::string NameOf(const std::string& key) {
    const std::size_t colon = key.find(':');
    return colon == std::string::npos ? key : key.substr(colon + 1);
}

}  // namespace

ImportSummary ImportDat(const std::string& path, const std::string& into, bool overwrite) {
    // Read once, as a stream: the import works on pipes, and on a file that changes meanwhile.
    const std::string data = ReadStream(path);
    const DatIndex index = DatIndex::BuildFromText(data, path);
    if (index.Entries().empty() && index.Format() == DatFormat::Dollar)
        throw DatError("\"" + path +
                       "\" is not a move-list or information file: it holds no \"$info=\" (or "
                       "\"$TAG=\") entries, and it is not a history.xml file (<history> root)");
    const std::string docname = fs::path(path).stem().string();
    const std::string source = fs::path(path).filename().string();
    const std::string block = index.BlockFor(docname);
    ImportTarget target(into, overwrite);
    ImportSummary summary;
    summary.entries = index.Entries().size();
    summary.problems = index.Problems();
    for (const DatEntry& entry : index.Entries()) {
        const std::string shown = ShownBlock(entry, block);
        if (shown.empty()) {
            summary.problems.push_back({entry.line, "the entry has no $" + block + " text",
                                        "entries without text to show (no document)"});
            continue;
        }
        std::string text(std::string_view(data).substr(entry.offset, entry.length));
        if (index.Format() == DatFormat::HistoryXml) text = HistoryXmlText(text, path, entry.line);
        // Converted once, for the first name that gets a document; the others only differ in
        // the caption.
        std::optional<ConvertedEntry> converted;
        for (const std::string& key : entry.names) {
            if (index.Find(key) != &entry) continue;  // a later entry for a name: reported
            const auto folder = ItemFolderOf(key);
            if (!folder) {
                summary.problems.push_back({entry.line, "\"" + key + "\" cannot be a folder name",
                                            "names that cannot be folder names (not written)"});
                continue;
            }
            const ImportTarget::Place place = target.Find(folder->string(), docname + ".xml");
            if (!place.problem.empty())
                summary.problems.push_back(
                    {entry.line, place.problem, "folders or files in the way"});
            if (place.skipped) ++summary.skipped;
            if (!place.path) continue;
            if (!converted) {
                converted = index.Format() == DatFormat::HistoryXml
                                ? ConvertHistoryText(text, entry.line, NameOf(key), source)
                                : ConvertEntry(text, entry.line, shown, NameOf(key), source);
                summary.problems.insert(summary.problems.end(), converted->problems.begin(),
                                        converted->problems.end());
                if (converted->sections == 0) break;  // no text: no document for any name
                target.Put(place, converted->xml);
            } else {
                target.Put(place, DocumentFor(*converted, NameOf(key)));
            }
            ++summary.written;
        }
    }
    target.Publish();
    std::stable_sort(summary.problems.begin(), summary.problems.end(),
                     [](const DatProblem& a, const DatProblem& b) { return a.line < b.line; });
    return summary;
}

namespace {

constexpr std::size_t kLinesPerKind = 5;

}  // namespace

std::string FormatSummary(const std::string& path, const std::string& into,
                          const ImportSummary& summary, bool verbose) {
    std::string text = "Imported \"" + path + "\" into \"" + into +
                       "\": " + std::to_string(summary.entries) + " entries, " +
                       std::to_string(summary.written) + " documents written, " +
                       std::to_string(summary.skipped) + " skipped, " +
                       std::to_string(summary.problems.size()) + " problems\n";
    if (summary.skipped > 0)
        text +=
            "Skipped documents were not written by an import (whatever the letter case of "
            "their names); --force replaces them.\n";
    // Kinds in the order they first occur; lines in file order within each.
    std::vector<std::string> kinds;
    for (const DatProblem& problem : summary.problems) {
        const std::string kind = problem.kind.empty() ? "other problems" : problem.kind;
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
    }
    for (const std::string& kind : kinds) {
        std::vector<const DatProblem*> of_kind;
        for (const DatProblem& problem : summary.problems)
            if ((problem.kind.empty() ? "other problems" : problem.kind) == kind)
                of_kind.push_back(&problem);
        text += "  " + std::to_string(of_kind.size()) + " " + kind + ":\n";
        const std::size_t shown =
            verbose ? of_kind.size() : std::min(of_kind.size(), kLinesPerKind);
        for (std::size_t i = 0; i < shown; ++i)
            text += "    line " + std::to_string(of_kind[i]->line) + ": " + of_kind[i]->text + "\n";
        if (shown < of_kind.size())
            text += "    ... and " + std::to_string(of_kind.size() - shown) +
                    " more (--verbose lists all)\n";
    }
    if (!ConvertedAnything(summary))
        text += summary.problems.empty() ? "No document was written: the file holds no entries.\n"
                                         : "No document was written (see the problems above).\n";
    return text;
}

}  // namespace kavro::import
