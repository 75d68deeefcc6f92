#include "cli/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "base/Failure.h"
#include "base/FileDescriptor.h"
#include "base/Strings.h"

namespace kavro::app {

using base::Fail;

namespace {

// Blanks around names and values; CR counts so that a stray CR before a line feed or at the
// end of the file never becomes part of a value.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
    return base::Trim(text, " \t\r");
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string ErrnoText(int code) {
    return std::strerror(code);
}

// One line of the file: [begin, text_end) is its text, [text_end, end) its line break.
struct LineSpan {
    std::size_t begin = 0;
    std::size_t text_end = 0;
    std::size_t end = 0;
};

LineSpan LineAt(std::string_view content, std::size_t begin) {
    LineSpan line;
    line.begin = begin;
    const std::size_t feed = content.find('\n', begin);
    if (feed == std::string_view::npos) {
        line.text_end = line.end = content.size();
        return line;
    }
    line.end = feed + 1;
    line.text_end = feed > begin && content[feed - 1] == '\r' ? feed - 1 : feed;
    return line;
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
    LineKind kind = LineKind::kOther;
    std::string_view name;
    // Absolute positions of the value without its surrounding blanks (key lines only).
    std::size_t value_begin = 0;
    std::size_t value_end = 0;
};

ParsedLine ParseLine(std::string_view content, const LineSpan& span) {
    ParsedLine parsed;
    const std::string_view text = content.substr(span.begin, span.text_end - span.begin);
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    if (first < text.size() && text[first] == '[') {
        const std::size_t close = text.find(']', first + 1);
        if (close != std::string_view::npos) {
            parsed.kind = LineKind::kSection;
            parsed.name = TrimBlanks(text.substr(first + 1, close - first - 1));
            return parsed;
        }
        // Without "]" the line is no header; it may still be a key, as on Windows.
    }
    const std::size_t equals = text.find('=', first);
    if (equals == std::string_view::npos) return parsed;
    parsed.kind = LineKind::kKey;
    parsed.name = TrimBlanks(text.substr(first, equals - first));
    std::size_t value_begin = equals + 1;
    std::size_t value_end = text.size();
    while (value_begin < value_end && IsBlank(text[value_begin]))
        ++value_begin;
    while (value_end > value_begin && IsBlank(text[value_end - 1]))
        --value_end;
    parsed.value_begin = span.begin + value_begin;
    parsed.value_end = span.begin + value_end;
    return parsed;
}

// Where key sits in the first section named section.
struct KeyLocation {
    bool section_found = false;
    std::optional<ParsedLine> key;
    // The section's last line that is not blank (its header when it has no such line).
    LineSpan last_line;
};

KeyLocation FindKey(std::string_view content, std::string_view section, std::string_view key) {
    KeyLocation found;
    const std::string_view wanted_section = TrimBlanks(section);
    const std::string_view wanted_key = TrimBlanks(key);
    // Every step moves past at least one byte, so the loop ends after content.size() steps.
    std::size_t pos = 0;
    while (pos < content.size()) {
        const LineSpan span = LineAt(content, pos);
        pos = span.end;
        const ParsedLine parsed = ParseLine(content, span);
        if (parsed.kind == LineKind::kSection) {
            if (found.section_found) break;  // the next section ends ours
            if (base::EqualsIgnoringCase(parsed.name, wanted_section)) {
                found.section_found = true;
                found.last_line = span;
            }
            continue;
        }
        if (!found.section_found) continue;
        if (parsed.kind == LineKind::kKey && base::EqualsIgnoringCase(parsed.name, wanted_key)) {
            found.key = parsed;
            return found;
        }
        if (!TrimBlanks(content.substr(span.begin, span.text_end - span.begin)).empty())
            found.last_line = span;
    }
    return found;
}

enum class ReadStatus { kRead, kMissing, kFailed };

struct FileContent {
    ReadStatus status = ReadStatus::kFailed;
    std::string data;
    struct stat info {};
    std::string error;
};

// Reads at most limit bytes of a regular file. With whole_file, a longer file is a failure
// instead of being cut.
FileContent ReadRegularFile(const std::string& path, std::size_t limit, bool whole_file) {
    FileContent result;
    // O_NONBLOCK so that a named pipe in the file's place cannot make us wait forever.
    base::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        const int code = errno;
        result.status = code == ENOENT ? ReadStatus::kMissing : ReadStatus::kFailed;
        result.error = "Cannot read " + Quoted(path) + ": " + ErrnoText(code);
        return result;
    }
    if (::fstat(fd.get(), &result.info) != 0) {
        result.error = "Cannot read " + Quoted(path) + ": " + ErrnoText(errno);
        return result;
    }
    if (S_ISDIR(result.info.st_mode)) {
        result.error = Quoted(path) + " is a folder, not a file";
        return result;
    }
    if (!S_ISREG(result.info.st_mode)) {
        result.error = Quoted(path) + " is not a regular file";
        return result;
    }
    // One byte more than the limit tells a file that is too long from one that fits exactly.
    const std::size_t wanted = whole_file ? limit + 1 : limit;
    char buffer[65536];
    int interruptions = 0;
    while (result.data.size() < wanted) {
        const std::size_t chunk = std::min(sizeof buffer, wanted - result.data.size());
        const ssize_t got = ::read(fd.get(), buffer, chunk);
        if (got < 0 && errno == EINTR && ++interruptions < 100) continue;
        if (got < 0) {
            result.error = "Cannot read " + Quoted(path) + ": " + ErrnoText(errno);
            return result;
        }
        if (got == 0) break;
        result.data.append(buffer, static_cast<std::size_t>(got));
    }
    if (whole_file && result.data.size() > limit) {
        result.error = "Cannot rewrite " + Quoted(path) + ": the file is larger than " +
                       std::to_string(limit / (1024 * 1024)) + " MiB";
        return result;
    }
    result.status = ReadStatus::kRead;
    return result;
}

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file that path finally names, following symbolic links (also dangling ones: the link's
// target is then created).
std::optional<std::string> ResolveLinks(const std::string& path, std::string* error) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT) return current;
            *error = "Cannot examine " + Quoted(current) + ": " + ErrnoText(errno);
            return std::nullopt;
        }
        if (!S_ISLNK(info.st_mode)) return current;
        std::string target(4096, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
            *error = "Cannot follow the link " + Quoted(current);
            return std::nullopt;
        }
        target.resize(static_cast<std::size_t>(length));
        if (target.empty()) {
            *error = "Cannot follow the link " + Quoted(current);
            return std::nullopt;
        }
        current = target.front() == '/' ? target : ParentFolder(current) + "/" + target;
    }
    *error = "Cannot follow the link " + Quoted(path) + ": too many levels of links";
    return std::nullopt;
}

