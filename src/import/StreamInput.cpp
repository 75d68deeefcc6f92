#include "import/StreamInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "import/DatIndex.h"

namespace kavro::import {

namespace {

constexpr std::size_t kBlockBytes = 256 * 1024;

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string DescribeLimit(std::uint64_t limit) {
    if (limit % (1024 * 1024) == 0) return std::to_string(limit / (1024 * 1024)) + " MiB";
    return std::to_string(limit) + " bytes";
}

std::string ReadStream(const std::string& path, std::uint64_t limit) {
    const Descriptor in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) throw DatError("cannot open \"" + path + "\": " + std::strerror(errno));
    std::string text;
    for (;;) {
        // One byte beyond the limit tells a file of exactly the limit from a longer one.
        const std::size_t room =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBlockBytes, limit + 1 - text.size()));
        const std::size_t had = text.size();
        text.resize(had + room);
        const ssize_t got = ::read(in.fd, text.data() + had, room);
        if (got < 0 && errno == EINTR) {
            text.resize(had);
            continue;
        }
        if (got < 0)
            throw DatError("cannot read \"" + path + "\": " + std::string(std::strerror(errno)));
        text.resize(had + static_cast<std::size_t>(got));
        if (got == 0) return text;
        if (text.size() > limit)
            throw DatError("\"" + path + "\" is larger than " + DescribeLimit(limit) +
                           ", more than any move-list or history file; not read");
    }
}

}  // namespace kavro::import
