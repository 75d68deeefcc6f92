#include "forms/Services.h"

#include <filesystem>
#include <iostream>
#include <system_error>

namespace kavro::toolkit {

bool Services::FileExists(const std::string& path) {
    if (path.empty()) return false;
    const std::filesystem::path p(path);
    const std::string name = p.filename().string();
    // A hidden entry does not count as a normal file; nor does a path ending in a separator.
    if (name.empty() || name.front() == '.') return false;
    std::error_code ec;
    const auto status = std::filesystem::status(p, ec);  // follows symbolic links
    return !ec && std::filesystem::is_regular_file(status);
}

HeadlessServices::HeadlessServices(std::string app_path, std::vector<std::string> arguments,
                                   float screen_width_twips, float screen_height_twips)
    : app_path_(std::move(app_path)),
      data_paths_(FindDataPaths(app_path_)),
      arguments_(std::move(arguments)),
      width_(screen_width_twips),
      height_(screen_height_twips) {
    // The text that messages show: the words joined by blanks.
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        if (i > 0) command_line_ += ' ';
        command_line_ += arguments_[i];
    }
}

void HeadlessServices::MsgBox(const std::string& text) {
    std::cerr << text << "\n" << std::flush;
    last_message_ = text;
}

}  // namespace kavro::toolkit
