#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kavro::import {

// What tells one content of a file from another without reading all of it: a file rewritten
// with its old size and its old modification time (cp -p, an unpacked archive, touch -r)
// still gets a new change time or inode, and a change within the same clock tick still
// changes a checksum of its first and last blocks, which cover all of a small file.
struct FileIdentity {
    std::uint64_t size = 0;
    std::int64_t modified_ns = 0;  // modification time, nanoseconds since the epoch
    std::int64_t changed_ns = 0;   // change (status) time, which no program can set back
    std::uint64_t inode = 0;
    std::uint64_t checksum = 0;  // of the first and the last kIdentityBlockBytes

    bool operator==(const FileIdentity&) const = default;
};

inline constexpr std::uint64_t kIdentityBlockBytes = 64 * 1024;

// The identity of the file at path; nothing when it cannot be read (errno says why).
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// FNV-1a, the same from one build to the next (unlike std::hash).
std::uint64_t StableHash(const char* data, std::size_t size,
                         std::uint64_t hash = 14695981039346656037ull);

}  // namespace kavro::import
