#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/DatIndex.h"

namespace kavro::import {

// The first characters of every document the converter writes; an import replaces a file
// that starts with them, and leaves any other file alone unless told to overwrite.
inline constexpr std::string_view kConvertedMark =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Converted by kavro from ";

struct ConvertedEntry {
    std::string xml;                   // well-formed UTF-8; empty when there is nothing to show
    std::vector<DatProblem> problems;  // repaired bytes, pages without $end, no text
    int sections = 0;                  // 0: the entry holds no text for the block, no document
    std::size_t name_at = 0;           // where the caption names the item in xml
    std::size_t name_size = 0;
};

// Turns one entry of a "$" file (its bytes from the $TAG line on; first_line is that line's
// number) into a document for the item, from its block: one section per page of a move list
// (cmd), one section of text for the others (bio: a history; mame, drv: notes; story: high
// scores; any other block as a history). source_name is the data file's name as the
// document's comment gives it.
ConvertedEntry ConvertEntry(std::string_view entry_text, long first_line, std::string_view block,
                            std::string_view item_name, std::string_view source_name);

// The same for the text of a history.xml entry (already unescaped).
ConvertedEntry ConvertHistoryText(std::string_view history, long first_line,
                                  std::string_view item_name, std::string_view source_name);
// The converted document as it is for another item of the same entry: only the caption names
// the item, so an entry of several names is converted once.
std::string DocumentFor(const ConvertedEntry& converted, std::string_view item_name);

// Appends text to XML with &, < and > escaped, and " too in an attribute value.
void AppendEscaped(std::string& out, std::string_view text, bool attribute = false);

// The same, from an index entry of a file (reads only that entry).
ConvertedEntry ConvertEntry(const std::string& path, const DatIndex& index, const DatEntry& entry,
                            std::string_view block, std::string_view item_name);

}  // namespace kavro::import
