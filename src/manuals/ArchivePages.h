#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kavro::manuals {

// Limits on what an archive may make the viewer hold or write: a comic archive of scanned
// pages stays far below them.
inline constexpr std::size_t kMaxArchivePages = 5000;
inline constexpr std::size_t kMaxArchiveMemberBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxArchiveTotalBytes = std::size_t{4} << 30;

// Called with each page picture of an archive, in the order the archive stores them: the
// member's name and its bytes.
using ArchivePageSink = std::function<void(const std::string& name, std::vector<unsigned char>)>;

// Reads every page picture (by its name's extension; folders and other members are skipped)
// of a ZIP or 7-Zip archive (.cbz, .zip, .cb7, .7z). Throws ManualError, naming label, when
// the archive cannot be read, holds no picture or goes past a limit.
void ReadArchivePages(const std::string& path, const ArchivePageSink& sink);
void ReadArchivePagesFromMemory(const void* data, std::size_t size, const std::string& label,
                                const ArchivePageSink& sink);

}  // namespace kavro::manuals
