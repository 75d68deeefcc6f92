#include "import/AtomicFile.h"

#include <unistd.h>

#include <fstream>
#include <string>

namespace kavro::import {

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view text) {
    const std::filesystem::path temporary =
        target.string() + ".tmp" + std::to_string(static_cast<long>(::getpid()));
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    std::error_code ec;
    if (out) {
        std::filesystem::rename(temporary, target, ec);
        if (!ec) return true;
    }
    std::filesystem::remove(temporary, ec);
    return false;
}

}  // namespace kavro::import
