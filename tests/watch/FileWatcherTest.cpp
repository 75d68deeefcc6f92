#include "watch/FileWatcher.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "common/TempFolder.h"

namespace kavro::watch {
namespace {

using namespace std::chrono_literals;
using Method = FileWatcher::Method;

// Counts the watcher's reports and lets the test wait for the next one.
struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;

    void Add() {
        std::lock_guard lock(mutex);
        ++count;
        changed.notify_all();
    }
    // Whether a report beyond seen arrives within the time.
    bool After(int seen, std::chrono::milliseconds within) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, within, [&] { return count > seen; });
    }
    int Count() {
        std::lock_guard lock(mutex);
        return count;
    }
};

class FileWatcherTest : public ::testing::TestWithParam<Method> {
  protected:
    void TearDown() override { watcher_.reset(); }
    std::string Path(const std::string& name) const { return dir_.File(name); }
    void Write(const std::string& name, const std::string& text) { dir_.Write(name, text); }
    // Watch returns once the set is watched: nothing to wait for before changing a file.
    FileWatcher& Start(const std::vector<std::string>& files,
                       std::chrono::milliseconds settle = 40ms) {
        watcher_ =
            std::make_unique<FileWatcher>([this] { reports_.Add(); }, GetParam(), 20ms, settle);
        watcher_->Watch(files);
        return *watcher_;
    }

    kavro::testing::TempFolder dir_{"kavro-watch-"};
    Reports reports_;
    std::unique_ptr<FileWatcher> watcher_;
};

// Generous: only a missing report fails, a slow machine does not.
constexpr auto kWithin = 5000ms;
// How long to wait for a report that must not come.
constexpr auto kQuiet = 400ms;

TEST_P(FileWatcherTest, UsesTheMethodAskedFor) {
    Write("doc.xml", "a");
    EXPECT_EQ(Start({Path("doc.xml")}).UsedMethod(), GetParam());
}

TEST_P(FileWatcherTest, WritingAWatchedFileIsReported) {
    Write("doc.xml", "a");
    Start({Path("doc.xml")});
    Write("doc.xml", "ab");
    EXPECT_TRUE(reports_.After(0, kWithin));
}

// An edit that keeps the file's size is a change too.
TEST_P(FileWatcherTest, RewritingWithTheSameSizeIsReported) {
    Write("doc.xml", "<a>1</a>");
    Start({Path("doc.xml")});
    // A modification time of its own, whatever the file system's clock resolution.
    const auto before = std::filesystem::last_write_time(Path("doc.xml"));
    Write("doc.xml", "<a>2</a>");
    std::filesystem::last_write_time(Path("doc.xml"), before + 1s);
    EXPECT_TRUE(reports_.After(0, kWithin));
}

TEST_P(FileWatcherTest, ReplacingByRenameIsReported) {
    Write("doc.xml", "a");
    Start({Path("doc.xml")});
    const int seen = reports_.Count();
    Write("doc.xml.tmp", "replaced");
    ASSERT_EQ(std::rename(Path("doc.xml.tmp").c_str(), Path("doc.xml").c_str()), 0);
    EXPECT_TRUE(reports_.After(seen, kWithin));
}

TEST_P(FileWatcherTest, CreatingAndDeletingAreReported) {
    Start({Path("icon.gif")});  // not there yet: a missing picture the document names
    Write("icon.gif", "GIF");
    EXPECT_TRUE(reports_.After(0, kWithin));
    const int seen = reports_.Count();
    std::filesystem::remove(Path("icon.gif"));
    EXPECT_TRUE(reports_.After(seen, kWithin));
}

TEST_P(FileWatcherTest, OtherFilesAndReplacedSetsAreQuiet) {
    Write("doc.xml", "a");
    Write("other.xml", "a");
    FileWatcher& watcher = Start({Path("doc.xml")});
    Write("other.xml", "changed");
    EXPECT_FALSE(reports_.After(0, kQuiet));
    watcher.Watch({Path("other.xml")});
    Write("doc.xml", "no longer watched");
    EXPECT_FALSE(reports_.After(0, kQuiet));
    Write("other.xml", "watched now");
    EXPECT_TRUE(reports_.After(0, kWithin));
}

TEST_P(FileWatcherTest, ABurstOfChangesIsReportedOnce) {
    Write("doc.xml", "a");
    // A burst is changes closer together than the settling time: generous, so that a loaded
    // machine writing slowly still makes one burst.
    Start({Path("doc.xml")}, 1000ms);
    for (int i = 0; i < 5; ++i)
        Write("doc.xml", std::string(static_cast<std::size_t>(i), 'x'));
    ASSERT_TRUE(reports_.After(0, kWithin));
    // Polling reports what each poll finds, so a burst may span two polls; notifications
    // settle into one report.
    if (GetParam() == Method::Notify) {
        EXPECT_FALSE(reports_.After(1, kQuiet));
    }
}

INSTANTIATE_TEST_SUITE_P(BothMethods, FileWatcherTest,
                         ::testing::Values(Method::Notify, Method::Poll), [](const auto& info) {
                             return info.param == Method::Notify ? "Notify" : "Poll";
                         });

}  // namespace
}  // namespace kavro::watch
