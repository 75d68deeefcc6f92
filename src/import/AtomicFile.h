#pragma once

#include <filesystem>
#include <string_view>

namespace kavro::import {

// Writes the file through a temporary file beside it and a rename, so that no reader ever
// sees half of it and a failed write leaves what was there. False when it cannot be written.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view text);

}  // namespace kavro::import
