#include "import/DatIndex.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/AtomicFile.h"
#include "base/Deleter.h"
#include "base/Strings.h"
#include "import/HistoryXml.h"
#include "import/StreamInput.h"

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfo = "$info=";
constexpr std::string_view kCacheHeader = "kavro-dat-index 3";
// The last line: a cache cut short by a full disk is not taken for a whole one.
constexpr std::string_view kCacheEnd = "end\n";
constexpr std::string_view kCacheSuffix = ".kavro-index";
constexpr std::size_t kBlockBytes = 256 * 1024;
// One entry is read whole into memory; a longer one is cut here (no real entry comes near).
constexpr std::uint64_t kMaxEntryBytes = 64ull * 1024 * 1024;

using FilePtr = base::Owned<std::FILE, std::fclose>;

// A carriage return only ever ends a line (CRLF files).
std::string_view Trim(std::string_view s) {
    return base::Trim(s, " \t\r");
}

std::string ErrnoText(const char* what, const std::string& path) {
    const int error = errno;
    return std::string(what) + " \"" + path + "\"" +
           (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
}

}  // namespace

std::string StableHash(std::string_view text) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(StableHash(text.data(), text.size())));
    return hex;
}

namespace {

fs::path UserCacheFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "kavro";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return fs::path(home) / ".cache" / "kavro";
    return {};
}

// A cache file's bytes, read in one piece straight into one buffer: a cache of 30,000
// entries is a megabyte or two, read on every start. (Not mapped: a file cut short by someone
// else while mapped would kill the viewer with SIGBUS.)
class CacheBytes {
  public:
    explicit CacheBytes(const fs::path& path) {
        // Non-blocking: a pipe in the cache's place must not stop the viewer.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            const auto size = static_cast<std::size_t>(info.st_size);
            data_ = std::make_unique_for_overwrite<char[]>(size);
            while (size_ < size) {
                const ssize_t got = ::read(fd, data_.get() + size_, size - size_);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) break;
                size_ += static_cast<std::size_t>(got);
            }
        }
        ::close(fd);
    }
    // What was read; a cache cut short fails as a cache (its last line is missing).
    std::string_view Text() const { return {data_.get(), size_}; }

  private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
};

template <class Number>
bool ParseNumber(std::string_view& rest, Number& value) {
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error != std::errc() || end == rest.data()) return false;
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
    if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    return true;
}

std::string_view NextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// A "$TAG=names" line: the tags (letters, digits, "_"; several separated by commas) and the
// names after "=". Nothing for any other line.
std::optional<std::pair<std::vector<std::string_view>, std::string_view>> TagLine(
    std::string_view line) {
    if (!line.starts_with('$')) return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::vector<std::string_view> tags;
    std::string_view rest = line.substr(1, equals - 1);
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view tag = Trim(rest.substr(0, comma));
        if (tag.empty() || tag.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") !=
                               std::string_view::npos)
            return std::nullopt;
        tags.push_back(tag);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return std::pair{std::move(tags), line.substr(equals + 1)};
}

void AddUnique(std::vector<std::string>& list, std::string_view item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.emplace_back(item);
}

}  // namespace

std::string_view BlockLine(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '$') return {};
    const std::string_view word = line.substr(1);
    if (word.find_first_not_of("abcdefghijklmnopqrstuvwxyz") != std::string_view::npos) return {};
    return word;
}

bool KnownBlock(std::string_view word) {
    return word == "bio" || word == "mame" || word == "drv" || word == "story" || word == "cmd";
}

std::string ItemKey(std::string_view list, std::string_view name) {
    if (list.empty() || list == "info") return std::string(name);
    return std::string(list) + ":" + std::string(name);
}

bool DatEntry::Holds(std::string_view block) const {
    return std::find(blocks.begin(), blocks.end(), block) != blocks.end();
}

std::string ShownBlock(const DatEntry& entry, std::string_view block) {
    if (entry.Holds(block)) return std::string(block);
    if (block == "mame" && entry.Holds("drv")) return "drv";
    return {};
}

// Feeds on the lines of a "$" file and collects the entries and the blocks that hold text.
class DatIndex::Builder {
  public:
    explicit Builder(DatIndex& index) : index_(index) {}

