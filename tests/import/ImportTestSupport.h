#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "document/ConvertedDocument.h"
#include "document/DocumentConverter.h"
#include "import/DatConverter.h"

namespace kavro::testing {

// The entry of the text (which starts with its $info line) converted for the item.
inline import::ConvertedEntry Convert(std::string_view text, std::string_view block = "cmd",
                                      std::string_view name = "mkick") {
    return import::ConvertEntry(text, 1, block, name, "command.dat");
}

// A converted document read by the viewer's own reader; fails the test when it does not load.
inline document::ConvertedDocument Read(const std::string& xml) {
    document::ConvertedDocument doc;
    document::HandlerContext context;
    try {
        document::DocumentConverter(doc, context).ParseText(xml, "converted.xml");
    } catch (const document::LoadError& e) {
        ADD_FAILURE() << e.what() << "\n" << xml;
    }
    return doc;
}

// The markup of section k (from 1) of the converted entry.
inline std::string Section(std::string_view text, int k, std::string_view block = "cmd") {
    const auto doc = Read(Convert(text, block).xml);
    if (k > doc.SectionCount()) {
        ADD_FAILURE() << "no section " << k << " in\n" << Convert(text, block).xml;
        return {};
    }
    return doc.SectionMarkup[static_cast<std::size_t>(k)];
}

}  // namespace kavro::testing
