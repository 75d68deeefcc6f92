#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "forms/Image.h"
#include "forms/Picture.h"

namespace kavro::imaging {

// Decoded pictures keyed by path, file size and modification time, so a file named many times
// is decoded once while a file changed on disk is decoded afresh. A file is checked on disk
// once per load; the cache is bounded and starts afresh when full.
class PictureCache {
  public:
    static constexpr std::size_t kMaxEntries = 1024;
    static constexpr std::uintmax_t kMaxPixelBytes = 256ull * 1024 * 1024;

    // Returns false when not cached (or changed on disk).
    bool Find(const std::string& path, toolkit::PicturePtr* out);
    void Store(const std::string& path, toolkit::PicturePtr picture);
    void Clear() {
        entries_.clear();
        pixel_bytes_ = 0;
    }
    // Files are checked on disk again from now on.
    void NewLoad() { ++generation_; }
    int Decodes() const { return decodes_; }
    void CountDecode() { ++decodes_; }

  private:
    struct Entry {
        std::uintmax_t size = 0;
        long long mtime = 0;
        toolkit::PicturePtr picture;
        unsigned checked = 0;  // the load in which the file was last checked
    };
    std::map<std::string, Entry> entries_;
    int decodes_ = 0;
    unsigned generation_ = 0;
    std::uintmax_t pixel_bytes_ = 0;
};

// Loads a picture file: ".gif" (last four characters, any case) through the toolkit's loader
// (an empty picture when the file does not exist), anything else through cBitmap (null when it
// cannot be decoded). Never throws. The cache may be null.
toolkit::PicturePtr LoadPictureFile(const std::string& path, PictureCache* cache);

// Loads a picture for an image control that is already placed. stretch == -1: as
// LoadPictureFile, control untouched. Otherwise the control is fitted into its box keeping the
// picture's aspect ratio and centred in it. Assigns and returns the picture; never throws.
toolkit::PicturePtr LoadControlPicture(const std::string& path, toolkit::Image& control,
                                       int stretch, PictureCache* cache);

}  // namespace kavro::imaging
