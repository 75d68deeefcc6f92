#include "import/FileIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace kavro::import {

namespace {

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Adds the bytes [offset, offset + length) of the file to the hash; false on a read error.
bool HashRange(int fd, std::uint64_t offset, std::uint64_t length, std::uint64_t& hash) {
    std::string block(static_cast<std::size_t>(length), '\0');
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t got = ::pread(fd, block.data() + done, block.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    hash = StableHash(block.data(), done, hash);
    return true;
}

}  // namespace

std::uint64_t StableHash(const char* data, std::size_t size, std::uint64_t hash) {
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    FileIdentity identity;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok) {
        identity.size = static_cast<std::uint64_t>(info.st_size);
        identity.modified_ns = Nanoseconds(info.st_mtim);
        identity.changed_ns = Nanoseconds(info.st_ctim);
        identity.inode = static_cast<std::uint64_t>(info.st_ino);
        std::uint64_t hash = StableHash(nullptr, 0);
        const std::uint64_t first = std::min(identity.size, kIdentityBlockBytes);
        const std::uint64_t last_start =
            std::max(first, identity.size - std::min(identity.size, kIdentityBlockBytes));
        ok = HashRange(fd, 0, first, hash) &&
             HashRange(fd, last_start, identity.size - last_start, hash);
        identity.checksum = hash;
    }
    const int saved = errno;
    ::close(fd);
    errno = ok ? 0 : (saved != 0 ? saved : EINVAL);
    if (!ok) return std::nullopt;
    return identity;
}

}  // namespace kavro::import