    void Line(std::string_view line, std::uint64_t offset) {
        ++line_number_;
        if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
            offset += 3;
        }
        if (auto tag = TagLine(line)) {
            Close(offset);
            open_ = true;
            current_ = DatEntry{};
            current_.offset = offset;
            current_.line = line_number_;
            std::string_view names = tag->second;
            std::vector<std::string_view> plain;
            while (!names.empty()) {
                const std::size_t comma = names.find(',');
                const std::string_view name = Trim(names.substr(0, comma));
                if (!name.empty()) plain.push_back(name);
                names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
            }
            for (std::string_view list : tag->first)
                for (std::string_view name : plain)
                    current_.names.push_back(ItemKey(list, name));
            if (current_.names.empty())
                index_.problems_.push_back(
                    {line_number_, "$" + std::string(tag->first.front()) + " lists no item names",
                     "entries that list no item names"});
            return;
        }
        if (!open_ || line.starts_with('#')) return;
        const std::string_view word = BlockLine(line);
        if (word == "end") {
            EndBlock();
            return;
        }
        // Outside a block any "$word" opens one; inside, only a known block name does (the
        // block before it lacks its $end), so a text line such as "$100" stays text.
        if (!word.empty() && (block_.empty() || KnownBlock(word))) {
            EndBlock();
            block_ = word;
            return;
        }
        if (Trim(line).empty()) return;
        // Older history files put the text right after the $info line, without $bio.
        if (block_.empty() && !seen_block_) block_ = "bio";
        if (!block_.empty()) has_text_ = true;
    }

    void Finish(std::uint64_t size) {
        Close(size);
        index_.identity_.size = size;
    }

  private:
    void EndBlock() {
        if (!block_.empty() && has_text_) {
            AddUnique(current_.blocks, block_);
            AddUnique(index_.blocks_, block_);
        }
        if (!block_.empty()) seen_block_ = true;
        block_.clear();
        has_text_ = false;
    }

    void Close(std::uint64_t end) {
        if (!open_) return;
        EndBlock();
        seen_block_ = false;
        current_.length = end - current_.offset;
        index_.Admit(std::move(current_));
        open_ = false;
    }

    DatIndex& index_;
    DatEntry current_;
    bool open_ = false;
    std::string block_;  // the block open, empty outside one
    bool has_text_ = false;
    bool seen_block_ = false;
    long line_number_ = 0;
};

std::uint64_t ForEachLine(std::FILE* file, const std::string& path, const LineCallback& line,
                          std::uint64_t limit) {
    std::string block(kBlockBytes, '\0');
    std::string carry;         // the start of a line that continues in the next block
    std::uint64_t offset = 0;  // of the first byte of block (or of carry, when not empty)
    std::uint64_t total = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got < block.size() && std::ferror(file)) throw DatError(ErrnoText("cannot read", path));
        total += got;
        if (total > limit)
            throw DatError("\"" + path + "\" is larger than " + DescribeLimit(limit) +
                           ", more than any move-list or history file; not read");
        std::string_view rest(block.data(), got);
        while (!rest.empty()) {
            const std::size_t feed = rest.find('\n');
            if (feed == std::string_view::npos) {
                carry.append(rest);
                break;
            }
            if (carry.empty()) {
                line(rest.substr(0, feed), offset);
            } else {
                carry.append(rest.substr(0, feed));
                line(carry, offset);
                carry.clear();
            }
            offset =
                total - got + (static_cast<std::uint64_t>(rest.data() - block.data()) + feed + 1);
            rest.remove_prefix(feed + 1);
        }
        if (got == 0) break;
    }
    if (!carry.empty()) line(carry, offset);
    return total;
}

void ForEachLine(std::string_view text, const LineCallback& line) {
    std::uint64_t offset = 0;
    while (offset < text.size()) {
        const std::size_t feed = text.find('\n', offset);
        const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        line(text.substr(offset, end - offset), offset);
        offset = end + 1;
    }
}

// The name table is open addressing over the entries' own names, written by hand because a
// cached index of 30,000 entries must open in a few milliseconds: a map of strings copies every
// name into a node of its own, which takes most of that time.
void DatIndex::Place(std::uint32_t hash, std::uint32_t entry) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask)
        if (slots_[at].entry == 0) {
            slots_[at] = {hash, entry + 1};
            return;
        }
}

