#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kavro::watch {

// Watches a set of files for changes on disk and reports each burst of changes once, from a
// thread of its own. On Linux it waits on inotify (no cost while nothing changes), watching
// the files' folders so that an editor that saves by writing a new file and renaming it over
// the old one is seen too; without inotify it compares the files' size and time a few times a
// second. Creating, changing, replacing and deleting a watched file all count.
class FileWatcher {
  public:
    enum class Method { Notify, Poll };

    // on_change runs on the watcher's thread: it must only hand over (such as waking an
    // event loop). poll_interval applies to polling only; a burst of changes within settle is
    // reported once.
    explicit FileWatcher(std::function<void()> on_change, Method method = Method::Notify,
                         std::chrono::milliseconds poll_interval = std::chrono::milliseconds(250),
                         std::chrono::milliseconds settle = std::chrono::milliseconds(40));
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // Replaces the watched set; returns once the new set is watched, so that a change made
    // afterwards is reported.
    void Watch(const std::vector<std::string>& files);
    // How it watches: Poll when inotify was asked for but is not available.
    Method UsedMethod() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace kavro::watch
