#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace kavro::base {

namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, const fs::path& target, const std::string& why) {
    if (error) *error = "cannot write " + target.string() + ": " + why;
    return false;
}

}  // namespace

std::unique_ptr<PendingFile> PendingFile::Create(const fs::path& target, std::string* error,
                                                 const Replacement& how) {
    fs::path real = target;
    // One lstat for the usual case, a new file: an import makes thousands.
    struct stat info {};
    bool there = ::lstat(target.c_str(), &info) == 0;
    if (there && S_ISLNK(info.st_mode)) {
        std::error_code ec;
        real = fs::weakly_canonical(target, ec);
        if (ec) real = target;
        there = ::stat(real.c_str(), &info) == 0;
    }
    if (there) {
        if (S_ISDIR(info.st_mode)) {
            Fail(error, target, "it is a folder");
            return nullptr;
        }
        if (!S_ISREG(info.st_mode)) {
            const int fd = ::open(real.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            if (fd < 0) {
                Fail(error, target, std::strerror(errno));
                return nullptr;
            }
            return std::unique_ptr<PendingFile>(new PendingFile(target, real, fd, true, how));
        }
    }
    // A hidden name in the same folder, so that the rename stays within one file system.
    const fs::path folder = real.has_parent_path() ? real.parent_path() : fs::path(".");
    // Seeded once: a random device for each file costs system calls on every document an
    // import writes.
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name = folder / ("." + real.filename().string() + ".kavro-" +
                                        std::to_string(random() % 1000000000000ull));
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::unique_ptr<PendingFile>(new PendingFile(real, name, fd, false, how));
        if (errno != EEXIST) break;
    }
    // The folder is what refuses: a read-only one keeps a writable file from being replaced.
    Fail(error, target,
         "cannot make a temporary file in " + folder.string() + ": " + std::strerror(errno));
    return nullptr;
}

PendingFile::~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!direct_ && !committed_) ::unlink(path_.c_str());
}

bool PendingFile::Write(std::string_view text, std::string* error) {
    while (!text.empty()) {
        const ssize_t done = ::write(fd_, text.data(), text.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return Fail(error, target_, done < 0 ? std::strerror(errno) : "no space");
        text.remove_prefix(static_cast<std::size_t>(done));
    }
    return true;
}

bool PendingFile::Close(std::string* error) {
    if (const struct stat* keep = how_.keep; keep && !direct_ && fd_ >= 0) {
        if (::fchmod(fd_, keep->st_mode & 07777) != 0)
            return Fail(error, target_, std::strerror(errno));
        // Keeping the owner needs privileges we usually lack; the content matters more, and a
        // file we may write is one we may replace, so a refusal here is not an error.
        struct stat mine {};
        if (::fstat(fd_, &mine) == 0 &&
            (mine.st_uid != keep->st_uid || mine.st_gid != keep->st_gid)) {
            [[maybe_unused]] const int ignored = ::fchown(fd_, keep->st_uid, keep->st_gid);
        }
    }
    // Without sync a full disk still shows on write (space is reserved then) or at the latest
    // on close, which network file systems report. An import syncs its thousands of documents
    // at once before they get their names (ImportTarget).
    if (how_.sync && fd_ >= 0 && ::fsync(fd_) != 0)
        return Fail(error, target_, std::strerror(errno));
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        return Fail(error, target_, std::strerror(errno));
    return true;
}

bool PendingFile::Commit(std::string* error) {
    if (!Close(error)) return false;
    if (!direct_ && ::rename(path_.c_str(), target_.c_str()) != 0)
        return Fail(error, target_, std::strerror(errno));
    committed_ = true;
    return true;
}

bool ReplaceFile(const fs::path& target, std::string_view content, std::string* error,
                 const Replacement& how) {
    auto file = PendingFile::Create(target, error, how);
    return file && file->Write(content, error) && file->Commit(error);
}

}  // namespace kavro::base
