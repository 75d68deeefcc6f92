#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavro::encoding {

// A place in the converted text, counted as the XML reader counts: lines from 1 (a carriage
// return, a line feed or the pair of both ends a line), columns in characters from 1.
struct TextPosition {
    long line = 1;
    long column = 1;
};

// Why a conversion stopped, and where.
struct ConversionFailure {
    TextPosition where;
    std::string reason;
};

// A streaming conversion of text in some encoding to UTF-8 through the C library's iconv. It
// keeps the position reached in the converted text, so that a byte that cannot be converted is
// reported at the line and column the reader would give it.
class Transcoder {
  public:
    // Nothing when iconv does not know the encoding.
    static std::unique_ptr<Transcoder> Open(const std::string& from_encoding);
    ~Transcoder();
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    // Converts the next bytes and appends the UTF-8 text to *out. A character split by the end
    // of the bytes is kept for the next call; with final it is an error. After a failure, *out
    // holds everything converted before the failing bytes.
    std::optional<ConversionFailure> Convert(std::string_view bytes, bool final, std::string* out);

    const std::string& Encoding() const { return encoding_; }

  private:
    struct PassKey {
        explicit PassKey() = default;
    };

  public:
    Transcoder(PassKey, void* descriptor, std::string encoding);

  private:
    void Advance(std::string_view utf8);

    void* descriptor_;  // iconv_t
    std::string encoding_;
    std::string carry_;  // the start of a character cut by the end of the last bytes
    TextPosition at_;
    bool after_cr_ = false;
    bool at_start_ = true;
};

}  // namespace kavro::encoding
