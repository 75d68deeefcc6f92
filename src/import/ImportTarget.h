#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/AtomicFile.h"

namespace kavro::import {

// A document an import could not write: the import stops there.
class ImportWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder an import writes its documents into. A document of a person (any file the import
// did not write) is never hidden or replaced without overwrite, whatever the letter case of its
// name or of its item folder; folders this target made and left empty are removed again.
class ImportTarget {
  public:
    ImportTarget(std::filesystem::path into, bool overwrite)
        : into_(std::move(into)), overwrite_(overwrite) {}
    ~ImportTarget();
    ImportTarget(const ImportTarget&) = delete;
    ImportTarget& operator=(const ImportTarget&) = delete;

    // Where the document file_name of the item folder ("sf2", or "nes/zelda") belongs.
    struct Place {
        std::optional<std::filesystem::path> path;  // nothing: not to be written
        bool skipped = false;                       // a person's document is there (not a problem)
        std::string problem;  // not empty: why it cannot be written (a folder in the way)
        bool there = false;   // path names a file that is there
    };
    Place Find(const std::string& folder, const std::string& file_name) const;

    // Writes the document, making its folders. It gets its name by Publish, at the latest.
    // Throws ImportWriteError (after publishing the documents written before).
    void Write(const std::filesystem::path& path, const std::string& text);
    // Writes the document at the place Find gave, unless it already holds exactly the text: a
    // new import of the same file changes no file and no time stamp.
    void Put(const Place& place, const std::string& text);
    // Gives every document written so far its name, once all of them are on the disk: a
    // crash never leaves a document cut short under its name, and the disk is synced once
    // for many documents instead of once for each. Throws ImportWriteError. Documents never
    // published are thrown away with the target.
    void Publish();

  private:
    // The names in a folder by their spelling in lower case. The folders above the item
    // folders are read once and kept up to date as documents are written: an import of
    // 50,000 items must not read the target folder once for every item.
    using Listing = std::map<std::string, std::vector<std::string>>;
    const Listing& ListingOf(const std::filesystem::path& folder) const;
    void Remember(const std::filesystem::path& path);

    std::filesystem::path into_;
    bool overwrite_;
    std::vector<std::filesystem::path> made_;  // in the order they were made
    mutable std::map<std::filesystem::path, Listing> listings_;
    std::vector<std::unique_ptr<base::PendingFile>> pending_;  // written, not yet published
    std::map<dev_t, std::filesystem::path> devices_;     // a document of each file system
};

// The entries of folder named as name ignoring ASCII letter case: the exact name first, then
// the others in byte order.
std::vector<std::filesystem::path> NamedIgnoringCase(const std::filesystem::path& folder,
                                                     const std::string& name);

// Whether the file starts with the converter's mark (an import wrote it).
bool WrittenByImport(const std::filesystem::path& path);

}  // namespace kavro::import
