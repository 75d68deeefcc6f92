#pragma once

#include <cstdint>
#include <string>

namespace kavro::import {

// The largest move-list or history file read, as for documents: the real ones are a few MB.
inline constexpr std::uint64_t kMaxDatBytes = 256ull * 1024 * 1024;

// Reads the whole file front to back, without seeking, so that a pipe (kavro --import <(...))
// works as a file does; memory stays within limit, and a longer input (/dev/zero) is refused.
// Throws DatError naming the file and the limit, or the reason it cannot be read.
std::string ReadStream(const std::string& path, std::uint64_t limit = kMaxDatBytes);

// "256 MiB": the limit as messages name it.
std::string DescribeLimit(std::uint64_t limit);

}  // namespace kavro::import
