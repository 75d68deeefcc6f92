// Bytes as a manual's archive (.cbz, .zip, .cb7, .7z): every page picture it yields is
// measured as a page would be, and the pages sort in natural order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "manuals/ArchivePages.h"
#include "manuals/ManualError.h"
#include "manuals/ManualSearch.h"
#include "manuals/NaturalOrder.h"
#include "backend/PictureHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro;
    std::vector<std::string> names;
    try {
        manuals::ReadArchivePagesFromMemory(
            data, size, "fuzz.cbz", [&](const std::string& name, std::vector<unsigned char> bytes) {
                // Only page pictures within the limits ever reach the sink.
                if (!manuals::IsPagePicture(name) || bytes.size() > manuals::kMaxArchiveMemberBytes)
                    std::abort();
                toolkit::ReadPictureHeader(bytes);
                names.push_back(name);
            });
    } catch (const manuals::ManualError&) {
        return 0;
    }
    if (names.empty()) std::abort();  // an archive without pages is an error
    std::sort(names.begin(), names.end(), manuals::NaturalLess);
    return 0;
}
