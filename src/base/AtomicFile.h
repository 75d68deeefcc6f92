#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kavro::base {

struct Replacement {
    // The file whose permission bits and, where we may, owner the new file takes.
    const struct stat* keep = nullptr;
    // Whether the content reaches the disk before the rename (settings: a crash must not leave
    // an empty file); pictures and converted documents can be made again, and an import writes
    // thousands of them.
    bool sync = false;
};

// A file being written in place of target: a new temporary file beside it, created exclusively
// (never through a link someone left there), renamed over target by Commit. Until then target
// keeps what it held; a file never committed is removed. A target that exists and is no regular
// file (a device such as /dev/full, a pipe) cannot be replaced by a rename: it is written
// directly. A symbolic link is followed and its target replaced.
class PendingFile {
  public:
    // Null with the reason in *error ("cannot write TARGET: reason") when no file can be made.
    static std::unique_ptr<PendingFile> Create(const std::filesystem::path& target,
                                               std::string* error, const Replacement& how = {});
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Where to write: the temporary file (the target itself when written directly).
    const std::filesystem::path& Path() const { return path_; }
    // Writes all of text.
    bool Write(std::string_view text, std::string* error);
    // Ends the writing (Commit does it too): a full disk shows here at the latest. False with
    // the reason in *error.
    bool Close(std::string* error);
    // Replaces target with what was written. False with the reason in *error.
    bool Commit(std::string* error);

  private:
    PendingFile(std::filesystem::path target, std::filesystem::path path, int fd, bool direct,
                const Replacement& how)
        : target_(std::move(target)), path_(std::move(path)), fd_(fd), direct_(direct), how_(how) {}

    std::filesystem::path target_;
    std::filesystem::path path_;
    int fd_ = -1;
    bool direct_ = false;
    bool committed_ = false;
    Replacement how_;
};

// Replaces the file at target with content through a PendingFile, so that no reader ever sees
// half of it and a failed write leaves what was there (and no temporary). False with the reason
// in *error.
bool ReplaceFile(const std::filesystem::path& target, std::string_view content,
                 std::string* error = nullptr, const Replacement& how = {});

}  // namespace kavro::base
