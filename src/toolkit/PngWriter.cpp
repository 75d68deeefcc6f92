#include "toolkit/PngWriter.h"

#include <SDL.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "toolkit/Processors.h"

namespace kavro::toolkit {

namespace {

// The file is put together here rather than by libpng: libpng deflates on one thread, and
// deflating is nearly all of a screen's write. The rows are cut into bands, each band deflated
// on a thread of its own as a piece of one zlib stream (every piece but the last ends on a
// byte boundary with a sync flush, so the pieces follow one another as they are), and the
// pieces' checksums are combined.

// zlib's lowest level writes a 1920x1080 screen about four times faster than its default level.
// Screen pictures are flat areas and text: at this level every row filter tried made the file
// larger as well as slower, so rows are stored unfiltered.
constexpr int kLevel = 1;
// A band smaller than this is not worth a thread.
constexpr std::size_t kMinBandBytes = 512 * 1024;
constexpr unsigned kMaxBands = 4;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};

// Rows first_row .. first_row + rows - 1, deflated.
struct Band {
    int first_row = 0;
    int rows = 0;
    bool last = false;
    std::vector<unsigned char> deflated;
    uLong adler = 0;
    std::size_t raw_bytes = 0;
    bool ok = false;
};

// Rows converted and deflated at a time: small buffers that stay in the processor's cache.
constexpr int kRowsAtOnce = 16;
constexpr std::size_t kOutputBytes = 64 * 1024;

// The band's rows as PNG stores them (a filter byte, none, then R, G, B and A bytes a pixel)
// from a surface whose pixels lie B, G, R, A (or unused) in memory, deflated.
void Compress(const SDL_Surface& surface, bool alpha, Band& band) noexcept {
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return;
    try {
        const std::size_t channels = alpha ? 4 : 3;
        const std::size_t row_bytes = 1 + static_cast<std::size_t>(surface.w) * channels;
        const auto raw = std::make_unique_for_overwrite<unsigned char[]>(row_bytes * kRowsAtOnce);
        const auto output = std::make_unique_for_overwrite<unsigned char[]>(kOutputBytes);
        band.adler = adler32(0, nullptr, 0);
        const int end = band.first_row + band.rows;
        for (int y = band.first_row;;) {
            const int rows = std::min(kRowsAtOnce, end - y);
            unsigned char* out = raw.get();
            for (int r = 0; r < rows; ++r, ++y) {
                const auto* px = static_cast<const unsigned char*>(surface.pixels) +
                                 std::ptrdiff_t{y} * surface.pitch;
                *out++ = 0;
                for (int x = 0; x < surface.w; ++x, px += 4, out += channels) {
                    out[0] = px[2];
                    out[1] = px[1];
                    out[2] = px[0];
                    if (alpha) out[3] = px[3];
                }
            }
            const auto bytes = static_cast<uInt>(out - raw.get());
            band.raw_bytes += bytes;
            band.adler = adler32(band.adler, raw.get(), bytes);
            const bool final_rows = y >= end;
            const int flush = !final_rows ? Z_NO_FLUSH : band.last ? Z_FINISH : Z_SYNC_FLUSH;
            z.next_in = raw.get();
            z.avail_in = bytes;
            int result = Z_OK;
            do {
                z.next_out = output.get();
                z.avail_out = static_cast<uInt>(kOutputBytes);
                result = deflate(&z, flush);
                if (result == Z_STREAM_ERROR) break;
                band.deflated.insert(band.deflated.end(), output.get(),
                                     output.get() + (kOutputBytes - z.avail_out));
            } while (z.avail_out == 0);
            if (result == Z_STREAM_ERROR) break;
            if (final_rows) {
                band.ok = band.last ? result == Z_STREAM_END : z.avail_in == 0;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        band.ok = false;
    }
    deflateEnd(&z);
}

void BigEndian(unsigned char* to, std::uint32_t value) {
    to[0] = static_cast<unsigned char>(value >> 24);
    to[1] = static_cast<unsigned char>(value >> 16);
    to[2] = static_cast<unsigned char>(value >> 8);
    to[3] = static_cast<unsigned char>(value);
}

// One chunk, its data given in pieces; the length is known before the first piece.
class Chunk {
  public:
    Chunk(std::FILE* file, const char* type, std::uint32_t length) : file_(file) {
        unsigned char head[8];
        BigEndian(head, length);
        std::memcpy(head + 4, type, 4);
        crc_ = crc32(crc32(0, nullptr, 0), head + 4, 4);
        ok_ = std::fwrite(head, 1, sizeof head, file_) == sizeof head;
    }
    void Add(const unsigned char* data, std::size_t size) {
        if (!ok_ || size == 0) return;
        crc_ = crc32_z(crc_, data, size);
        ok_ = std::fwrite(data, 1, size, file_) == size;
    }
    bool End() {
        unsigned char tail[4];
        BigEndian(tail, static_cast<std::uint32_t>(crc_));
        return ok_ && std::fwrite(tail, 1, sizeof tail, file_) == sizeof tail;
    }

  private:
    std::FILE* file_;
    uLong crc_ = 0;
    bool ok_ = false;
};

bool WriteFile(std::FILE* file, int width, int height, bool alpha, const std::vector<Band>& bands) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::fwrite(kSignature, 1, sizeof kSignature, file) != sizeof kSignature) return false;
    unsigned char header[13];
    BigEndian(header, static_cast<std::uint32_t>(width));
    BigEndian(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;                // bits a channel
    header[9] = alpha ? 6 : 2;    // RGBA or RGB
    header[10] = header[11] = 0;  // deflate, adaptive filtering (every row: none)
    header[12] = 0;               // not interlaced
    Chunk ihdr(file, "IHDR", sizeof header);
    ihdr.Add(header, sizeof header);
    if (!ihdr.End()) return false;

    // The zlib stream: its header (deflate, 32 KiB window, fastest), the pieces, the checksum.
    const unsigned char stream_head[2] = {0x78, 0x01};
    std::uint64_t length = sizeof stream_head + 4;
    uLong adler = adler32(0, nullptr, 0);
    for (const Band& band : bands) {
        length += band.deflated.size();
        adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.raw_bytes));
    }
    if (length > 0x7FFFFFFFu) return false;
    Chunk idat(file, "IDAT", static_cast<std::uint32_t>(length));
    idat.Add(stream_head, sizeof stream_head);
    for (const Band& band : bands)
        idat.Add(band.deflated.data(), band.deflated.size());
    unsigned char checksum[4];
    BigEndian(checksum, static_cast<std::uint32_t>(adler));
    idat.Add(checksum, sizeof checksum);
    if (!idat.End()) return false;
    return Chunk(file, "IEND", 0).End();
}

