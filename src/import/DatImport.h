#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "import/DatIndex.h"

namespace kavro::import {

// The indexes of the data files a run has opened, so that a reload does not read them again;
// an index is opened afresh when its file is no longer the one indexed (FileIdentity).
class DatLibrary {
  public:
    // Throws DatError when the file cannot be read.
    const DatIndex& Open(const std::string& path);

  private:
    std::map<std::string, DatIndex> indexes_;
};

// Where a document comes from: its file, or an entry of a data file converted in memory.
struct DocumentSource {
    std::string path;                 // the document's own path, as messages name it
    std::optional<std::string> text;  // the converted document, when it comes from a data file
    std::string name;                 // the converted document's name in messages
    std::string failure;              // not empty: why there is no document at all
    // The converted entry's problems (bytes replaced, a page without $end) at their lines of
    // the data file data_path.
    std::string data_path;
    std::vector<DatProblem> problems;
};

// <root>/<rom>/<docname>.xml of the first metadata root that has it; else the rom's entry of
// the first <root>/<docname>.dat, converted (failure says so when that file has none); else
// the document's path in the first root, which then fails to load as any missing document.
// Every root ends in a separator.
DocumentSource ResolveDocument(DatLibrary& library, const std::vector<std::string>& roots,
                               const std::string& rom, const std::string& docname);

struct ImportSummary {
    std::size_t entries = 0;
    std::size_t written = 0;
    std::size_t skipped = 0;  // documents already there that a person wrote (any letter case)
    std::vector<DatProblem> problems;
};

// Writes <into>/<name>/<docname>.xml for every item name of every entry of the file (docname:
// the file's name without extension), as ImportTarget places it: a file that the import did not
// write before is only replaced with overwrite. Throws DatError when the data file cannot be
// read (or is longer than kMaxDatBytes), ImportWriteError at the first document that cannot be
// written (folders made for nothing are removed again).
ImportSummary ImportDat(const std::string& path, const std::string& into, bool overwrite);

// The summary as the import command prints it.
std::string FormatSummary(const std::string& path, const std::string& into,
                          const ImportSummary& summary);

}  // namespace kavro::import
