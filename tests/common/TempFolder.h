#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace kavro::testing {

namespace fs = std::filesystem;

// Writes a whole file, making its parent folders; void because it asserts.
inline void WriteFile(const fs::path& path, const std::string& data) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    out << data;
    ASSERT_TRUE(out.good()) << path.string();
}

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

// A fresh folder per test, removed afterwards even when a test took its rights away.
class TempFolder {
  public:
    // Named prefix plus six random characters, below the test's temporary folder.
    explicit TempFolder(const std::string& prefix = "kavro_test_") {
        std::string pattern = (fs::path(::testing::TempDir()) / (prefix + "XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder as text and as a path.
    std::string path() const { return path_.string(); }
    const fs::path& Path() const { return path_; }
    // A path below the folder, as a path and as text; its kavro.ini.
    fs::path operator/(const std::string& relative) const { return path_ / relative; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Ini() const { return File("kavro.ini"); }
    // Writes relative (making its folders) and returns its full path.
    std::string Write(const std::string& relative, const std::string& data) const {
        WriteFile(File(relative), data);
        return File(relative);
    }
    // The names directly in the folder, in no particular order.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }

  private:
    fs::path path_;
};

}  // namespace kavro::testing
