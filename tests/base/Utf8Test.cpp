#include "base/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kavro::base {
namespace {

// Every reader of UTF-8 follows this one rule; the cases sit at the edges of each form.
TEST(Utf8Test, DecodesShortestFormsAndRefusesEverythingElse) {
    struct Case {
        std::string_view bytes;
        char32_t code;  // 0 with length 0: malformed
        std::size_t length;
    };
    const Case cases[] = {
        {"A", U'A', 1},
        {"\x7F", 0x7F, 1},
        {"\xC2\x80", 0x80, 2},  // the least two-byte character
        {"\xC1\xBF", 0, 0},     // overlong two-byte form of U+007F
        {"\xC0\x80", 0, 0},     // overlong NUL
        {"\xDF\xBF", 0x7FF, 2},
        {"\xE0\xA0\x80", 0x800, 3},   // the least three-byte character
        {"\xE0\x9F\xBF", 0, 0},       // overlong U+07FF
        {"\xE0\x80\x80", 0, 0},       // overlong NUL
        {"\xED\x9F\xBF", 0xD7FF, 3},  // just below the surrogates
        {"\xED\xA0\x80", 0, 0},       // U+D800, a surrogate
        {"\xED\xBF\xBF", 0, 0},       // U+DFFF
        {"\xEE\x80\x80", 0xE000, 3},  // just above them
        {"\xEF\xBF\xBF", 0xFFFF, 3},
        {"\xF0\x90\x80\x80", 0x10000, 4},   // the least four-byte character
        {"\xF0\x8F\xBF\xBF", 0, 0},         // overlong U+FFFF
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},  // the last code point
        {"\xF4\x90\x80\x80", 0, 0},         // U+110000
        {"\xF5\x80\x80\x80", 0, 0},         // no such lead byte
        {"\x80", 0, 0},                     // a continuation byte alone
        {"\xE3\x81", 0, 0},                 // cut off
        {"\xE3\x41\x81", 0, 0},             // a missing continuation byte
        {"\xE3\x81\x82rest", 0x3042, 3},    // the rest is not read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        const std::optional<Utf8Char> decoded = DecodeUtf8(c.bytes);
        ASSERT_EQ(decoded.has_value(), c.length != 0);
        if (!decoded) continue;
        EXPECT_EQ(decoded->code, c.code);
        EXPECT_EQ(decoded->length, c.length);
    }
}

TEST(Utf8Test, AppendsWhatItDecodes) {
    for (const char32_t code :
         {char32_t{0}, char32_t{0x7F}, char32_t{0x80}, char32_t{0x7FF}, char32_t{0x800},
          char32_t{0xFFFF}, char32_t{0x10000}, char32_t{0x10FFFF}}) {
        std::string bytes;
        AppendUtf8(bytes, code);
        const std::optional<Utf8Char> decoded = DecodeUtf8(bytes);
        ASSERT_TRUE(decoded.has_value()) << static_cast<unsigned long>(code);
        EXPECT_EQ(decoded->code, code);
        EXPECT_EQ(decoded->length, bytes.size());
    }
}

}  // namespace
}  // namespace kavro::base
