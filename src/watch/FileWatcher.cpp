#include "watch/FileWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "base/FileDescriptor.h"

namespace kavro::watch {

namespace {

// What polling compares: whether the file is there, its size and its modification time.
struct Stamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path) {
    Stamp stamp;
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(status)) return stamp;
    stamp.exists = true;
    stamp.size = std::filesystem::file_size(path, ec);
    stamp.time = std::filesystem::last_write_time(path, ec);
    return stamp;
}

std::string Folder(const std::string& file) {
    const std::string parent = std::filesystem::path(file).parent_path().string();
    return parent.empty() ? "." : parent;
}

}  // namespace

struct FileWatcher::State {
    std::function<void()> on_change;
    Method method;
    std::chrono::milliseconds poll_interval;
    std::chrono::milliseconds settle;

    std::mutex mutex;
    std::condition_variable wake_poller;
    std::set<std::string> files;  // guarded by mutex
    bool files_changed = false;   // guarded by mutex: the set was replaced
    bool stopping = false;        // guarded by mutex
    // Sets handed over and sets watched, counted, so that Watch can wait for its own; running
    // turns false when the thread ends for good.
    std::uint64_t sets_asked = 0;  // guarded by mutex
    std::uint64_t sets_taken = 0;  // guarded by mutex
    bool running = true;           // guarded by mutex
    std::condition_variable set_taken;

    base::FileDescriptor inotify;
    base::FileDescriptor wake;  // eventfd: tells the inotify thread to look at the set or to stop
    std::thread thread;

    void Notify() {
        if (on_change) on_change();
    }

    // Called with the mutex held: the set asked for as ticket is watched now.
    void Taken(std::uint64_t ticket) {
        sets_taken = std::max(sets_taken, ticket);
        set_taken.notify_all();
    }

    void Ended() {
        std::lock_guard lock(mutex);
        running = false;
        set_taken.notify_all();
    }

    void WakeThread() {
        if (wake.valid()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(wake.get(), &one, sizeof one);
        }
        wake_poller.notify_all();
    }

    void RunPolling() {
        std::map<std::string, Stamp> stamps;
        std::unique_lock lock(mutex);
        for (;;) {
            if (files_changed) {
                stamps.clear();
                for (const std::string& f : files)
                    stamps[f] = StampOf(f);
                files_changed = false;
                Taken(sets_asked);
            }
            wake_poller.wait_for(lock, poll_interval, [this] { return stopping || files_changed; });
            if (stopping) return;
            if (files_changed) continue;
            bool changed = false;
            for (auto& [file, stamp] : stamps) {
                const Stamp now = StampOf(file);
                if (now != stamp) {
                    stamp = now;
                    changed = true;
                }
            }
            if (changed) {
                lock.unlock();
                Notify();
                lock.lock();
            }
        }
    }

    // Watches the folders of the files. A folder watched before keeps its watch (adding it
    // again returns the same one), so no change is missed while the set is replaced.
    void Rewatch(std::map<int, std::string>& folders, std::set<std::string>& watched) {
        std::uint64_t ticket = 0;
        {
            std::lock_guard lock(mutex);
            watched = files;
            files_changed = false;
            ticket = sets_asked;
        }
        std::set<std::string> dirs;
        for (const std::string& f : watched)
            dirs.insert(Folder(f));
        std::map<int, std::string> kept;
        for (const std::string& dir : dirs) {
            const int wd = ::inotify_add_watch(
                inotify.get(), dir.c_str(),
                IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_ATTRIB);
            // A folder that does not exist yet cannot be watched; nothing in it was loaded.
            if (wd >= 0) kept[wd] = dir;
        }
        for (const auto& [wd, folder] : folders)
            if (!kept.count(wd)) ::inotify_rm_watch(inotify.get(), wd);
        folders = std::move(kept);
        std::lock_guard lock(mutex);
        Taken(ticket);
    }

    // Reads the pending events; true when one names a watched file.
    bool ReadEvents(const std::map<int, std::string>& folders,
                    const std::set<std::string>& watched) {
        alignas(inotify_event) char buffer[16 * 1024];
        bool hit = false;
        for (;;) {
            const ssize_t got = ::read(inotify.get(), buffer, sizeof buffer);
            if (got <= 0) return hit;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->len == 0) continue;
                const auto folder = folders.find(event->wd);
                if (folder == folders.end()) continue;
                if (watched.count(folder->second + "/" + event->name)) hit = true;
            }
        }
    }

    void RunNotify() {
        std::map<int, std::string> folders;
        std::set<std::string> watched;
        Rewatch(folders, watched);
        for (;;) {
            pollfd fds[2] = {{inotify.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t n = ::read(wake.get(), &count, sizeof count);
                std::lock_guard lock(mutex);
                if (stopping) return;
            }
            {
                std::unique_lock lock(mutex);
                if (files_changed) {
                    lock.unlock();
                    Rewatch(folders, watched);
                }
            }
            if (!(fds[0].revents & POLLIN)) continue;
            bool hit = ReadEvents(folders, watched);
            // An editor's save is several events (write, rename, attributes): let it finish.
            pollfd settle_fd{inotify.get(), POLLIN, 0};
            while (::poll(&settle_fd, 1, static_cast<int>(settle.count())) > 0)
                hit = ReadEvents(folders, watched) || hit;
            if (hit) Notify();
        }
    }
};

FileWatcher::FileWatcher(std::function<void()> on_change, Method method,
                         std::chrono::milliseconds poll_interval, std::chrono::milliseconds settle)
    : state_(std::make_shared<State>()) {
    State& s = *state_;
    s.on_change = std::move(on_change);
    s.poll_interval = poll_interval;
    s.settle = settle;
    s.method = Method::Poll;
    if (method == Method::Notify) {
        s.inotify.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        s.wake.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (s.inotify.valid() && s.wake.valid()) s.method = Method::Notify;
    }
    if (s.method == Method::Notify)
        s.thread = std::thread([&s] {
            s.RunNotify();
            s.Ended();
        });
    else
        s.thread = std::thread([&s] {
            s.RunPolling();
            s.Ended();
        });
}

FileWatcher::~FileWatcher() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->WakeThread();
    if (state_->thread.joinable()) state_->thread.join();
}

void FileWatcher::Watch(const std::vector<std::string>& files) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    s.files = std::set<std::string>(files.begin(), files.end());
    s.files_changed = true;
    const std::uint64_t ticket = ++s.sets_asked;
    lock.unlock();
    s.WakeThread();
    lock.lock();
    s.set_taken.wait(lock, [&] { return s.sets_taken >= ticket || !s.running; });
}

FileWatcher::Method FileWatcher::UsedMethod() const {
    return state_->method;
}

}  // namespace kavro::watch
