#pragma once

#include <stdexcept>
#include <string>

namespace kavro::manuals {

// A manual that cannot be turned into pages: the file and why (a missing program names the
// package that brings it).
class ManualError : public std::runtime_error {
  public:
    ManualError(std::string file, std::string reason)
        : std::runtime_error("Cannot read the manual \"" + file + "\": " + reason),
          file_(std::move(file)),
          reason_(std::move(reason)) {}
    const std::string& File() const { return file_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string file_;
    std::string reason_;
};

}  // namespace kavro::manuals