// Names and values must not be able to change the file's structure.
std::optional<std::string> CheckEntry(std::string_view section, std::string_view key,
                                      std::string_view value) {
    auto has_break = [](std::string_view text) {
        return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    if (has_break(section) || has_break(key) || has_break(value))
        return "names and values cannot contain line breaks or NUL characters";
    if (TrimBlanks(section).empty() || section.find(']') != std::string_view::npos)
        return "the section name is empty or contains \"]\"";
    const std::string_view trimmed_key = TrimBlanks(key);
    if (trimmed_key.empty() || key.find('=') != std::string_view::npos ||
        trimmed_key.front() == '[')
        return "the key name is empty, contains \"=\" or begins with \"[\"";
    return std::nullopt;
}

std::string LineEnding(std::string_view content) {
    const std::size_t feed = content.find('\n');
    if (feed == std::string_view::npos) return "\r\n";
    return feed > 0 && content[feed - 1] == '\r' ? "\r\n" : "\n";
}

std::string EditContent(const std::string& content, std::string_view section, std::string_view key,
                        std::string_view value) {
    const KeyLocation where = FindKey(content, section, key);
    std::string edited = content;
    if (where.key) {
        edited.replace(where.key->value_begin, where.key->value_end - where.key->value_begin,
                       value);
        return edited;
    }
    const std::string eol = LineEnding(content);
    const std::string entry = std::string(key) + "=" + std::string(value);
    if (where.section_found) {
        const LineSpan& last = where.last_line;
        if (last.end == last.text_end) {
            // The last line of a file without a final line break: keep it without one.
            edited.insert(last.end, eol + entry);
        } else {
            edited.insert(last.end, entry + eol);
        }
        return edited;
    }
    if (!edited.empty() && edited.back() != '\n') edited += eol;
    // Appended piece by piece: no temporaries, and GCC 12 at -O3 wrongly reports an overlapping
    // copy (-Wrestrict) for `"[" + std::string(...)`.
    edited.append("[").append(section).append("]").append(eol).append(entry).append(eol);
    return edited;
}

}  // namespace

std::optional<std::string> IniFile::GetProfileString(const std::string& path,
                                                     std::string_view section,
                                                     std::string_view key) {
    const FileContent file = ReadRegularFile(path, kMaxReadBytes, false);
    if (file.status != ReadStatus::kRead) return std::nullopt;
    std::string_view content = file.data;
    // A UTF-8 byte order mark (some editors write one) is not part of the first line.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    const KeyLocation where = FindKey(content, section, key);
    if (!where.key) return std::nullopt;
    std::string_view value =
        content.substr(where.key->value_begin, where.key->value_end - where.key->value_begin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IniFile::WriteProfileString(const std::string& path, std::string_view section,
                                 std::string_view key, std::string_view value, std::string* error) {
    if (const auto bad = CheckEntry(section, key, value))
        return Fail(error, "Cannot write " + Quoted(path) + ": " + *bad);
    std::string message;
    const auto target = ResolveLinks(path, &message);
    if (!target) return Fail(error, message);

    const FileContent old = ReadRegularFile(*target, kMaxWriteBytes, true);
    if (old.status == ReadStatus::kFailed) return Fail(error, old.error);
    const bool exists = old.status == ReadStatus::kRead;
    // The rename would replace a file we may not write to; refuse as writing in place would.
    if (exists && ::access(target->c_str(), W_OK) != 0)
        return Fail(error, "Cannot write " + Quoted(*target) + ": " + ErrnoText(errno));

    // A byte order mark stays where it is; the search starts after it.
    const bool has_mark = old.data.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string body = has_mark ? old.data.substr(3) : old.data;
    const std::string content = (has_mark ? "\xEF\xBB\xBF" : "") +
                                EditContent(body, TrimBlanks(section), TrimBlanks(key), value);
    if (exists && content == old.data) return true;

    return base::ReplaceFile(*target, content, error,
                             {.keep = exists ? &old.info : nullptr, .sync = true});
}

}  // namespace kavro::app
