#pragma once

#include <functional>
#include <string>

#include "document/ContentHandler.h"
#include "document/ConvertedDocument.h"
#include "document/SaxReader.h"

namespace kavro::document {

// A reader and a content handler wired as the viewer reads documents and style files: the
// handler converts into doc, and documents may carry a document type declaration. Both parse
// calls throw LoadError as SaxReader does.
class DocumentConverter {
  public:
    DocumentConverter(ConvertedDocument& doc, HandlerContext& context,
                      std::function<void(const std::string&)> set_caption = nullptr)
        : handler_(doc, context, std::move(set_caption)) {
        reader_.contentHandler = &handler_;
        reader_.putFeature("prohibit-dtd", false);
    }
    DocumentConverter(const DocumentConverter&) = delete;
    DocumentConverter& operator=(const DocumentConverter&) = delete;

    void ParseFile(const std::string& path) { reader_.parseURL(path); }
    // name stands for the file in messages.
    void ParseText(const std::string& xml, const std::string& name) {
        reader_.parseText(xml, name);
    }

  private:
    ContentHandler handler_;
    SaxReader reader_;
};

}  // namespace kavro::document
