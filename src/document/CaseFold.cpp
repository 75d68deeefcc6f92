#include "document/CaseFold.h"

#include <locale.h>
#include <wctype.h>

#include "base/Utf8.h"

namespace kavro::document {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The C library's Unicode case tables, independent of the process's own locale. Null where
// the C.UTF-8 locale is missing: only ASCII letters are folded then.
locale_t UnicodeLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

char32_t Fold(char32_t cp) {
    if (cp < 0x80) return cp >= 'A' && cp <= 'Z' ? cp - 'A' + 'a' : cp;
    const locale_t locale = UnicodeLocale();
    if (!locale) return cp;
    // Lower case of the upper case: letters with two lower forms (final sigma, long s)
    // meet their partner, as simple case folding has them.
    const wint_t upper = towupper_l(static_cast<wint_t>(cp), locale);
    return static_cast<char32_t>(towlower_l(upper, locale));
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if (const auto c = base::DecodeUtf8(utf8.substr(pos))) {
            base::AppendUtf8(out, Fold(c->code));
            pos += c->length;
        } else {
            out += utf8[pos++];
        }
    }
    return out;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8)
        if (!IsContinuation(static_cast<unsigned char>(c))) ++count;
    return count;
}

}  // namespace kavro::document
