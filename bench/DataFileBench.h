// What the benchmarks of move-list and information files share: a program folder holding one
// generated data file, and a viewer started in a copy of it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/Startup.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"

namespace kavro::bench {

namespace fs = std::filesystem;

// A program folder with metadata/<file> holding text and the bundled default folder; removed
// at exit.
class DataFileHome {
  public:
    DataFileHome(const std::string& file, const std::string& text) {
        std::string pattern = (fs::temp_directory_path() / "kavro-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
        fs::create_directories(path_ / "metadata");
        fs::create_directory_symlink(fs::path(KAVRO_SOURCE_DIR) / "metadata" / "default",
                                     path_ / "metadata" / "default");
        data_ = (path_ / "metadata" / file).string();
        std::ofstream(data_, std::ios::binary) << text;
    }
    ~DataFileHome() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    DataFileHome(const DataFileHome&) = delete;
    DataFileHome& operator=(const DataFileHome&) = delete;
    const fs::path& Path() const { return path_; }
    const std::string& Data() const { return data_; }

    // A second program folder below this one, sharing the default folder.
    fs::path Home(const std::string& name) const {
        const fs::path home = path_ / name;
        fs::create_directories(home / "metadata");
        if (!fs::exists(home / "metadata" / "default"))
            fs::create_directory_symlink(path_ / "metadata" / "default",
                                         home / "metadata" / "default");
        return home;
    }

  private:
    fs::path path_;
    std::string data_;
};

// A whole headless viewer start in home as "kavro <command_line>" and its load; the number of
// sections loaded.
inline int StartAndLoad(const fs::path& home, const std::string& command_line) {
    toolkit::HeadlessServices services(home.string(), command_line, 1920 * 15.0f, 1080 * 15.0f);
    std::string error;
    app::Viewer v(services, toolkit::FontEngine::Create("Consolas", &error));
    v.form.Resize = [&v] { app::Form_Resize(v); };
    app::Main(v);
    app::timLoad_Timer(v);
    return v.doc.SectionCount();
}

}  // namespace kavro::bench
