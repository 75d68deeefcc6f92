#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kavro::app {

// Profile (INI) files read and written the way the Windows profile functions do it, so that a
// settings file edited on Windows and one written here behave alike.
//
// Written by hand because no library shipped with Debian rewrites one value while keeping every
// other byte of the file (comments, blank lines, line endings, unknown sections) as it was.
//
// The format: "[Section]" header lines, then "Key=Value" lines. Section and key names match
// ignoring ASCII letter case and the blanks (spaces, tabs) around them; a line without "=" is
// no key; lines before the first header belong to no section. Only the first section of a name
// is searched, and in it the first key of a name. Lines end in LF or CRLF.
class IniFile {
  public:
    // The reader looks at no more than this much of a file; the rest is ignored.
    static constexpr std::size_t kMaxReadBytes = std::size_t{1} << 20;
    // The writer must keep the whole file, so it refuses files larger than this.
    static constexpr std::size_t kMaxWriteBytes = std::size_t{64} << 20;

    // The value of key in section: the text after the first "=", without the blanks around it
    // and without one pair of enclosing double or single quotes. nullopt when the file cannot
    // be read (missing, a folder, not a regular file, no permission) or the section or key is
    // missing.
    static std::optional<std::string> GetProfileString(const std::string& path,
                                                       std::string_view section,
                                                       std::string_view key);

    // Sets key in section to value, creating the file, the section or the key as needed and
    // keeping every other byte. The file is replaced atomically (a temporary file in the same
    // folder, then a rename), with its permission bits; a symbolic link is followed and its
    // target is written. New lines use the file's line ending: CRLF when its first line ends in
    // CRLF, LF when it ends in LF, and CRLF for a new file or one without any line break, as
    // files written on Windows have it. On failure returns false with a message in *error (when
    // error is not null) and leaves the file as it was; a file that exists but cannot be read
    // is never replaced.
    static bool WriteProfileString(const std::string& path, std::string_view section,
                                   std::string_view key, std::string_view value,
                                   std::string* error);
};

}  // namespace kavro::app
