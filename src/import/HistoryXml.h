#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/DatIndex.h"

namespace kavro::import {

// Whether a file that starts with these bytes is XML (after a byte-order mark and blanks, "<").
bool LooksLikeXml(std::string_view start);

// Reads history.xml as a stream with expat and collects where each <entry> is and which
// machines (<system name>) and software-list items (<item list name>) it names. Holds none of
// the text.
class HistoryXmlIndexer {
  public:
    explicit HistoryXmlIndexer(std::string name);  // the file as messages name it
    ~HistoryXmlIndexer();
    HistoryXmlIndexer(const HistoryXmlIndexer&) = delete;
    HistoryXmlIndexer& operator=(const HistoryXmlIndexer&) = delete;

    // The next bytes of the file; last with the final piece. Throws DatError with the line and
    // column when the file is not well-formed or not a history file.
    void Feed(std::string_view bytes, bool last);
    // The entries found, in file order (each with the block "bio" when its text is not empty).
    std::vector<DatEntry> TakeEntries();

  private:
    struct Run;
    std::unique_ptr<Run> run_;
};

// The text of one entry (its bytes from <entry to </entry>), unescaped once by the reader.
// Throws DatError, naming the file and the entry's line, when the bytes are not an entry.
std::string HistoryXmlText(std::string_view entry, const std::string& name, long line);

}  // namespace kavro::import
