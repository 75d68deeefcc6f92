#include "manuals/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>

extern char** environ;

namespace kavro::manuals {

namespace {

// A file descriptor closed with its owner.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

struct Pipe {
    Fd read, write;
};

bool MakePipe(Pipe* pipe) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe->read.Reset(fds[0]);
    pipe->write.Reset(fds[1]);
    return true;
}

// posix_spawn's file actions, destroyed with their owner.
struct SpawnActions {
    posix_spawn_file_actions_t actions;
    bool ok = posix_spawn_file_actions_init(&actions) == 0;
    ~SpawnActions() {
        if (ok) posix_spawn_file_actions_destroy(&actions);
    }
};

constexpr std::size_t kMaxErrorBytes = 64 * 1024;

}  // namespace

std::string FindProgram(const std::string& name, const std::string& search_path) {
    std::size_t from = 0;
    while (from <= search_path.size()) {
        std::size_t at = search_path.find(':', from);
        if (at == std::string::npos) at = search_path.size();
        const std::string folder = search_path.substr(from, at - from);
        from = at + 1;
        if (folder.empty() || folder[0] != '/') continue;  // a relative entry depends on the cwd
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     std::chrono::milliseconds limit) {
    ChildResult result;
    Pipe out, err;
    if (!MakePipe(&out) || !MakePipe(&err)) return result;
    SpawnActions actions;
    if (!actions.ok) return result;
    posix_spawn_file_actions_addopen(&actions.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions.actions, out.write.Get(), 1);
    posix_spawn_file_actions_adddup2(&actions.actions, err.write.Get(), 2);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions.actions, nullptr, argv.data(), environ) != 0)
        return result;
    result.started = true;
    out.write.Reset();
    err.write.Reset();

    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::array<char, 16384> buffer;
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{out_open ? out.read.Get() : -1, POLLIN, 0},
                         {err_open ? err.read.Get() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2 && ready > 0; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
            if (n <= 0) {
                (i == 0 ? out_open : err_open) = false;
                continue;
            }
            if (i == 0)
                result.out.append(buffer.data(), static_cast<std::size_t>(n));
            else if (result.err.size() < kMaxErrorBytes)
                result.err.append(buffer.data(), static_cast<std::size_t>(n));
        }
    }
    // A child that closed its output may still run: it is waited for until the limit.
    int wait_status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &wait_status, result.timed_out ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (done == 0 && std::chrono::steady_clock::now() >= deadline) {
            result.timed_out = true;
            ::kill(pid, SIGKILL);
        } else if (done == 0) {
            ::usleep(5000);
        }
    }
    if (WIFEXITED(wait_status) && !result.timed_out) result.status = WEXITSTATUS(wait_status);
    return result;
}

}  // namespace kavro::manuals
