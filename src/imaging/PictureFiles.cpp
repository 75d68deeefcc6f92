#include "imaging/PictureFiles.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <system_error>

#include "imaging/cBitmap.h"
#include "backend/LoadPicture.h"
#include "forms/Services.h"

namespace kavro::imaging {

namespace {

struct FileStamp {
    std::uintmax_t size = 0;
    long long mtime = 0;
};

std::optional<FileStamp> StampOf(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p(path);
    if (!std::filesystem::is_regular_file(p, ec) || ec) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    if (ec) return std::nullopt;
    const auto time = std::filesystem::last_write_time(p, ec);
    if (ec) return std::nullopt;
    return FileStamp{size, static_cast<long long>(time.time_since_epoch().count())};
}

// The decoder is chosen by the last four characters alone, so ".jpeg" is not a GIF.
bool IsGif(const std::string& path) {
    std::string tail = path.size() < 4 ? path : path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".gif";
}

// Decodes anything but GIF through a bitmap of its own; null when it cannot be decoded.
toolkit::PicturePtr DecodeBitmap(const std::string& path, PictureCache* cache) {
    toolkit::PicturePtr picture;
    if (cache && cache->Find(path, &picture)) return picture;
    {
        cBitmap bitmap;
        bitmap.LoadFromFile(path);  // failures leave the bitmap empty; its status is not needed
        picture = bitmap.Picture();
    }
    if (cache) {
        cache->CountDecode();
        cache->Store(path, picture);
    }
    return picture;
}

// The toolkit's loader for GIF; nullopt when the file is missing or cannot be decoded.
std::optional<toolkit::PicturePtr> DecodeGif(const std::string& path, PictureCache* cache) {
    toolkit::PicturePtr picture;
    if (cache && cache->Find(path, &picture)) {
        if (!picture) return std::nullopt;
        return picture;
    }
    std::optional<toolkit::PicturePtr> loaded = toolkit::LoadPicture(path);
    if (cache) {
        cache->CountDecode();
        cache->Store(path, loaded.value_or(nullptr));
    }
    if (loaded && !*loaded) return std::nullopt;
    return loaded;
}

}  // namespace

namespace {
std::uintmax_t PixelBytes(const toolkit::PicturePtr& picture) {
    return picture ? picture->HeldBytes() : 0;
}
}  // namespace

bool PictureCache::Find(const std::string& path, toolkit::PicturePtr* out) {
    const auto it = entries_.find(path);
    if (it == entries_.end()) return false;
    if (it->second.checked != generation_) {
        const std::optional<FileStamp> stamp = StampOf(path);
        if (!stamp || stamp->size != it->second.size || stamp->mtime != it->second.mtime) {
            pixel_bytes_ -= PixelBytes(it->second.picture);
            entries_.erase(it);  // gone or changed on disk: decode afresh
            return false;
        }
        it->second.checked = generation_;
    }
    if (out) *out = it->second.picture;
    return true;
}

void PictureCache::Store(const std::string& path, toolkit::PicturePtr picture) {
    // A file that cannot be stamped cannot be validated later, so it is not kept.
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp) return;
    const std::uintmax_t bytes = PixelBytes(picture);
    if (entries_.size() >= kMaxEntries || pixel_bytes_ + bytes > kMaxPixelBytes) Clear();
    if (auto old = entries_.find(path); old != entries_.end())
        pixel_bytes_ -= PixelBytes(old->second.picture);
    pixel_bytes_ += bytes;
    entries_[path] = Entry{stamp->size, stamp->mtime, std::move(picture), generation_};
}

toolkit::PicturePtr LoadPictureFile(const std::string& path, PictureCache* cache) {
    if (!IsGif(path)) return DecodeBitmap(path, cache);
    if (!toolkit::Services::FileExists(path)) return toolkit::LoadPicture();
    return DecodeGif(path, cache).value_or(nullptr);
}

toolkit::PicturePtr LoadControlPicture(const std::string& path, toolkit::Image& control,
                                       int stretch, PictureCache* cache) {
    if (stretch == -1) return LoadPictureFile(path, cache);

    const float w0 = control.Width;
    const float h0 = control.Height;
    control.Stretch = false;

    // The unstretched control takes the picture's natural size. A picture that cannot be
    // loaded leaves the control with none rather than with whatever it showed before.
    toolkit::PicturePtr picture;
    if (!IsGif(path)) {
        picture = DecodeBitmap(path, cache);
    } else {
        picture = DecodeGif(path, cache).value_or(nullptr);
    }
    control.SetPicture(picture);

    // A degenerate box or picture cannot be fitted: the control stays as it is.
    const float r = control.Width / control.Height;
    if (!(w0 > 0.0f) || !(h0 > 0.0f) || !std::isfinite(w0) || !std::isfinite(h0) ||
        !std::isfinite(r) || !(r > 0.0f))
        return picture;

    control.Stretch = true;
    if (w0 / h0 > r) {
        control.Width = h0 * r;
        control.Height = h0;
    } else {
        control.Height = w0 / r;
        control.Width = w0;
    }
    control.Left = control.Left + (w0 - control.Width) / 2.0f;
    control.Top = control.Top + (h0 - control.Height) / 2.0f;
    return IsGif(path) ? picture : control.Picture();
}

}  // namespace kavro::imaging
