// Bytes as a move-list or history file: read through the import's stream reader, the index,
// its cache text read back, and every entry converted both ways; each converted document must
// load in the viewer's own reader.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "import/DatConverter.h"
#include "import/DatIndex.h"
#include "import/StreamInput.h"

namespace {

// The import's stream reader gives the bytes as they are up to its limit and refuses longer
// input; the limit comes from the input so that both sides of it are reached.
void ReadBackThroughAStream(std::string_view text) {
    const int fd = ::memfd_create("fuzz-import", MFD_CLOEXEC);
    if (fd < 0) return;
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    const std::uint64_t limit = text.empty() ? 0 : static_cast<unsigned char>(text[0]) * 16u;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        const std::string read = kavro::import::ReadStream(path, limit);
        if (text.size() > limit || read != text) std::abort();
    } catch (const kavro::import::DatError&) {
        if (text.size() <= limit) std::abort();
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const import::DatIndex index = import::DatIndex::BuildFromText(text);
    const auto again = import::DatIndex::Deserialize(index.Serialize(), index.Identity());
    if (!again || again->Entries().size() != index.Entries().size()) std::abort();
    import::FileIdentity identity;
    identity.size = size;
    import::DatIndex::Deserialize(text, identity);
    ReadBackThroughAStream(text);

    int converted = 0;
    for (const import::DatEntry& entry : index.Entries()) {
        if (entry.offset + entry.length > size) std::abort();
        // Enough entries to cover what the input holds without making one input slow.
        if (++converted > 64) break;
        const std::string_view bytes = text.substr(entry.offset, entry.length);
        const std::string name = entry.names.empty() ? std::string("x") : entry.names.front();
        for (const char* block : {"cmd", "bio", "mame", "story"})
            fuzz::CheckConverted(import::ConvertEntry(bytes, entry.line, block, name, "fuzz.dat"));
    }
    return 0;
}
