#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavro::manuals {

// Pages of manuals prepared once and kept: one folder per manual and page width, named by a
// hash of the file's identity (device, inode, path), size, modification time and the width,
// so a changed file or another screen gets pages of its own. A folder counts only once its
// list of pages is written (last, atomically); a manual that fails leaves nothing behind, and
// a folder a stopped run left unfinished goes after a day.
// When the folders together pass the limit, the ones used longest ago are removed first.
class PageCache {
  public:
    static constexpr std::uintmax_t kDefaultLimitBytes = std::uintmax_t{1} << 30;  // 1 GiB

    PageCache(std::string root, std::uintmax_t limit_bytes)
        : root_(std::move(root)), limit_(limit_bytes) {}

    // $XDG_CACHE_HOME/kavro/manuals ($HOME/.cache/kavro/manuals), else one below the
    // temporary folder.
    static std::string UserFolder();

    const std::string& Root() const { return root_; }
    std::uintmax_t Limit() const { return limit_; }

    // The entry's name for a file at a page width (0: pages kept at their own size). Throws
    // ManualError when the file cannot be examined.
    std::string KeyOf(const std::string& file, int width) const;

    // The pages of a complete entry, first to last, marked as just used; nothing when the entry
    // is missing or incomplete.
    std::optional<std::vector<std::string>> Find(const std::string& key) const;

    // The entry's folder, made empty, to prepare its pages in (an unfinished one is started
    // afresh; two runs preparing one manual at once are not guarded against). Throws
    // ManualError.
    std::string Begin(const std::string& key) const;
    // Makes the prepared folder a complete entry with these page files (names within it, first
    // to last), then removes the oldest entries past the limit. Returns the pages' paths.
    // Throws ManualError (the folder is removed).
    std::vector<std::string> Commit(const std::string& key,
                                    const std::vector<std::string>& names) const;
    // Removes an entry's folder, finished or not.
    void Abandon(const std::string& key) const;

    // Removes entries, those used longest ago first, until the rest fit in the limit; keep is
    // never removed. Unfinished folders of other runs older than a day go too.
    void Evict(const std::string& keep) const;

  private:
    std::string root_;
    std::uintmax_t limit_;
};

}  // namespace kavro::manuals
