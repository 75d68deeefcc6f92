// Bytes as a move-list or history file: the index, its cache text read back, and every entry
// converted both ways; each converted document must load in the viewer's own reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "import/DatConverter.h"
#include "import/DatIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const import::DatIndex index = import::DatIndex::BuildFromText(text);
    const auto again =
        import::DatIndex::Deserialize(index.Serialize(), index.FileSize(), index.FileTime());
    if (!again || again->Entries().size() != index.Entries().size()) std::abort();
    import::DatIndex::Deserialize(text, size, 0);

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
