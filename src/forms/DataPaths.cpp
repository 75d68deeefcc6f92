#include "forms/DataPaths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kavro::toolkit {

namespace {

namespace fs = std::filesystem;

#ifndef KAVRO_METADATA_FROM_BIN
#define KAVRO_METADATA_FROM_BIN "../share/kavro/metadata"
#endif

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// A base folder of the XDG scheme: the variable when it holds an absolute path (relative ones
// are to be ignored), else $HOME joined with the fallback; empty without either.
fs::path XdgBase(const EnvironmentLookup& environment, const char* variable,
                 const char* home_fallback) {
    if (const char* value = environment(variable); value && *value == '/') return value;
    if (const char* home = environment("HOME"); home && *home)
        return fs::path(home) / home_fallback;
    return {};
}

}  // namespace

DataPaths FindDataPaths(const std::string& app_path, const EnvironmentLookup& environment) {
    DataPaths paths;
    const fs::path app(app_path);

    const fs::path data_home = XdgBase(environment, "XDG_DATA_HOME", ".local/share");
    if (!data_home.empty()) paths.user_metadata_root = (data_home / "kavro" / "metadata").string();
    if (!data_home.empty() && IsFolder(data_home / "kavro" / "metadata"))
        paths.metadata_roots.push_back((data_home / "kavro" / "metadata").string());
    // A portable folder has metadata/ beside the program; an installation below a prefix has
    // it in share/kavro (as the build's install layout places it relative to bin/). Without
    // either, the portable place is named in messages.
    const fs::path installed = (app / KAVRO_METADATA_FROM_BIN).lexically_normal();
    paths.metadata_roots.push_back(!IsFolder(app / "metadata") && IsFolder(installed)
                                       ? installed.string()
                                       : (app / "metadata").string());

    const fs::path beside = app / "kavro.ini";
    const fs::path config_home = XdgBase(environment, "XDG_CONFIG_HOME", ".config");
    std::error_code ec;
    const bool beside_usable =
        fs::is_regular_file(beside, ec) && ::access(beside.c_str(), R_OK | W_OK) == 0;
    paths.settings_file = beside_usable || config_home.empty()
                              ? beside.string()
                              : (config_home / "kavro" / "kavro.ini").string();
    return paths;
}

DataPaths FindDataPaths(const std::string& app_path) {
    return FindDataPaths(app_path, [](const char* name) { return std::getenv(name); });
}

std::string FindInRoots(const std::vector<std::string>& roots,
                        std::initializer_list<std::string_view> relatives,
                        const std::function<std::string(const std::string&)>& find) {
    for (const std::string_view relative : relatives)
        for (const std::string& root : roots) {
            std::string path = root + "/";
            path += relative;
            if (std::string found = find(path); !found.empty()) return found;
        }
    return std::string();
}

}  // namespace kavro::toolkit
