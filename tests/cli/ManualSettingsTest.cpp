#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/ManualSettings.h"
#include "cli/SettingsError.h"
#include "common/TempFolder.h"

namespace kavro::app {
namespace {

using testing::TempFolder;
using testing::WriteFile;
using Names = std::vector<std::string>;

TEST(ManualSettingsTest, ListsLeaveOutEmptyItemsAndCacheLimitIsAtMostOneGibibyteOfMegabytes) {
    const struct {
        const char* section;
        Names names, patterns;
        std::uintmax_t cache_mb;  // 0: refused
    } cases[] = {
        {"", {"manual"}, {}, 0},
        {"Names= manual ; ;guide;\r\nPaths=;~/a/%rom%.pdf; \r\n",
         {"manual", "guide"},
         {"~/a/%rom%.pdf"},
         0},
        {"Names=;\r\nCacheMB=1073741824\r\n", {}, {}, 1073741824},
        {"CacheMB=1073741825\r\n", {}, {}, 0},
        {"CacheMB=12x\r\n", {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        TempFolder folder;
        WriteFile(folder.Ini(), std::string("[Manuals]\r\n") + c.section);
        const std::string text = c.section;
        if (text.find("CacheMB") != std::string::npos && c.cache_mb == 0) {
            EXPECT_THROW(ReadManualSettings(folder.Ini()), SettingsError);
            continue;
        }
        const ManualSettings read = ReadManualSettings(folder.Ini());
        EXPECT_EQ(read.names, c.names);
        EXPECT_EQ(read.patterns, c.patterns);
        if (c.cache_mb) {
            EXPECT_EQ(read.cache_limit_bytes, c.cache_mb << 20);
        }
    }
}

}  // namespace
}  // namespace kavro::app