void DatIndex::AddEntry(DatEntry entry) {
    const auto at = static_cast<std::uint32_t>(entries_.size());
    entries_.push_back(std::move(entry));
    for (const std::string& name : entries_.back().names)
        Name(name, HashName(name), at);
}

void DatIndex::Name(std::string_view name, std::uint32_t hash, std::uint32_t at) {
    if (FindHashed(name, hash)) return;  // the first entry that lists a name wins
    if ((named_ + 1) * 2 > slots_.size()) {
        // Grown to twice the size, the names placed again in the same order.
        std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.entry != 0) Place(slot.hash, slot.entry - 1);
    }
    Place(hash, at);
    ++named_;
}

void DatIndex::NameAll() {
    // The table is larger than the processor's caches, and waiting for one slot after the
    // other was most of the time of reading a cached index: the slot of a name some names
    // ahead is asked for early.
    struct Named {
        std::uint32_t hash, entry;
        const std::string* name;
    };
    std::vector<Named> names;
    names.reserve(entries_.size() * 2);
    for (std::size_t e = 0; e < entries_.size(); ++e)
        for (const std::string& name : entries_[e].names)
            names.push_back({HashName(name), static_cast<std::uint32_t>(e), &name});
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i + kAhead < names.size() && !slots_.empty())
            __builtin_prefetch(&slots_[names[i + kAhead].hash & (slots_.size() - 1)]);
        Name(*names[i].name, names[i].hash, names[i].entry);
    }
}

std::uint32_t DatIndex::HashName(std::string_view name) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
}

void DatIndex::Admit(DatEntry entry) {
    for (const std::string& name : entry.names)
        if (const DatEntry* first = Find(name))
            problems_.push_back({entry.line,
                                 "\"" + name + "\" is listed again (first at line " +
                                     std::to_string(first->line) + ")",
                                 "names listed again (the first entry is used)"});
    for (const std::string& block : entry.blocks)
        AddUnique(blocks_, block);
    AddEntry(std::move(entry));
}

const DatEntry* DatIndex::Find(std::string_view name) const {
    return FindHashed(name, HashName(name));
}

const DatEntry* DatIndex::FindHashed(std::string_view name, std::uint32_t hash) const {
    if (slots_.empty()) return nullptr;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask; slots_[at].entry != 0; at = (at + 1) & mask) {
        if (slots_[at].hash != hash) continue;
        const DatEntry& entry = entries_[slots_[at].entry - 1];
        if (std::find(entry.names.begin(), entry.names.end(), name) != entry.names.end())
            return &entry;
    }
    return nullptr;
}

std::string DatIndex::BlockFor(std::string_view docname) const {
    if (blocks_.size() == 1) return blocks_.front();
    if (docname == "history" || docname == "sysinfo") return "bio";
    if (docname == "mameinfo" || docname == "messinfo" || docname == "gameinit") return "mame";
    if (docname == "story") return "story";
    if (docname == "command") return "cmd";
    return std::find(blocks_.begin(), blocks_.end(), "cmd") != blocks_.end() ? "cmd" : "bio";
}

void DatIndex::BuildXml(std::FILE* file, const std::string& path, std::string_view first) {
    format_ = DatFormat::HistoryXml;
    HistoryXmlIndexer indexer(path);
    std::string block(kBlockBytes, '\0');
    std::uint64_t total = first.size();
    indexer.Feed(first, false);
    for (;;) {
        errno = 0;
        const std::size_t got = file ? std::fread(block.data(), 1, block.size(), file) : 0;
        if (got < block.size() && file && std::ferror(file))
            throw DatError(ErrnoText("cannot read", path));
        total += got;
        if (total > kMaxDatBytes)
            throw DatError("\"" + path + "\" is larger than " + DescribeLimit(kMaxDatBytes) +
                           ": not read");
        indexer.Feed(std::string_view(block.data(), got), got == 0);
        if (got == 0) break;
    }
    for (DatEntry& entry : indexer.TakeEntries())
        Admit(std::move(entry));
}

