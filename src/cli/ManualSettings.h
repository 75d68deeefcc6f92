#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavro::app {

// The [Manuals] section of the settings file.
struct ManualSettings {
    // Document names that are manuals (Names=manual;guide), compared ignoring ASCII case.
    std::vector<std::string> names{"manual"};
    // Search patterns tried in order after the item's folder (Paths=~/media/%system%/...).
    std::vector<std::string> patterns;
    // The page cache's limit (CacheMB=).
    std::uintmax_t cache_limit_bytes;
};

// Reads [Manuals]; throws SettingsError for a CacheMB that is not a whole number of MB.
ManualSettings ReadManualSettings(const std::string& settings_file);

}  // namespace kavro::app
