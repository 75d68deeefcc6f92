#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kavro::testing {

// A file or folder below tests/data. A test that needs one that is missing fails and says
// which; it never passes by testing nothing.
inline std::filesystem::path TestData(const std::string& relative) {
    const std::filesystem::path path = std::filesystem::path(KAVRO_TESTDATA_DIR) / relative;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        ADD_FAILURE() << "test data missing: " << path.string()
                      << " (tests/data belongs to the repository: restore it from git)";
    return path;
}

}  // namespace kavro::testing
