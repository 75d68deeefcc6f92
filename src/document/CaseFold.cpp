#include "document/CaseFold.h"

#include <locale.h>
#include <wctype.h>

namespace kavro::document {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the character at *pos and moves past it; a malformed sequence yields nothing and
// moves past its first byte. Written out because the standard converters follow the
// process's locale, which the viewer does not set.
bool NextCodePoint(std::string_view s, std::size_t* pos, char32_t* out) {
    const auto lead = static_cast<unsigned char>(s[*pos]);
    int length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        *out = lead;
        ++*pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07;
    } else {
        ++*pos;
        return false;
    }
    if (*pos + static_cast<std::size_t>(length) > s.size()) {
        ++*pos;
        return false;
    }
    for (int i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(s[*pos + static_cast<std::size_t>(i)]);
        if (!IsContinuation(byte)) {
            ++*pos;
            return false;
        }
        cp = (cp << 6) | (byte & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++*pos;
        return false;
    }
    *pos += static_cast<std::size_t>(length);
    *out = cp;
    return true;
}

void Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
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
        const std::size_t start = pos;
        char32_t cp = 0;
        if (NextCodePoint(utf8, &pos, &cp))
            Append(out, Fold(cp));
        else
            out.append(utf8.substr(start, pos - start));
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
