#include "encoding/Transcoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kavro::encoding {

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

std::string HexBytes(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s0x%02X", text.empty() ? "" : " ",
                      static_cast<unsigned>(static_cast<unsigned char>(c)));
        text += hex;
    }
    return text;
}

}  // namespace

std::unique_ptr<Transcoder> Transcoder::Open(const std::string& from_encoding) {
    if (from_encoding.empty()) return nullptr;
    const iconv_t descriptor = iconv_open("UTF-8", from_encoding.c_str());
    if (descriptor == kNoDescriptor) return nullptr;
    return std::make_unique<Transcoder>(PassKey{}, descriptor, from_encoding);
}

Transcoder::Transcoder(PassKey, void* descriptor, std::string encoding)
    : descriptor_(descriptor), encoding_(std::move(encoding)) {}

Transcoder::~Transcoder() {
    iconv_close(static_cast<iconv_t>(descriptor_));
}

void Transcoder::Advance(std::string_view utf8) {
    if (utf8.empty()) return;
    // A byte order mark at the very start is no character of the text.
    if (at_start_ && utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
    at_start_ = false;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) == 0x80) continue;  // inside a character
        if (c == '\n') {
            if (!after_cr_) ++at_.line, at_.column = 1;
            after_cr_ = false;
            continue;
        }
        after_cr_ = c == '\r';
        if (after_cr_) {
            ++at_.line, at_.column = 1;
            continue;
        }
        ++at_.column;
    }
}

std::optional<ConversionFailure> Transcoder::Convert(std::string_view bytes, bool final,
                                                     std::string* out) {
    const auto cd = static_cast<iconv_t>(descriptor_);
    std::string input = std::move(carry_);
    carry_.clear();
    input.append(bytes);
    char* in = input.data();
    std::size_t in_left = input.size();
    // Converts into the free end of *out (whole input, or with null input the sequence that
    // ends a shift state); a full output grows it and goes on.
    const auto run = [&](bool flush) -> int {
        for (;;) {
            const std::size_t used = out->size();
            out->resize(used + in_left * 4 + 64);
            char* to = out->data() + used;
            std::size_t to_left = out->size() - used;
            const std::size_t result = flush ? iconv(cd, nullptr, nullptr, &to, &to_left)
                                             : iconv(cd, &in, &in_left, &to, &to_left);
            const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
            const std::size_t produced = (out->size() - used) - to_left;
            out->resize(used + produced);
            Advance(std::string_view(out->data() + used, produced));
            if (error != E2BIG) return error;
        }
    };
    const int error = run(false);
    // iconv does not say how long the bad sequence is: its first byte locates it.
    if (error == EILSEQ)
        return ConversionFailure{at_, "the byte " + HexBytes(std::string_view(in, 1)) +
                                          " begins no character of " + encoding_};
    if (error == EINVAL) {
        if (final)
            return ConversionFailure{at_, "the document ends inside a character of " + encoding_ +
                                              " (" + HexBytes(std::string_view(in, in_left)) + ")"};
        // The bytes end inside a character: its start waits for the rest.
        carry_.assign(in, in_left);
        return std::nullopt;
    }
    if (error != 0) return ConversionFailure{at_, "cannot convert from " + encoding_};
    // Stateful encodings end in their initial state.
    if (final && run(true) != 0) return ConversionFailure{at_, "cannot convert from " + encoding_};
    return std::nullopt;
}

}  // namespace kavro::encoding
