#include "document/SaxReader.h"

// The system library is built with DTD support; the declarations of its entity-amplification
// controls are only visible with this switch.
#ifndef XML_DTD
#define XML_DTD 1
#endif
#include <expat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "base/Deleter.h"
#include "encoding/Transcoder.h"
#include "encoding/XmlEncoding.h"

namespace kavro::document {

namespace {

// Entity expansion may amplify the input at most this much once it has produced this many
// bytes: a "billion laughs" document then fails within milliseconds.
constexpr float kMaxAmplification = 100.0f;
// A check reports this many rule errors of one file and then stops, as viewing does at the first.
constexpr int kMaxCheckedErrors = 100;
constexpr unsigned long long kAmplificationThreshold = 8ull * 1024 * 1024;

std::string Mebibytes(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    if (bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

std::string Describe(const std::string& file, long line, long column, const std::string& reason) {
    std::string text = "Cannot load \"" + file + "\": ";
    if (line > 0)
        text += "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    return text + reason;
}

using ParserPtr = base::Owned<XML_ParserStruct, XML_ParserFree>;

using FilePtr = base::Owned<std::FILE, std::fclose>;

// windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves undefined read as
// U+FFFD, the replacement character.
constexpr std::array<int, 32> kWindows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

bool SameName(std::string_view name, std::string_view lower) noexcept {
    if (name.size() != lower.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

// Called by expat for encodings it does not know itself; must not throw.
int XMLCALL UnknownEncoding(void* /*data*/, const XML_Char* name, XML_Encoding* info) {
    const std::string_view wanted = name == nullptr ? std::string_view() : name;
    if (!SameName(wanted, "windows-1252") && !SameName(wanted, "cp1252") &&
        !SameName(wanted, "x-cp1252"))
        return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte)
        info->map[byte] = byte >= 0x80 && byte <= 0x9F
                              ? kWindows1252High[static_cast<std::size_t>(byte - 0x80)]
                              : byte;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

struct Position {
    long line = 0;
    long column = 0;
};

// One parse of one file: owns the expat parser and turns its callbacks into handler events.
// No exception ever crosses expat: a failure stops the parser and is rethrown by Feed.
class ParseRun {
  public:
    // utf8: the bytes are UTF-8 whatever the declaration says (they were converted).
    ParseRun(ContentHandler* handler, const ReaderLimits& limits, bool prohibit_dtd,
             std::string name, bool utf8)
        : handler_(handler),
          limits_(limits),
          prohibit_dtd_(prohibit_dtd),
          name_(std::move(name)),
          checking_(handler != nullptr && handler->diagnostics() != nullptr) {
        if (checking_) handler_->BeginFile(name_);
        parser_.reset(XML_ParserCreate(utf8 ? "UTF-8" : nullptr));
        if (!parser_) throw LoadError(name_, 0, 0, "cannot create the XML parser");
        XML_Parser p = parser_.get();
        XML_SetUserData(p, this);
        XML_SetElementHandler(p, &ParseRun::OnStart, &ParseRun::OnEnd);
        XML_SetCharacterDataHandler(p, &ParseRun::OnText);
        XML_SetCommentHandler(p, &ParseRun::OnComment);
        XML_SetProcessingInstructionHandler(p, &ParseRun::OnInstruction);
        XML_SetStartDoctypeDeclHandler(p, &ParseRun::OnDoctype);
        XML_SetUnknownEncodingHandler(p, &UnknownEncoding, nullptr);
        // No external entity handler is set, so external entities and the external DTD
        // subset are never opened; references to them are skipped.
        XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
        XML_SetBillionLaughsAttackProtectionMaximumAmplification(p, kMaxAmplification);
        XML_SetBillionLaughsAttackProtectionActivationThreshold(p, kAmplificationThreshold);
    }

    // Hands bytes to expat; final marks the end of the document.
    void Feed(const char* data, std::size_t size, bool final) {
        const int length = static_cast<int>(size);  // callers feed chunks well below INT_MAX
        if (XML_Parse(parser_.get(), data, length, final ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_ERROR)
            Raise();
        if (final) {
            Safely([this] { Flush(); });  // text up to the end of the document
            if (stopped_) Raise();
        }
    }

    // The bytes begin with a byte order mark.
    void BeginsWithMark() { mark_ = true; }

    // The buffer expat offers for the next chunk of a file.
    char* Buffer(std::size_t size) {
        void* buffer = XML_GetBuffer(parser_.get(), static_cast<int>(size));
        if (buffer == nullptr) Raise();
        return static_cast<char*>(buffer);
    }
    void FeedBuffer(std::size_t size, bool final) {
        if (XML_ParseBuffer(parser_.get(), static_cast<int>(size), final ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_ERROR)
            Raise();
        if (final) {
            Safely([this] { Flush(); });
            if (stopped_) Raise();
        }
    }

  private:
    [[noreturn]] void Raise() {
        if (failure_) std::rethrow_exception(failure_);
        if (!reason_.empty()) throw LoadError(name_, where_.line, where_.column, reason_);
        const XML_Error code = XML_GetErrorCode(parser_.get());
        const XML_LChar* text = XML_ErrorString(code);
        const Position at = Here();
        throw LoadError(name_, at.line, at.column,
                        text != nullptr ? text : "XML error " + std::to_string(code));
    }

    // The parser skips a byte order mark, yet counts it as a column of line 1.
    Position Here() const {
        const auto line = static_cast<long>(XML_GetCurrentLineNumber(parser_.get()));
        const auto column = static_cast<long>(XML_GetCurrentColumnNumber(parser_.get())) + 1;
        return {line, mark_ && line == 1 ? column - 1 : column};
    }

    void Stop(std::string reason, Position where) {
        if (stopped_) return;
        reason_ = std::move(reason);
        where_ = where;
        stopped_ = true;
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    // Runs the body of one expat callback. No exception may cross expat: a handler failure
    // stops the parse with its reason and position (that of the markup event being reported;
    // for text, the event that ends the run), anything else (out of memory) is kept and
    // rethrown unchanged by Raise once expat has returned.
    template <typename Body>
    void Safely(Body&& body) noexcept {
        try {
            body();
        } catch (const HandlerError& error) {
            try {
                // A check reports every rule a document breaks, not only the first; only
                // viewing stops at it.
                if (checking_ && ++checked_errors_ <= kMaxCheckedErrors) {
                    const Position at = Here();
                    handler_->diagnostics()->Report({name_, at.line, at.column}, Severity::Error,
                                                    error.what());
                    return;
                }
                Stop(error.what(), Here());
            } catch (...) {
                Abort(std::current_exception());
            }
        } catch (...) {
            Abort(std::current_exception());
        }
    }

    void Abort(std::exception_ptr failure) noexcept {
        if (!failure_) failure_ = std::move(failure);
        stopped_ = true;
        XML_StopParser(parser_.get(), XML_FALSE);
    }

    // Hands the text since the last markup event to the handler; call inside Safely.
    void Flush() {
        if (pending_.empty() || stopped_) return;
        if (checking_) Locate(pending_at_);
        if (handler_ != nullptr) handler_->characters(pending_);
        pending_.clear();
    }

    // Tells a checking handler where the event it is about to receive comes from.
    void Locate(const Position& at) {
        handler_->where.file = name_;
        handler_->where.line = at.line;
        handler_->where.column = at.column;
    }

    static std::string_view LocalName(std::string_view qname) {
        const std::size_t colon = qname.find(':');
        return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    }

    // Namespace declarations are not attributes of the element (as namespace-aware readers
    // report them), so "xmlns" never becomes the first attribute.
    static bool IsNamespaceDeclaration(std::string_view name) {
        return name.starts_with("xmlns") && (name.size() == 5 || name[5] == ':');
    }

    void Start(const XML_Char* name, const XML_Char** atts) {
        Flush();
        if (stopped_) return;
        if (++depth_ > limits_.maxNestingDepth) {
            Stop("elements are nested deeper than " + std::to_string(limits_.maxNestingDepth) +
                     " levels",
                 Here());
            return;
        }
        if (handler_ == nullptr) return;
        // Reused between elements so that attribute strings keep their storage.
        Attributes& attributes = attributes_;
        std::size_t count = 0;
        for (std::size_t i = 0; atts[2 * i] != nullptr; ++i) {
            if (IsNamespaceDeclaration(atts[2 * i])) continue;
            if (count == attributes.size()) attributes.emplace_back();
            attributes[count].first.assign(atts[2 * i]);
            attributes[count].second.assign(atts[2 * i + 1]);
            ++count;
        }
        attributes.resize(count);
        if (checking_) Locate(Here());
        handler_->startElement(std::string_view(), LocalName(name), name, attributes);
    }

    void End(const XML_Char* name) {
        Flush();
        if (stopped_) return;
        --depth_;
        if (checking_) Locate(Here());
        if (handler_ != nullptr) handler_->endElement(std::string_view(), LocalName(name), name);
    }

    void Text(const XML_Char* text, int length) {
        if (length <= 0) return;
        text_bytes_ += static_cast<std::uint64_t>(length);
        if (text_bytes_ > limits_.maxTextBytes) {
            Stop("the document's text is larger than " + Mebibytes(limits_.maxTextBytes), Here());
            return;
        }
        if (checking_ && pending_.empty()) pending_at_ = Here();
        pending_.append(text, static_cast<std::size_t>(length));
    }

    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** atts) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_) run.Safely([&] { run.Start(name, atts); });
    }

    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_) run.Safely([&] { run.End(name); });
    }

    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_) run.Safely([&] { run.Text(text, length); });
    }

    // Comments and processing instructions end a run of text.
    static void XMLCALL OnComment(void* data, const XML_Char* /*text*/) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_) run.Safely([&] { run.Flush(); });
    }

