#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "import/DatImport.h"

namespace kavro::app {

// One document a game has, as `kavro --list` names it.
struct ListedDocument {
    std::string name;  // what goes after the rom on the command line
    // Where it comes from: "xml" (a file of its own, or an entry of a history.xml), "dat" (an
    // entry of a data file), "pdf", "cbz", "zip", "cb7", "7z" or "folder" (a manual).
    std::string kind;
    std::string path;  // the file it is read from
};

// What a frontend asks about: the game, and optionally its system and the game it is a clone of.
struct ListRequest {
    std::string rom;
    import::ItemChoice item;  // --system, --parent
    // The document names that are manuals and where else manuals are looked for ([Manuals]).
    std::vector<std::string> manual_names{"manual"};
    std::vector<std::string> manual_patterns;
    std::string home;  // what "~/" means in a pattern
};

// Every document the viewer would show for the game, sorted by name, each from the source the
// viewer would load it from, in the viewer's order: a document of its own, a manual, an entry of
// a data file (the parent's after the rom's own). Every root ends without a separator.
std::vector<ListedDocument> ListDocuments(const std::vector<std::string>& roots,
                                          const ListRequest& request, import::DatLibrary& library);

// One line per document: name, a tab, kind:path. A path below the program folder is given
// relative to it.
std::string FormatListing(const std::vector<ListedDocument>& documents, const std::string& home);

}  // namespace kavro::app
