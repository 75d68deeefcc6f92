#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "import/DatIndex.h"
#include "import/ItemChoice.h"

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

// <root>/<folder>/<docname>.xml of the first metadata root that has it (folder: ItemFolder);
// else the rom's entry of the first data file of the document's name that has one with text
// for the document (<root>/<docname>.xml when it is a history file, then <root>/<docname>.dat,
// root by root), converted; else the same two steps for the parent, when there is one; else
// the document's path in the first root, which then fails to load as any missing document
// (failure says why when data files were there). Every root ends in a separator.
DocumentSource ResolveDocument(DatLibrary& library, const std::vector<std::string>& roots,
                               const std::string& rom, const std::string& docname,
                               const ItemChoice& choice = {});

struct ImportSummary {
    std::size_t entries = 0;
    std::size_t written = 0;
    std::size_t skipped = 0;  // documents already there that a person wrote (any letter case)
    std::vector<DatProblem> problems;
};

// Writes <into>/<folder>/<docname>.xml for every item of every entry of the file that holds
// text for the document (docname: the file's name without extension; folder: the item's name,
// "<list>/<name>" for a software-list item). A file that the import did not write before is
// only replaced with overwrite. Throws DatError when the data file cannot be read or is no
// member of the family (no $TAG= entries and no <history> root), or is longer than
// kMaxDatBytes; ImportWriteError at the first document that cannot be written (folders made
// for nothing are removed again). A person's document is kept whatever its letter case.
ImportSummary ImportDat(const std::string& path, const std::string& into, bool overwrite);

// The summary as the import command prints it: the counts, then the problems grouped by
// kind with a count each and the first few lines of each (verbose: all of them). Ends with a
// line that says so when nothing was converted.
std::string FormatSummary(const std::string& path, const std::string& into,
                          const ImportSummary& summary, bool verbose = false);

// Whether an import converted anything at all (documents written or kept).
inline bool ConvertedAnything(const ImportSummary& summary) {
    return summary.written > 0 || summary.skipped > 0;
}

}  // namespace kavro::import
