#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::toolkit {

// Where the program's data lives, found once from the program folder and the environment.
struct DataPaths {
    // Folders holding documents, style files, icons and pictures, in lookup order: the user's
    // own ($XDG_DATA_HOME/kavro/metadata, when it exists), then the installed one (metadata/
    // beside the program, else ../share/kavro/metadata). The last is always the installed one.
    std::vector<std::string> metadata_roots;
    // $XDG_DATA_HOME/kavro/metadata whether or not it exists (empty without $HOME either):
    // where a user's own documents go.
    std::string user_metadata_root;
    // The settings file: kavro.ini beside the program when there is a writable one, else
    // $XDG_CONFIG_HOME/kavro/kavro.ini.
    std::string settings_file;
};

// Reads an environment variable: null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

DataPaths FindDataPaths(const std::string& app_path, const EnvironmentLookup& environment);
// The same, from the process environment.
DataPaths FindDataPaths(const std::string& app_path);

// The first file found, trying each relative path in turn in every root (so the user's copy
// of a file wins over the installed one, and the order of the relative paths holds in both):
// find(root + "/" + relative) gives the path of the file, or empty when there is none there.
// Empty when no root has any of them.
std::string FindInRoots(const std::vector<std::string>& roots,
                        std::initializer_list<std::string_view> relatives,
                        const std::function<std::string(const std::string&)>& find);

}  // namespace kavro::toolkit
