#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace kavro::base {

struct Replacement {
    // The file whose permission bits and, where we may, owner the new file takes.
    const struct stat* keep = nullptr;
    // Whether the content reaches the disk before the rename (settings: a crash must not leave
    // an empty file); pictures and converted documents can be made again.
    bool sync = false;
};

// Replaces the file at target with content through a new temporary file beside it, renamed
// into place, so that no reader ever sees half of it and a failed write leaves what was there
// (and no temporary). A target that exists but is not a regular file (a device, a pipe) cannot
// be renamed over: it is written directly. False with the reason in *error.
bool ReplaceFile(const std::string& target, std::string_view content, std::string* error,
                 const Replacement& how = {});

}  // namespace kavro::base
