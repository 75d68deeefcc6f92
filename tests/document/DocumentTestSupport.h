#pragma once

#include <string>
#include <vector>

#include "document/ContentHandler.h"
#include "document/ConvertedDocument.h"
#include "document/SaxReader.h"

namespace kavro::document::testing {

// A reader and handler wired as the load driver wires them, over one converted document.
struct Converter {
    ConvertedDocument doc;
    HandlerContext context;
    std::vector<std::string> captions;
    ContentHandler handler{doc, context,
                           [this](const std::string& text) { captions.push_back(text); }};
    SaxReader reader;

    Converter() {
        reader.contentHandler = &handler;
        reader.putFeature("prohibit-dtd", false);
    }

    // Empties the tables between files, as the load driver does before each file.
    void ClearMacros() {
        doc.FontMacros.Clear();
        doc.BgMacros.Clear();
    }

    void Parse(const std::string& xml, const std::string& name = "test.xml") {
        reader.parseText(xml, name);
    }
};

}  // namespace kavro::document::testing
