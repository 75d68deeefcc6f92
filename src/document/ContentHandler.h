#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/ConvertedDocument.h"

namespace kavro::document {

// An element's attributes: qualified names and values in document order.
using Attributes = std::vector<std::pair<std::string, std::string>>;

// A failure inside the handler; it stops the parse.
struct HandlerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The handler's context between events; it carries over from one file to the next.
struct HandlerContext {
    std::string CurrentElement;
    bool InSection = false;
};

// Turns the events of a document or style file into the converted document.
class ContentHandler {
public:
    ContentHandler(ConvertedDocument& doc, HandlerContext& context,
                   std::function<void(const std::string&)> set_caption)
        : doc_(doc), context_(context), set_caption_(std::move(set_caption)) {}

    void startDocument() {}
    void endDocument() {}
    // Throws HandlerError for the failures documents can contain.
    void startElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                      std::string_view strQName, const Attributes& oAttributes);
    void endElement(std::string_view strNamespaceURI, std::string_view strLocalName,
                    std::string_view strQName);
    void characters(std::string_view strChars);

private:
    ConvertedDocument& doc_;
    HandlerContext& context_;
    std::function<void(const std::string&)> set_caption_;
};

}  // namespace kavro::document