// Four bytes a pixel lying B, G, R and one unused, so that the rows can be read as they are.
bool BgrxBytes(const SDL_PixelFormat& f) {
    const auto byte = [](Uint32 mask, int index) {
        return SDL_BYTEORDER == SDL_LIL_ENDIAN ? mask == Uint32{0xFF} << (8 * index)
                                               : mask == Uint32{0xFF} << (8 * (3 - index));
    };
    return f.BytesPerPixel == 4 && f.Amask == 0 && byte(f.Bmask, 0) && byte(f.Gmask, 1) &&
           byte(f.Rmask, 2);
}

bool AllOpaque(const SDL_Surface& s) {
    for (int y = 0; y < s.h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(s.pixels) + std::ptrdiff_t{y} * s.pitch;
        for (int x = 0; x < s.w; ++x)
            if (row[x * 4 + 3] != 0xFF) return false;
    }
    return true;
}

// Bands of whole rows, as many as there are processors to deflate them and enough bytes.
std::vector<Band> CutIntoBands(const SDL_Surface& s, bool alpha) {
    const std::size_t bytes =
        static_cast<std::size_t>(s.w) * static_cast<std::size_t>(s.h) * (alpha ? 4u : 3u);
    const auto by_size =
        static_cast<unsigned>(std::min<std::size_t>(bytes / kMinBandBytes, kMaxBands));
    const unsigned count =
        std::clamp(std::min(ProcessorsAvailable(), by_size), 1u, static_cast<unsigned>(s.h));
    std::vector<Band> bands(count);
    for (unsigned i = 0; i < count; ++i) {
        bands[i].first_row = static_cast<int>(static_cast<long long>(s.h) * i / count);
        bands[i].rows =
            static_cast<int>(static_cast<long long>(s.h) * (i + 1) / count) - bands[i].first_row;
    }
    bands.back().last = true;
    return bands;
}

void CompressAll(const SDL_Surface& s, bool alpha, std::vector<Band>& bands) {
    std::vector<std::thread> helpers;
    for (std::size_t i = 1; i < bands.size(); ++i) {
        try {
            helpers.emplace_back([&s, alpha, &band = bands[i]] { Compress(s, alpha, band); });
        } catch (const std::system_error&) {
            Compress(s, alpha, bands[i]);  // no thread to be had: this one does it
        }
    }
    Compress(s, alpha, bands.front());
    for (std::thread& helper : helpers)
        helper.join();
}

bool Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return false;
}

}  // namespace

bool WritePng(SDL_Surface* surface, const std::string& path, std::string* error) {
    if (!surface || surface->w <= 0 || surface->h <= 0)
        return Fail(error, "cannot write " + path + ": no picture");
    // B, G, R, A bytes in memory whatever the machine's byte order; a picture without an alpha
    // channel whose bytes already lie B, G, R, unused is taken as it is.
    std::unique_ptr<SDL_Surface, SurfaceDeleter> converted;
    if (surface->format->format != SDL_PIXELFORMAT_BGRA32 && !BgrxBytes(*surface->format)) {
        converted.reset(SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_BGRA32, 0));
        if (!converted)
            return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
        surface = converted.get();
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return Fail(error, "cannot write " + path + ": " + std::string(SDL_GetError()));
    // Without an alpha channel the fourth byte means nothing: blending may have left any value.
    const bool alpha = surface->format->Amask != 0 && !AllOpaque(*surface);

    std::string message;
    bool ok = false;
    bool opened = false;
    {
        std::vector<Band> bands = CutIntoBands(*surface, alpha);
        CompressAll(*surface, alpha, bands);
        const bool deflated =
            std::all_of(bands.begin(), bands.end(), [](const Band& b) { return b.ok; });
        std::unique_ptr<std::FILE, FileCloser> file;
        if (!deflated) {
            message = "out of memory";
        } else if (file.reset(std::fopen(path.c_str(), "wb")); !file) {
            message = std::strerror(errno);
        } else {
            opened = true;
            errno = 0;
            ok = WriteFile(file.get(), surface->w, surface->h, alpha, bands);
            // Buffered bytes reach the disk only here; a full disk shows now.
            if (ok && std::fflush(file.get()) != 0) ok = false;
            if (!ok) message = errno != 0 ? std::strerror(errno) : "the picture is too large";
        }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (!ok) {
        // Only a file of our own making: the path may name a device.
        std::error_code ec;
        if (opened && std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
        return Fail(error, "cannot write " + path + ": " + message);
    }
    return true;
}

}  // namespace kavro::toolkit
