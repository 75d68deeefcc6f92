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
    std::string
        kind;  // where it comes from: "xml" (a file of its own), "dat" (a data file's entry)
    std::string path;  // the file it is read from
};

// What a frontend asks about: the game, and optionally its system and the game it is a clone of.
struct ListRequest {
    std::string rom;
    std::optional<std::string> system;
    std::optional<std::string> parent;
};

// Every document the viewer would show for the game, sorted by name, each from the source the
// viewer would load it from: the first metadata root with <rom>/<name>.xml, else the first
// <root>/<name>.dat with an entry for the rom. Every root ends without a separator. A data file
// that cannot be read is named on warnings and skipped.
std::vector<ListedDocument> ListDocuments(const std::vector<std::string>& roots,
                                          const ListRequest& request, import::DatLibrary& library,
                                          std::ostream& warnings);

// One line per document: name, a tab, kind:path. A path below the program folder is given
// relative to it.
std::string FormatListing(const std::vector<ListedDocument>& documents, const std::string& home);

}  // namespace kavro::app
