// Bytes as a document: the XML reader and the content handler, then the reading rules over
// every converted section.
#include <cstddef>
#include <cstdint>
#include <string>

#include "document/DocumentConverter.h"
#include "document/MarkupReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavro::document;
    ConvertedDocument doc;
    HandlerContext context;
    std::string caption;
    DocumentConverter reader(doc, context, [&caption](const std::string& c) { caption = c; });
    try {
        reader.ParseText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.xml");
    } catch (const LoadError&) {
        return 0;
    }
    for (const std::string& markup : doc.SectionMarkup)
        for (std::string_view line : SplitLines(markup)) {
            const auto fields = SplitFields(PrepareLine(line));
            for (std::size_t j = 0; j < fields.size(); ++j) {
                if (Classify(fields[j]) == FieldCode::Image) ParseImageCode(CodeValue(fields[j]));
                IsShownShortField(fields, j);
            }
        }
    FindMacro(doc.FontMacros, caption);
    return 0;
}