    static void XMLCALL OnInstruction(void* data, const XML_Char* /*target*/,
                                      const XML_Char* /*text*/) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_) run.Safely([&] { run.Flush(); });
    }

    static void XMLCALL OnDoctype(void* data, const XML_Char* /*name*/, const XML_Char* /*sysid*/,
                                  const XML_Char* /*pubid*/, int /*has_internal_subset*/) {
        auto& run = *static_cast<ParseRun*>(data);
        if (!run.stopped_ && run.prohibit_dtd_)
            run.Safely([&] { run.Stop("DTD is prohibited", run.Here()); });
    }

    ParserPtr parser_;
    ContentHandler* handler_;
    const ReaderLimits& limits_;
    bool prohibit_dtd_;
    std::string name_;
    bool checking_;  // the handler collects findings and wants positions
    int checked_errors_ = 0;

    std::string pending_;  // character data since the last markup event
    Position pending_at_;  // where it began
    std::uint64_t text_bytes_ = 0;
    int depth_ = 0;
    Attributes attributes_;

    bool stopped_ = false;
    bool mark_ = false;  // the bytes begin with a byte order mark
    std::string reason_;
    Position where_;
    std::exception_ptr failure_;
};

}  // namespace

LoadError::LoadError(std::string file, long line, long column, std::string reason)
    : std::runtime_error(Describe(file, line, column, reason)),
      file_(std::move(file)),
      line_(line),
      column_(column),
      reason_(std::move(reason)) {}

