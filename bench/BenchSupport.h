// What the benchmarks share: a scratch program folder and a headless viewer started in it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/Startup.h"
#include "app/Viewer.h"
#include "app/WindowGeometry.h"
#include "document/ConvertedDocument.h"
#include "document/DocumentConverter.h"
#include "forms/Services.h"

namespace kavro::bench {

namespace fs = std::filesystem;

// A program folder with generated documents in metadata/mk and the bundled default icons and
// pictures; removed at exit.
class BenchHome {
  public:
    BenchHome() {
        std::string pattern = (fs::temp_directory_path() / "kavro-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
        fs::create_directories(path_ / "metadata" / "mk");
        fs::create_directory_symlink(fs::path(KAVRO_SOURCE_DIR) / "metadata" / "default",
                                     path_ / "metadata" / "default");
    }
    ~BenchHome() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    BenchHome(const BenchHome&) = delete;
    BenchHome& operator=(const BenchHome&) = delete;
    const fs::path& Path() const { return path_; }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / "metadata" / "mk" / name, std::ios::binary) << text;
    }

  private:
    fs::path path_;
};

// A viewer at 1920x1080 without a window, started as main starts it (settings, geometry),
// before its load.
struct Session {
    std::unique_ptr<toolkit::HeadlessServices> services;
    std::unique_ptr<app::Viewer> viewer;
};

inline Session Start(const fs::path& home, const std::string& command_line) {
    Session s;
    s.services = std::make_unique<toolkit::HeadlessServices>(home.string(), command_line,
                                                             1920 * 15.0f, 1080 * 15.0f);
    std::string error;
    s.viewer =
        std::make_unique<app::Viewer>(*s.services, toolkit::FontEngine::Create("Consolas", &error));
    app::Viewer& v = *s.viewer;
    v.form.Resize = [&v] { app::Form_Resize(v); };
    app::Main(v);
    return s;
}

// The XML parse and conversion of one document file alone; the number of sections.
inline std::size_t ParseOnly(const std::string& path) {
    document::ConvertedDocument doc;
    document::HandlerContext context;
    document::DocumentConverter(doc, context).ParseFile(path);
    return doc.SectionMarkup.size();
}

}  // namespace kavro::bench
