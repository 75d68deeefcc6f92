#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::manuals {

// What a search pattern's fields are filled with: the item, its parent (a clone's original)
// and its system. An empty parent or system leaves a pattern that names it unused.
struct PatternValues {
    std::string rom;
    std::string parent;
    std::string system;
};

enum class ManualKind { Pdf, Archive, Folder };

struct ManualFile {
    std::string path;
    ManualKind kind = ManualKind::Pdf;
};

// The pattern with %rom%, %parent% and %system% filled in (field names in any case) and a
// leading "~/" taken as home. Nothing when it names a field that has no value, or starts with
// "~/" without a home.
std::optional<std::string> ExpandPattern(std::string_view pattern, const PatternValues& values,
                                         const std::string& home);

// The kind of manual a file is by its extension (.pdf; .cbz, .zip, .cb7, .7z), if any.
std::optional<ManualKind> KindOfFile(std::string_view path);

// Whether a file is a page picture by its extension (PNG, JPEG, GIF, BMP, TIFF, WebP).
bool IsPagePicture(std::string_view name);

// The manual of a document: in each metadata folder, <rom>/<name>.pdf, then .cbz, .zip, .cb7,
// .7z, then a folder <rom>/<name>/ holding page pictures (<system>/<rom>/ first when a system is
// given); the same in the parent's folder; then each pattern in order (a file
// by its extension, or a folder of pictures). Nothing when none exists.
std::optional<ManualFile> FindManual(const std::vector<std::string>& metadata_roots,
                                     const std::string& name, const PatternValues& values,
                                     const std::vector<std::string>& patterns,
                                     const std::string& home);

// The page pictures of a folder, in natural order of their names; hidden files are skipped.
std::vector<std::string> FolderPages(const std::string& folder);

}  // namespace kavro::manuals
