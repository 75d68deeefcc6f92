#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "SamplePdf.h"
#include "common/TempFolder.h"
#include "common/ToolkitTestSupport.h"

namespace kavro::testing {

using toolkit::testing::WritePng;

// A ZIP archive (a .cbz) holding these members, written with libarchive.
inline void WriteZip(const std::filesystem::path& path,
                     const std::vector<std::pair<std::string, std::string>>& members) {
    std::filesystem::create_directories(path.parent_path());
    archive* a = archive_write_new();
    ASSERT_NE(a, nullptr);
    archive_write_set_format_zip(a);
    ASSERT_EQ(archive_write_open_filename(a, path.string().c_str()), ARCHIVE_OK);
    for (const auto& [name, bytes] : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_write_header(a, entry);
        archive_write_data(a, bytes.data(), bytes.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}

}  // namespace kavro::testing