void SaxReader::putFeature(const std::string& name, bool value) {
    if (name != std::string_view("prohibit-dtd"))
        throw std::invalid_argument("unknown reader feature: " + name);
    prohibit_dtd_ = value;
}

namespace {

// Bytes read before the parse starts, to find the encoding: enough for any declaration that
// is not padded with kilobytes of blanks.
constexpr std::size_t kHeadBytes = 4096;

// Reads a whole file or text through one parse. read(buffer, size) fills up to size bytes and
// returns how many; 0 ends the input.
//
// Encodings: the parser reads UTF-8, UTF-16, ISO-8859-1 and US-ASCII itself (and windows-1252
// through its byte map). Every other encoding the C library's iconv knows is converted to UTF-8
// in front of the parser, which is told the bytes are UTF-8. The parser's own hook for unknown
// encodings cannot take them: it needs every character's length from its first byte, no more
// than four bytes and nothing beyond U+FFFF, which rules out stateful encodings (ISO-2022-JP,
// UTF-7), GB18030, UTF-32 and EBCDIC. Line feeds survive conversion and the parser counts
// columns in characters, so its positions stay those of the original text.
template <typename Read>
void ParseBytes(ContentHandler* handler, const ReaderLimits& limits, bool prohibit_dtd,
                const std::string& name, std::size_t chunk_bytes, Read&& read) {
    const std::string too_large = "document is larger than " + Mebibytes(limits.maxDocumentBytes);
    std::uint64_t total = 0;
    const auto count = [&](std::size_t got) {
        total += got;
        if (total > limits.maxDocumentBytes) throw LoadError(name, 0, 0, too_large);
    };
    std::string head(kHeadBytes, '\0');
    std::size_t head_size = 0;
    while (head_size < head.size()) {
        const std::size_t got = read(head.data() + head_size, head.size() - head_size);
        if (got == 0) break;
        head_size += got;
    }
    head.resize(head_size);
    count(head_size);

    const encoding::EncodingChoice choice = encoding::ChooseEncoding(head);
    std::unique_ptr<encoding::Transcoder> transcoder;
    if (!choice.convertFrom.empty()) {
        transcoder = encoding::Transcoder::Open(choice.convertFrom);
        if (!transcoder && !choice.parserReadsDeclaration)
            throw LoadError(name, choice.namePosition.line, choice.namePosition.column,
                            "unknown encoding");
        // Otherwise the parser reports the name it does not know, at its place.
    }

    ParseRun run(handler, limits, prohibit_dtd, name, transcoder != nullptr);
    const auto marked = [](std::string_view bytes) {
        return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
               bytes.starts_with("\xFE\xFF");
    };
    if (!transcoder) {
        if (marked(head)) run.BeginsWithMark();
        for (std::size_t at = 0; at < head.size(); at += chunk_bytes) {
            const std::size_t size = std::min(chunk_bytes, head.size() - at);
            std::memcpy(run.Buffer(size), head.data() + at, size);
            run.FeedBuffer(size, false);
        }
        for (;;) {
            const std::size_t got = read(run.Buffer(chunk_bytes), chunk_bytes);
            count(got);
            run.FeedBuffer(got, got == 0);
            if (got == 0) return;
        }
    }

    std::string converted;
    bool first = true;
    const auto convert = [&](std::string_view bytes, bool final) {
        converted.clear();
        const auto failure = transcoder->Convert(bytes, final, &converted);
        // Converted, a mark at the start is one in UTF-8.
        if (first && marked(converted)) run.BeginsWithMark();
        first = false;
        // What converted before a failure goes to the parser first: an earlier error in the
        // markup is reported before the bytes that do not convert.
        for (std::size_t at = 0; at < converted.size(); at += chunk_bytes)
            run.Feed(converted.data() + at, std::min(chunk_bytes, converted.size() - at), false);
        if (failure)
            throw LoadError(name, failure->where.line, failure->where.column, failure->reason);
        if (final) run.Feed(nullptr, 0, true);
    };
    convert(head, head_size < kHeadBytes);
    if (head_size < kHeadBytes) return;
    std::string buffer(chunk_bytes, '\0');
    for (;;) {
        const std::size_t got = read(buffer.data(), chunk_bytes);
        count(got);
        convert(std::string_view(buffer.data(), got), got == 0);
        if (got == 0) return;
    }
}

}  // namespace

