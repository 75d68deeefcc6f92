// Bytes as history.xml: the index (or a clear error), its cache text read back, and every
// entry's text read on its own and converted; each converted document must load in the
// viewer's own reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "import/DatConverter.h"
#include "import/DatIndex.h"
#include "import/HistoryXml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!import::LooksLikeXml(text.substr(0, 64))) return 0;
    std::optional<import::DatIndex> index;
    try {
        index = import::DatIndex::BuildFromText(text, "fuzz.xml");
    } catch (const import::DatError& e) {
        if (std::string_view(e.what()).find("line ") == std::string_view::npos) std::abort();
        return 0;  // not well-formed, or not a history file: said with its place
    }
    const auto again =
        import::DatIndex::Deserialize(index->Serialize(), index->Identity());
    if (!again || again->Serialize() != index->Serialize()) std::abort();

    int converted = 0;
    for (const import::DatEntry& entry : index->Entries()) {
        if (entry.offset + entry.length > size) std::abort();
        if (++converted > 64) break;
        std::string history;
        try {
            history =
                import::HistoryXmlText(text.substr(entry.offset, entry.length), "fuzz.xml", 1);
        } catch (const import::DatError& e) {
            std::cerr << e.what() << "\n";
            std::abort();  // an entry the index found reads on its own
        }
        const auto result = import::ConvertHistoryText(history, entry.line, "x", "fuzz.xml");
        if (result.sections == 0 && entry.Holds("bio")) std::abort();
        fuzz::CheckConverted(result);
    }
    return 0;
}
