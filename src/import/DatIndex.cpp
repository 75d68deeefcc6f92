#include "import/DatIndex.h"

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

namespace kavro::import {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInfo = "$info=";
constexpr std::string_view kCacheHeader = "kavro-dat-index 1";
// The last line: a cache cut short by a full disk is not taken for a whole one.
constexpr std::string_view kCacheEnd = "end\n";
constexpr std::string_view kCacheSuffix = ".kavro-index";
constexpr std::size_t kBlockBytes = 256 * 1024;
// One entry is read whole into memory; a longer one is cut here (no real entry comes near).
constexpr std::uint64_t kMaxEntryBytes = 64ull * 1024 * 1024;

struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string ErrnoText(const char* what, const std::string& path) {
    const int error = errno;
    return std::string(what) + " \"" + path + "\"" +
           (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
}

std::int64_t FileTimeOf(const fs::path& path, std::error_code& ec) {
    return static_cast<std::int64_t>(fs::last_write_time(path, ec).time_since_epoch().count());
}

// FNV-1a: a file name for the cache that stays the same from one build to the next (unlike
// std::hash, which may change with the library).
std::string StableHash(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

fs::path UserCacheFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "kavro";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return fs::path(home) / ".cache" / "kavro";
    return {};
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
}

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

}  // namespace

// Feeds on lines and collects the entries.
class DatIndex::Builder {
  public:
    explicit Builder(DatIndex& index) : index_(index) {}

    void Line(std::string_view line, std::uint64_t offset) {
        ++line_number_;
        if (line_number_ == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (line.starts_with(kInfo)) {
            Close(offset);
            open_ = true;
            current_ = DatEntry{};
            current_.offset = offset;
            current_.line = line_number_;
            std::string_view names = line.substr(kInfo.size());
            while (!names.empty()) {
                const std::size_t comma = names.find(',');
                const std::string_view name = Trim(names.substr(0, comma));
                if (!name.empty()) current_.names.emplace_back(name);
                names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
            }
            if (current_.names.empty())
                index_.problems_.push_back({line_number_, "$info lists no item names"});
        } else if (line.starts_with("$cmd") && Trim(line) == "$cmd") {
            index_.kind_ = DatKind::MoveList;
        }
    }

    void Finish(std::uint64_t size) {
        Close(size);
        index_.file_size_ = size;
    }

  private:
    void Close(std::uint64_t end) {
        if (!open_) return;
        current_.length = end - current_.offset;
        for (const std::string& name : current_.names)
            if (const DatEntry* first = index_.Find(name))
                index_.problems_.push_back(
                    {current_.line, "\"" + name + "\" is listed again (first at line " +
                                        std::to_string(first->line) +
                                        "); the first entry is used"});
        index_.AddEntry(std::move(current_));
        open_ = false;
    }

    DatIndex& index_;
    DatEntry current_;
    bool open_ = false;
    long line_number_ = 0;
};

std::uint64_t ForEachLine(std::FILE* file, const std::string& path, const LineCallback& line) {
    std::string block(kBlockBytes, '\0');
    std::string carry;         // the start of a line that continues in the next block
    std::uint64_t offset = 0;  // of the first byte of block (or of carry, when not empty)
    std::uint64_t total = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (got < block.size() && std::ferror(file)) throw DatError(ErrnoText("cannot read", path));
        total += got;
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

void DatIndex::AddEntry(DatEntry entry) {
    const std::size_t at = entries_.size();
    for (const std::string& name : entry.names)
        by_name_.try_emplace(name, at);
    entries_.push_back(std::move(entry));
}

const DatEntry* DatIndex::Find(std::string_view name) const {
    const auto it = by_name_.find(std::string(name));
    return it == by_name_.end() ? nullptr : &entries_[it->second];
}

DatIndex DatIndex::Build(const std::string& path) {
    std::error_code ec;
    const std::int64_t time = FileTimeOf(path, ec);
    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) throw DatError(ErrnoText("cannot open", path));
    DatIndex index;
    Builder builder(index);
    const std::uint64_t size = ForEachLine(
        file.get(), path,
        [&](std::string_view line, std::uint64_t offset) { builder.Line(line, offset); });
    builder.Finish(size);
    index.file_time_ = time;
    return index;
}

DatIndex DatIndex::BuildFromText(std::string_view text) {
    DatIndex index;
    Builder builder(index);
    ForEachLine(text,
                [&](std::string_view line, std::uint64_t offset) { builder.Line(line, offset); });
    builder.Finish(text.size());
    return index;
}

std::string DatIndex::Serialize() const {
    std::string text(kCacheHeader);
    text += '\n' + std::to_string(file_size_) + ' ' + std::to_string(file_time_) + ' ' +
            (kind_ == DatKind::MoveList ? 'm' : 'h') + ' ' + std::to_string(entries_.size()) + '\n';
    for (const DatEntry& entry : entries_) {
        text += std::to_string(entry.offset) + ' ' + std::to_string(entry.length) + ' ' +
                std::to_string(entry.line) + ' ';
        for (std::size_t i = 0; i < entry.names.size(); ++i) {
            if (i > 0) text += ',';
            text += entry.names[i];
        }
        text += '\n';
    }
    return text + std::string(kCacheEnd);
}

std::optional<DatIndex> DatIndex::Deserialize(std::string_view text, std::uint64_t file_size,
                                              std::int64_t file_time) {
    if (NextLine(text) != kCacheHeader) return std::nullopt;
    std::string_view head = NextLine(text);
    DatIndex index;
    std::size_t count = 0;
    if (!ParseNumber(head, index.file_size_) || !ParseNumber(head, index.file_time_) ||
        head.size() < 2 || (head[0] != 'm' && head[0] != 'h'))
        return std::nullopt;
    index.kind_ = head[0] == 'm' ? DatKind::MoveList : DatKind::History;
    head.remove_prefix(2);
    if (!ParseNumber(head, count) || !head.empty()) return std::nullopt;
    if (index.file_size_ != file_size || index.file_time_ != file_time) return std::nullopt;
    // Every entry takes at least its "$info=" line, which bounds a believable count.
    if (count > file_size / kInfo.size() + 1) return std::nullopt;
    index.entries_.reserve(count);
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
        while (!line.empty()) {
            const std::size_t comma = line.find(',');
            entry.names.emplace_back(line.substr(0, comma));
            line.remove_prefix(comma == std::string_view::npos ? line.size() : comma + 1);
        }
        index.AddEntry(std::move(entry));
    }
    if (text != kCacheEnd) return std::nullopt;
    return index;
}

std::string IndexCachePath(const std::string& path) {
    return path + std::string(kCacheSuffix);
}

DatIndex DatIndex::Open(const std::string& path) {
    std::error_code ec;
    const fs::path file(path);
    const std::uint64_t size = fs::file_size(file, ec);
    const std::int64_t time = ec ? 0 : FileTimeOf(file, ec);
    if (ec) {
        errno = ec.value();
        throw DatError(ErrnoText("cannot open", path));
    }

    std::vector<fs::path> caches{IndexCachePath(path)};
    if (const fs::path folder = UserCacheFolder(); !folder.empty())
        caches.push_back(folder /
                         (StableHash(fs::absolute(file, ec).string()) + std::string(kCacheSuffix)));
    for (const fs::path& cache : caches)
        if (const auto text = ReadSmallFile(cache))
            if (auto index = Deserialize(*text, size, time)) return std::move(*index);

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
    text.resize(got);
    return text;
}

}  // namespace kavro::import