void SaxReader::parseURL(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path file_path(path);
    if (std::filesystem::is_regular_file(file_path, ignored)) {
        const std::uintmax_t size = std::filesystem::file_size(file_path, ignored);
        if (!ignored && size > limits.maxDocumentBytes)
            throw LoadError(path, 0, 0,
                            "document is larger than " + Mebibytes(limits.maxDocumentBytes));
    }

    errno = 0;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        const int error = errno;
        throw LoadError(
            path, 0, 0,
            "cannot open file" + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
    }
    ParseBytes(contentHandler, limits, prohibit_dtd_, path, chunk_bytes_,
               [&](char* buffer, std::size_t size) {
                   const std::size_t got = std::fread(buffer, 1, size, file.get());
                   if (got < size && std::ferror(file.get())) {
                       const int error = errno;
                       throw LoadError(
                           path, 0, 0,
                           "cannot read file" +
                               (error != 0 ? std::string(": ") + std::strerror(error) : ""));
                   }
                   return got;
               });
}

void SaxReader::parseText(const std::string& text, const std::string& name) {
    if (text.size() > limits.maxDocumentBytes)
        throw LoadError(name, 0, 0,
                        "document is larger than " + Mebibytes(limits.maxDocumentBytes));
    std::size_t at = 0;
    ParseBytes(contentHandler, limits, prohibit_dtd_, name, chunk_bytes_,
               [&](char* buffer, std::size_t size) {
                   const std::size_t got = std::min(size, text.size() - at);
                   std::memcpy(buffer, text.data() + at, got);
                   at += got;
                   return got;
               });
}

}  // namespace kavro::document