DatIndex DatIndex::Build(const std::string& path) {
    // Taken before reading: a file that changes while it is read is indexed again next time.
    errno = 0;
    const std::optional<FileIdentity> identity = IdentifyFile(path);
    if (!identity) throw DatError(ErrnoText("cannot open", path));
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw DatError(ErrnoText("cannot open", path));
    DatIndex index;
    std::string start(64, '\0');
    start.resize(std::fread(start.data(), 1, start.size(), file.get()));
    if (LooksLikeXml(start)) {
        index.BuildXml(file.get(), path, start);
    } else {
        std::rewind(file.get());
        Builder builder(index);
        const std::uint64_t size = ForEachLine(
            file.get(), path,
            [&](std::string_view line, std::uint64_t offset) { builder.Line(line, offset); },
            kMaxDatBytes);
        builder.Finish(size);
    }
    index.identity_ = *identity;
    return index;
}

DatIndex DatIndex::BuildFromText(std::string_view text, const std::string& name) {
    DatIndex index;
    // Text has no file: its identity is its size alone, which bounds the entries read back.
    index.identity_.size = text.size();
    if (LooksLikeXml(text.substr(0, 64))) {
        index.BuildXml(nullptr, name, text);
        return index;
    }
    Builder builder(index);
    ForEachLine(text,
                [&](std::string_view line, std::uint64_t offset) { builder.Line(line, offset); });
    builder.Finish(text.size());
    return index;
}

namespace {

// Names in the cache are separated by commas and end with the line; history.xml may give a
// name any character, so a comma, a line end and the escape itself are written as %XX.
bool Escaped(char c) {
    return c == '%' || c == ',' || c == '\n' || c == '\r';
}

std::string JoinNames(const std::vector<std::string>& names) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ',';
        for (const char c : names[i]) {
            if (!Escaped(c)) {
                text += c;
                continue;
            }
            const auto byte = static_cast<unsigned char>(c);
            text += {'%', kHex[byte >> 4], kHex[byte & 15]};
        }
    }
    return text;
}

// The name as written by JoinNames; a "%" not followed by two hexadecimal digits stays.
std::string UnescapedName(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned byte = 0;
        if (text[i] == '%' && i + 2 < text.size() &&
            std::from_chars(text.data() + i + 1, text.data() + i + 3, byte, 16).ptr ==
                text.data() + i + 3) {
            name += static_cast<char>(byte);
            i += 2;
        } else {
            name += text[i];
        }
    }
    return name;
}

std::vector<std::string> SplitNames(std::string_view text) {
    std::vector<std::string> names;
    std::size_t commas = 0;
    bool escaped = false;
    for (const char c : text) {
        commas += c == ',';
        escaped |= c == '%';
    }
    names.reserve(commas + 1);
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        if (escaped)
            names.push_back(UnescapedName(name));
        else
            names.emplace_back(name);
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    return names;
}

}  // namespace

// One line an entry: offset, length, line, its blocks ("-" for none), its names.
std::string DatIndex::Serialize() const {
    std::string text(kCacheHeader);
    text += '\n' + std::to_string(identity_.size) + ' ' + std::to_string(identity_.modified_ns) +
            ' ' + std::to_string(identity_.changed_ns) + ' ' + std::to_string(identity_.inode) +
            ' ' + std::to_string(identity_.checksum) + ' ' +
            (format_ == DatFormat::HistoryXml ? 'x' : 'd') + ' ' + std::to_string(entries_.size()) +
            '\n';
    for (const DatEntry& entry : entries_) {
        text += std::to_string(entry.offset) + ' ' + std::to_string(entry.length) + ' ' +
                std::to_string(entry.line) + ' ' +
                (entry.blocks.empty() ? std::string("-") : JoinNames(entry.blocks)) + ' ' +
                JoinNames(entry.names) + '\n';
    }
    return text + std::string(kCacheEnd);
}

