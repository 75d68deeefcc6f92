#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace kavro::fuzz {

// A scratch folder of this process, made once and reused by every input.
inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavro-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return std::filesystem::temp_directory_path();
        return std::filesystem::path(pattern);
    }();
    return dir;
}

}  // namespace kavro::fuzz
