#include "manuals/ArchivePages.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <new>

#include "base/Deleter.h"
#include "manuals/ManualError.h"
#include "manuals/ManualSearch.h"

namespace kavro::manuals {

namespace {

using ArchivePtr = base::Owned<archive, archive_read_free>;

ArchivePtr NewReader() {
    ArchivePtr a(archive_read_new());
    if (!a) throw std::bad_alloc();
    archive_read_support_format_zip(a.get());
    archive_read_support_format_7zip(a.get());
    archive_read_support_filter_all(a.get());
    return a;
}

[[noreturn]] void Fail(archive* a, const std::string& label, const std::string& what) {
    std::string message = what;
    if (a && archive_error_string(a)) message += std::string(": ") + archive_error_string(a);
    throw ManualError(label, message);
}

void ReadPages(archive* a, const std::string& label, const ArchivePageSink& sink) {
    std::size_t pages = 0, total = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) Fail(a, label, "it is not a readable archive");
        const char* raw_name = archive_entry_pathname(entry);
        const std::string name = raw_name ? raw_name : "";
        if (archive_entry_filetype(entry) != AE_IFREG || !IsPagePicture(name)) continue;
        // A name's folders may hide things a scanner left (__MACOSX/._p1.png): no dot files.
        const std::size_t slash = name.find_last_of('/');
        if (name[slash == std::string::npos ? 0 : slash + 1] == '.') continue;
        if (++pages > kMaxArchivePages)
            Fail(nullptr, label,
                 "it holds more than " + std::to_string(kMaxArchivePages) + " pages");
        std::vector<unsigned char> bytes;
        std::vector<unsigned char> block(64 * 1024);
        for (;;) {
            const la_ssize_t n = archive_read_data(a, block.data(), block.size());
            if (n == 0) break;
            if (n < 0) Fail(a, label, "the page \"" + name + "\" cannot be read");
            const auto got = static_cast<std::size_t>(n);
            if (bytes.size() + got > kMaxArchiveMemberBytes || total + got > kMaxArchiveTotalBytes)
                Fail(nullptr, label, "the page \"" + name + "\" is too large");
            bytes.insert(bytes.end(), block.begin(), block.begin() + n);
            total += got;
        }
        sink(name, std::move(bytes));
    }
    if (pages == 0) Fail(nullptr, label, "it holds no page pictures");
}

}  // namespace

void ReadArchivePages(const std::string& path, const ArchivePageSink& sink) {
    ArchivePtr a = NewReader();
    if (archive_read_open_filename(a.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
        Fail(a.get(), path, "it cannot be opened");
    ReadPages(a.get(), path, sink);
}

void ReadArchivePagesFromMemory(const void* data, std::size_t size, const std::string& label,
                                const ArchivePageSink& sink) {
    ArchivePtr a = NewReader();
    if (archive_read_open_memory(a.get(), data, size) != ARCHIVE_OK)
        Fail(a.get(), label, "it is not a readable archive");
    ReadPages(a.get(), label, sink);
}

}  // namespace kavro::manuals
