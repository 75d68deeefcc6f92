#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "document/ContentHandler.h"
#include "document/SaxReader.h"
#include "import/DatConverter.h"

namespace kavro::fuzz {

// A scratch folder of this process, made once and reused by every input.
inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kavro-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) return std::filesystem::temp_directory_path();
        return std::filesystem::path(pattern);
    }();
    return dir;
}

// A converted entry: no text gives no document, and a document always loads in the viewer's
// own reader with the sections the converter counted. Aborts otherwise.
inline void CheckConverted(const import::ConvertedEntry& result) {
    if (result.sections == 0) {
        if (!result.xml.empty()) std::abort();
        return;
    }
    document::ConvertedDocument doc;
    document::HandlerContext context;
    document::ContentHandler handler(doc, context, [](const std::string&) {});
    document::SaxReader reader;
    reader.contentHandler = &handler;
    try {
        reader.parseText(result.xml, "converted.xml");
    } catch (const document::LoadError& e) {
        std::cerr << e.what() << "\n" << result.xml;
        std::abort();
    }
    if (doc.SectionCount() != result.sections) std::abort();
}

}  // namespace kavro::fuzz
