#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/ConvertedDocument.h"
#include "document/Diagnostics.h"

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

    // Called after each section element has begun: every section before it is complete then,
    // and no later event changes it.
    void OnSectionStart(std::function<void()> hook) { section_start_ = std::move(hook); }

    // Authoring checks: with a Diagnostics attached, the handler reports what it reads that an
    // author most likely did not mean, and records where each piece of section markup came
    // from. Null (the default) in normal viewing: then none of this runs.
    void AttachDiagnostics(Diagnostics* diagnostics) {
        diagnostics_ = diagnostics;
        depth_ = 0;
        macro_open_ = false;
    }
    Diagnostics* diagnostics() const { return diagnostics_; }
    // The reader, when diagnostics are attached: a file starts, and where the next event is.
    void BeginFile(const std::string& file);
    SourcePosition where;

  private:
    void CheckStart(std::string_view local_name, const Attributes& attributes);
    void CheckEnd(std::string_view local_name);
    void CheckText(std::string_view text);
    void Warn(const SourcePosition& at, std::string message);
    void Anchor(const SourcePosition& at);

    ConvertedDocument& doc_;
    HandlerContext& context_;
    std::function<void(const std::string&)> set_caption_;
    std::function<void()> section_start_;
    Diagnostics* diagnostics_ = nullptr;
    int depth_ = 0;                // element depth in the current file (checks only)
    bool macro_open_ = false;      // inside a fontmacro or bgmacro element (checks only)
    bool textwidth_text_ = false;  // the open textwidth element has text (checks only)
    // The icon or image element open (checks only): its code's offset, and whether it holds
    // text.
    std::optional<std::size_t> picture_code_;
    bool picture_text_ = false;
};

}  // namespace kavro::document
