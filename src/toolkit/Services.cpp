#include "toolkit/Services.h"

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

void HeadlessServices::MsgBox(const std::string& text) {
    std::cerr << text << "\n" << std::flush;
    last_message_ = text;
}

}  // namespace kavro::toolkit
