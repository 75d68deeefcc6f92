#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::document {

// Authoring findings: what an author did wrong in a document or style file, and where. The
// reader, the handler, the load and the layout report into a Diagnostics when one is attached
// (kavro --check); in normal viewing none is, and nothing is collected.

enum class Severity { Info, Warning, Error };

// A place in a file; line and column count from 1, 0 when unknown.
struct SourcePosition {
    std::string file;
    long line = 0;
    long column = 0;

    bool operator==(const SourcePosition&) const = default;
};

struct Finding {
    SourcePosition where;
    Severity severity = Severity::Warning;
    std::string message;

    bool operator==(const Finding&) const = default;
};

// Where the pieces of one section's markup came from: each anchor says that the markup from
// offset on was written from the file at line, column. Text between two anchors is copied from
// the file unchanged, so a place inside it is found by counting line feeds.
struct SectionSource {
    struct Anchor {
        std::size_t offset = 0;
        long line = 0;
        long column = 0;
    };
    std::string file;
    std::vector<Anchor> anchors;
    // Offsets of the icon and image codes whose elements hold text of their own (shown when
    // the picture is not).
    std::vector<std::size_t> with_text;

    // The file position of the markup character at offset; markup is the section's string.
    SourcePosition At(std::string_view markup, std::size_t offset) const;
};

struct Diagnostics {
    std::vector<Finding> findings;
    // One entry per element of SectionMarkup (element 0 unused), filled as sections end.
    std::vector<SectionSource> sections{SectionSource{}};
    // The section being converted, parallel to SectionBuffer.
    SectionSource pending;
    // The position of the root element of every file parsed, in order.
    std::vector<SourcePosition> files;

    void Report(SourcePosition where, Severity severity, std::string message);
    // Findings of another pass (another screen size) that are not already here.
    void Merge(const Diagnostics& other);
    bool Any(Severity at_least) const;
    // Empties everything for a new load.
    void Reset() { *this = Diagnostics{}; }
};

// Advances a position over text as the XML reader counts it: a line feed starts a new line,
// every other character (not byte) is one column.
void Advance(SourcePosition& where, std::string_view text);

// "file:line:col: warning: message"; without a line "file: warning: message".
std::string FormatFinding(const Finding& finding);

// The candidate nearest to word by edit distance (letter case ignored), when it is close
// enough to be a likely misspelling; empty otherwise.
std::string ClosestName(std::string_view word, const std::vector<std::string_view>& candidates);

}  // namespace kavro::document
