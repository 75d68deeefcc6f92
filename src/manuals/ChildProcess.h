#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kavro::manuals {

// The full path of a program found in a search path (directories separated by ':'), or empty.
std::string FindProgram(const std::string& name, const std::string& search_path);

struct ChildResult {
    bool started = false;
    bool timed_out = false;
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error (at most the first 64 KiB)
};

// Runs a program with its arguments as they are (no shell reads them), standard input from
// /dev/null, and waits for it; a program still running after the time limit is killed.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     std::chrono::milliseconds limit);

}  // namespace kavro::manuals
