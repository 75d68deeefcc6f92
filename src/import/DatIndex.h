#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/FileIdentity.h"

namespace kavro::import {

// A move-list file holds pages ($cmd ... $end); a history file holds text.
enum class DatKind { MoveList, History };

// A move-list or history file that cannot be read.
class DatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Something in a file that was skipped or repaired, with its line (from 1; 0: the whole file).
struct DatProblem {
    long line = 0;
    std::string text;
};

// One "$info=" entry: where its bytes are and which item names it lists.
struct DatEntry {
    std::uint64_t offset = 0;  // the first byte of the $info line
    std::uint64_t length = 0;  // up to the next $info line or the end of the file
    long line = 0;             // the number of the $info line
    std::vector<std::string> names;
};

// Where each item's entry is in a move-list or history file. Holds no text of the file.
class DatIndex {
  public:
    // Reads the file once, as a stream. Throws DatError when it cannot be read.
    static DatIndex Build(const std::string& path);
    // The same for text in memory (tests, fuzzing).
    static DatIndex BuildFromText(std::string_view text);

    // The cached index when it was made from the file as it is now (see FileIdentity), else a
    // new one, which is
    // then cached: beside the file, or in the user's cache folder when that folder cannot be
    // written; when neither can be, it is just not cached. Throws DatError as Build does.
    static DatIndex Open(const std::string& path);

    DatKind Kind() const { return kind_; }
    const std::vector<DatEntry>& Entries() const { return entries_; }
    // The entry that lists the name first; null when no entry does.
    const DatEntry* Find(std::string_view name) const;
    // Names listed twice, entries without names (only from Build).
    const std::vector<DatProblem>& Problems() const { return problems_; }
    // The file as it was when it was indexed (only from Build and Open).
    const FileIdentity& Identity() const { return identity_; }

    // The cache file's text, and the index read back from it (nothing when it is not a cache
    // of the file with this identity, or when any entry lies outside the file).
    std::string Serialize() const;
    static std::optional<DatIndex> Deserialize(std::string_view text, const FileIdentity& file);

  private:
    class Builder;
    void AddEntry(DatEntry entry);

    DatKind kind_ = DatKind::History;
    std::vector<DatEntry> entries_;
    std::unordered_map<std::string, std::size_t> by_name_;
    std::vector<DatProblem> problems_;
    FileIdentity identity_;
};

// The bytes of one entry (its $info line and what follows up to the next one). Throws
// DatError when they cannot be read or are no entry (the file changed since it was indexed).
std::string ReadEntry(const std::string& path, const DatEntry& entry);

// Where the index of a file is cached beside it.
std::string IndexCachePath(const std::string& path);

// Called with every line, the line feed removed (a carriage return before it stays), and the
// offset of its first byte.
using LineCallback = std::function<void(std::string_view line, std::uint64_t offset)>;

// Reads the file in blocks, so memory stays small whatever its size. Returns the number of
// bytes read. Throws DatError on a read error, and when the file is longer than limit.
std::uint64_t ForEachLine(std::FILE* file, const std::string& path, const LineCallback& line,
                          std::uint64_t limit);
void ForEachLine(std::string_view text, const LineCallback& line);

}  // namespace kavro::import
