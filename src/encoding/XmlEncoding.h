#pragma once

#include <string>
#include <string_view>

#include "encoding/Transcoder.h"

namespace kavro::encoding {

// How an XML file's bytes are to be read, decided from its first bytes (the byte order mark,
// the byte pattern of "<?xm" and the encoding the XML declaration names).
struct EncodingChoice {
    // Empty: the XML parser reads the bytes itself (UTF-8, UTF-16, the encodings it knows, or a
    // file without a declaration). Otherwise the name to convert from with iconv.
    std::string convertFrom;
    // The parser reads the declaration itself and reports a name iconv does not know at its
    // place. False for files the parser cannot read at all (UTF-32, EBCDIC).
    bool parserReadsDeclaration = true;
    // Where the declaration's encoding name starts.
    TextPosition namePosition;
};

// head: the file's first bytes, enough to hold the XML declaration.
EncodingChoice ChooseEncoding(std::string_view head);

// The encoding name of an XML declaration at the start of ASCII text, and where it starts;
// empty when there is no declaration or it names no encoding.
std::string DeclaredEncoding(std::string_view text, TextPosition* where);

}  // namespace kavro::encoding
