#include "base/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "base/FileDescriptor.h"

namespace kavro::base {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool Fail(std::string* error, std::string message) {
    if (error) *error = std::move(message);
    return false;
}

bool WriteAll(int fd, std::string_view data) {
    std::size_t written = 0;
    int interruptions = 0;
    while (written < data.size()) {
        const ssize_t done = ::write(fd, data.data() + written, data.size() - written);
        if (done < 0 && errno == EINTR && ++interruptions < 100) continue;
        if (done <= 0) {
            if (done == 0) errno = ENOSPC;
            return false;
        }
        written += static_cast<std::size_t>(done);
    }
    return true;
}

// A temporary file that is removed again unless it was renamed into place.
class TemporaryFile {
  public:
    TemporaryFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~TemporaryFile() {
        if (!committed_) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    FileDescriptor& fd() { return fd_; }
    void Commit() { committed_ = true; }

  private:
    std::string path_;
    FileDescriptor fd_;
    bool committed_ = false;
};

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Creates a new file beside target with a name nobody else uses.
std::optional<TemporaryFile> CreateTemporary(const std::string& target, std::string* error) {
    const std::string folder = ParentFolder(target);
    const std::size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name =
            folder + "/." + base + ".tmp-" + std::to_string(random() % 1000000000000ull);
        // 0666 lets the umask decide the rights of a new file, as for any other new file.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return std::optional<TemporaryFile>(std::in_place, name, fd);
        if (errno != EEXIST) {
            Fail(error, "Cannot create a temporary file in " + Quoted(folder) + ": " +
                            std::strerror(errno));
            return std::nullopt;
        }
    }
    Fail(error, "Cannot create a temporary file in " + Quoted(folder) + ": no free name");
    return std::nullopt;
}

bool WriteInPlace(const std::string& target, std::string_view content, std::string* error) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fd.valid() || !WriteAll(fd.get(), content) || !fd.Close())
        return Fail(error, "Cannot write " + Quoted(target) + ": " + std::strerror(errno));
    return true;
}

}  // namespace

bool ReplaceFile(const std::string& target, std::string_view content, std::string* error,
                 const Replacement& how) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode))
        return WriteInPlace(target, content, error);

    auto temporary = CreateTemporary(target, error);
    if (!temporary) return false;
    const int fd = temporary->fd().get();
    const std::string write_failed = "Cannot write " + Quoted(temporary->path()) + ": ";
    if (!WriteAll(fd, content)) return Fail(error, write_failed + std::strerror(errno));
    if (const struct stat* keep = how.keep) {
        if (::fchmod(fd, keep->st_mode & 07777) != 0)
            return Fail(error, write_failed + std::strerror(errno));
        // Keeping the owner needs privileges we usually lack; the content matters more, and a
        // file we may write is one we may replace, so a refusal here is not an error.
        struct stat mine {};
        if (::fstat(fd, &mine) == 0 &&
            (mine.st_uid != keep->st_uid || mine.st_gid != keep->st_gid)) {
            [[maybe_unused]] const int ignored = ::fchown(fd, keep->st_uid, keep->st_gid);
        }
    }
    if (how.sync && ::fsync(fd) != 0) return Fail(error, write_failed + std::strerror(errno));
    if (!temporary->fd().Close()) return Fail(error, write_failed + std::strerror(errno));
    if (::rename(temporary->path().c_str(), target.c_str()) != 0)
        return Fail(error, "Cannot replace " + Quoted(target) + ": " + std::strerror(errno));
    temporary->Commit();
    return true;
}

}  // namespace kavro::base
