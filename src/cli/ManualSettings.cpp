#include "cli/ManualSettings.h"

#include <exception>
#include <string>
#include <string_view>

#include "base/Strings.h"
#include "cli/IniFile.h"
#include "cli/SettingsError.h"
#include "manuals/PageCache.h"

namespace kavro::app {

namespace {

constexpr const char* kSection = "Manuals";

// The non-empty items of a ";" list, without the blanks around them.
std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> parts;
    for (const std::string_view part : base::Split(text, ';'))
        if (const std::string_view item = base::Trim(part, " \t"); !item.empty())
            parts.emplace_back(item);
    return parts;
}

}  // namespace

ManualSettings ReadManualSettings(const std::string& settings_file) {
    ManualSettings settings;
    settings.cache_limit_bytes = manuals::PageCache::kDefaultLimitBytes;
    if (auto names = IniFile::GetProfileString(settings_file, kSection, "Names"))
        settings.names = SplitList(*names);
    if (auto paths = IniFile::GetProfileString(settings_file, kSection, "Paths"))
        settings.patterns = SplitList(*paths);
    if (auto mb = IniFile::GetProfileString(settings_file, kSection, "CacheMB")) {
        std::size_t used = 0;
        unsigned long long value = 0;
        try {
            value = std::stoull(*mb, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != mb->size() || value > (1ull << 30))
            throw SettingsError("Settings file \"" + settings_file + "\": [Manuals] CacheMB = \"" +
                                *mb + "\" is not a whole number of megabytes");
        settings.cache_limit_bytes = static_cast<std::uintmax_t>(value) << 20;
    }
    return settings;
}

}  // namespace kavro::app