std::optional<DatIndex> DatIndex::Deserialize(std::string_view text, const FileIdentity& file) {
    if (NextLine(text) != kCacheHeader) return std::nullopt;
    std::string_view head = NextLine(text);
    DatIndex index;
    std::size_t count = 0;
    FileIdentity& id = index.identity_;
    if (!ParseNumber(head, id.size) || !ParseNumber(head, id.modified_ns) ||
        !ParseNumber(head, id.changed_ns) || !ParseNumber(head, id.inode) ||
        !ParseNumber(head, id.checksum) || head.size() < 2 || (head[0] != 'd' && head[0] != 'x'))
        return std::nullopt;
    index.format_ = head[0] == 'x' ? DatFormat::HistoryXml : DatFormat::Dollar;
    head.remove_prefix(2);
    if (!ParseNumber(head, count) || !head.empty()) return std::nullopt;
    // Every part must match: a file can keep its size and its modification time and still
    // hold something else.
    if (!(id == file)) return std::nullopt;
    const std::uint64_t file_size = file.size;
    // Every entry takes at least its "$info=" line, which bounds a believable count.
    if (count > file_size / kInfo.size() + 1) return std::nullopt;
    index.entries_.reserve(count);
    std::size_t slots = 64;
    while (slots < count * 4)
        slots *= 2;
    index.slots_.resize(slots);
    std::uint64_t previous_end = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view line = NextLine(text);
        DatEntry entry;
        if (!ParseNumber(line, entry.offset) || !ParseNumber(line, entry.length) ||
            !ParseNumber(line, entry.line))
            return std::nullopt;
        if (entry.offset < previous_end || entry.length > file_size ||
            entry.offset > file_size - entry.length)
            return std::nullopt;
        previous_end = entry.offset + entry.length;
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) return std::nullopt;
        if (line.substr(0, blank) != "-") entry.blocks = SplitNames(line.substr(0, blank));
        entry.names = SplitNames(line.substr(blank + 1));
        for (const std::string& block : entry.blocks)
            AddUnique(index.blocks_, block);
        index.entries_.push_back(std::move(entry));
    }
    if (text != kCacheEnd) return std::nullopt;
    index.NameAll();
    return index;
}

std::string IndexCachePath(const std::string& path) {
    return path + std::string(kCacheSuffix);
}

DatIndex DatIndex::Open(const std::string& path) {
    std::error_code ec;
    const fs::path file(path);
    errno = 0;
    const std::optional<FileIdentity> identity = IdentifyFile(path);
    if (!identity) throw DatError(ErrnoText("cannot open", path));

    std::vector<fs::path> caches{IndexCachePath(path)};
    if (const fs::path folder = UserCacheFolder(); !folder.empty())
        caches.push_back(folder /
                         (StableHash(fs::absolute(file, ec).string()) + std::string(kCacheSuffix)));
    for (const fs::path& cache : caches)
        if (auto index = Deserialize(CacheBytes(cache).Text(), *identity)) return std::move(*index);

    DatIndex index = Build(path);
    const std::string text = index.Serialize();
    if (!base::ReplaceFile(caches[0].string(), text, nullptr) && caches.size() > 1) {
        fs::create_directories(caches[1].parent_path(), ec);
        base::ReplaceFile(caches[1].string(), text, nullptr);
    }
    return index;
}

std::string ReadEntry(const std::string& path, const DatEntry& entry) {
    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw DatError(ErrnoText("cannot open", path));
    const std::uint64_t length = std::min(entry.length, kMaxEntryBytes);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (fseeko(file.get(), static_cast<off_t>(entry.offset), SEEK_SET) != 0)
        throw DatError(ErrnoText("cannot read", path));
    const std::size_t got = std::fread(text.data(), 1, text.size(), file.get());
    if (got < text.size() && std::ferror(file.get()))
        throw DatError(ErrnoText("cannot read", path));
    if (got < text.size() && !std::ferror(file.get()))
        throw DatError("\"" + path + "\" changed since it was indexed (it is shorter)");
    text.resize(got);
    // The range must still hold the entry it held: a changed file is no index's business.
    std::string_view start(text);
    if (entry.offset == 0 && start.starts_with("\xEF\xBB\xBF")) start.remove_prefix(3);
    if (!start.starts_with('$') && !start.starts_with('<'))
        throw DatError("\"" + path + "\" changed since it was indexed (line " +
                       std::to_string(entry.line) + " is no longer an entry)");
    return text;
}

}  // namespace kavro::import
