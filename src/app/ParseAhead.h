#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "document/ContentHandler.h"
#include "document/ConvertedDocument.h"
#include "document/SaxReader.h"

namespace kavro::app {

// Reads one document on a second thread while the load lays out what has been read: a
// section is handed over as soon as the next one begins (or the document ends), when nothing
// can change it any more. Reading is a quarter of a load, and the layout of the sections read
// so far needs nothing of the rest. The layout starts with the macro tables and the line width
// in force when the first section is handed over; a document that changes them later (a
// macro after its first section) is told by Finish, and the load is then made again in order.
class ParseAhead {
  public:
    // Starts reading path with reader, carrying on from doc as the viewer's handler would (its
    // line width and pending text; macro tables and info text start empty) and with context.
    // The reader and the context are the reading's until Finish or the destructor.
    ParseAhead(document::SaxReader& reader, document::HandlerContext& context,
               const document::ConvertedDocument& doc, std::string path);
    // Stops a reading still going (at its next section) and waits for it.
    ~ParseAhead();
    ParseAhead(const ParseAhead&) = delete;
    ParseAhead& operator=(const ParseAhead&) = delete;

    // Waits for the first section or the end of the document and puts the macro tables and the
    // line width in force then into doc. False when the reading failed first: Finish tells why.
    bool TakeHead(document::ConvertedDocument& doc);
    // The next section's markup, once it is complete; nothing after the last one, or once the
    // reading has failed.
    std::optional<std::string> NextSection();
    // Waits for the end of the reading; puts the caption the document's info element set, if
    // any, into caption, and then throws what made the reading fail (a LoadError). Puts the
    // document's final macro tables, line width, info text and pending text into doc. Whether
    // the macro tables and the line width are still those TakeHead gave.
    bool Finish(document::ConvertedDocument& doc, std::optional<std::string>& caption);

  private:
    struct Head {
        document::MacroTable font_macros;
        document::MacroTable bg_macros;
        std::int16_t line_chars;
    };
    void Read();
    // The reading's: hands over the complete sections (all of them once ended).
    void Publish(bool ended);

    document::SaxReader& reader_;
    document::ContentHandler* viewer_handler_;
    std::string path_;
    // The reading thread's own until it ends.
    document::ConvertedDocument staged_;
    document::ContentHandler handler_;
    std::optional<std::string> caption_;
    std::size_t published_ = 1;  // sections of staged_ handed over, counted from 1

    std::mutex lock_;
    std::condition_variable changed_;
    // Under lock_.
    std::deque<std::string> ready_;
    std::optional<Head> head_;
    bool ended_ = false;
    std::exception_ptr failure_;

    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace kavro::app
