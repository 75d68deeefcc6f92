#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "import/FileIdentity.h"

namespace kavro::import {

// The two shapes of the family: "$TAG=names" entries with "$block ... $end" blocks, or the
// XML history file (<history><entry>...).
enum class DatFormat { Dollar, HistoryXml };

// A move-list or information file that cannot be read.
class DatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Something in a file that was skipped or repaired, with its line (from 1; 0: the whole file).
// kind groups problems of one sort in a summary (empty: other problems).
struct DatProblem {
    long line = 0;
    std::string text;
    std::string kind;
};

// One entry: where its bytes are, which items it names and which blocks hold text.
struct DatEntry {
    std::uint64_t offset = 0;         // the first byte of the $TAG line (history.xml: of <entry>)
    std::uint64_t length = 0;         // up to the next $TAG line or the end of the file (</entry>)
    long line = 0;                    // the number of the $TAG line (<entry>)
    std::vector<std::string> names;   // item keys (ItemKey): "sf2", "nes:zelda"
    std::vector<std::string> blocks;  // blocks with text, in file order: "bio", "cmd", ...
    bool Holds(std::string_view block) const;
};

// The key of an item in an index: the name for a machine (list "info" or none), "list:name"
// for an item of a software list.
std::string ItemKey(std::string_view list, std::string_view name);

// Where each item's entry is in a move-list or history file. Holds no text of the file.
class DatIndex {
  public:
    // Reads the file once, as a stream. Throws DatError when it cannot be read.
    static DatIndex Build(const std::string& path);
    // The same for text in memory (tests, fuzzing).
    static DatIndex BuildFromText(std::string_view text, const std::string& name = "text");

    // The cached index when it was made from the file as it is now (see FileIdentity), else a
    // new one, which is
    // then cached: beside the file, or in the user's cache folder when that folder cannot be
    // written; when neither can be, it is just not cached. Throws DatError as Build does.
    static DatIndex Open(const std::string& path);

    DatFormat Format() const { return format_; }
    const std::vector<DatEntry>& Entries() const { return entries_; }
    // The entry that lists the key (ItemKey) first; null when no entry does.
    const DatEntry* Find(std::string_view key) const;
    // The block a document of this name shows: the one block every entry holds when the file
    // holds one kind only, else by the name (history and sysinfo: bio; mameinfo, messinfo,
    // gameinit: mame; story: story; anything else: cmd when the file has pages, else bio).
    std::string BlockFor(std::string_view docname) const;
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
    // Adds the entry, reporting names an earlier entry already lists.
    void Admit(DatEntry entry);
    // history.xml: first holds the bytes already read from the file (null: first is all).
    void BuildXml(std::FILE* file, const std::string& path, std::string_view first);

    DatFormat format_ = DatFormat::Dollar;
    std::vector<std::string> blocks_;  // every block name with text somewhere, in file order
    std::vector<DatEntry> entries_;
    // Where each name's entry is (see AddEntry); the size is a power of two.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = 0;  // index + 1; 0: empty
    };
    void Place(std::uint32_t hash, std::uint32_t entry);
    // Gives the name to the entry (an index) unless an earlier entry has it.
    void Name(std::string_view name, std::uint32_t hash, std::uint32_t entry);
    // The same for every name of every entry, in order.
    void NameAll();
    const DatEntry* FindHashed(std::string_view name, std::uint32_t hash) const;
    static std::uint32_t HashName(std::string_view name);
    std::vector<Slot> slots_;
    std::size_t named_ = 0;
    std::vector<DatProblem> problems_;
    FileIdentity identity_;
};

// The block of the entry a document shows (BlockFor): the block itself, or for mame the
// driver notes (drv) of an entry that has no machine notes; empty when the entry has neither.
std::string ShownBlock(const DatEntry& entry, std::string_view block);

// A "$word" line that opens or ends a block ("$bio", "$mame", "$end"): the word; empty for
// any other line.
std::string_view BlockLine(std::string_view line);
// The blocks the family uses: bio, mame, drv, story, cmd.
bool KnownBlock(std::string_view word);

// The bytes of one entry (its $TAG line, or <entry>, and what follows up to the next one).
// Throws DatError when they cannot be read or are no entry (the file changed since it was
// indexed).
std::string ReadEntry(const std::string& path, const DatEntry& entry);

// Where the index of a file is cached beside it.
std::string IndexCachePath(const std::string& path);

// FNV-1a of the text in 16 hexadecimal digits: a name for a cache file that stays the same from
// one build to the next (unlike std::hash, which may change with the library).
std::string StableHash(std::string_view text);

// Called with every line, the line feed removed (a carriage return before it stays), and the
// offset of its first byte.
using LineCallback = std::function<void(std::string_view line, std::uint64_t offset)>;

// Reads the file in blocks, so memory stays small whatever its size. Returns the number of
// bytes read. Throws DatError on a read error, and when the file is longer than limit.
std::uint64_t ForEachLine(std::FILE* file, const std::string& path, const LineCallback& line,
                          std::uint64_t limit);
void ForEachLine(std::string_view text, const LineCallback& line);

}  // namespace kavro::import
