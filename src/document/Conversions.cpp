#include "document/Conversions.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "base/Strings.h"

namespace kavro::document {

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double floor_value = std::floor(value);
    const double diff = value - floor_value;
    if (diff > 0.5) return floor_value + 1.0;
    if (diff < 0.5) return floor_value;
    return std::fmod(floor_value, 2.0) == 0.0 ? floor_value : floor_value + 1.0;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads "&H1F" / "&O17" at text; returns the value or nullopt when it is not such a number.
std::optional<double> RadixNumber(std::string_view text, std::size_t* used) {
    if (text.size() < 3 || text[0] != '&') return std::nullopt;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[1])));
    const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0) return std::nullopt;
    std::size_t i = 2;
    std::uint64_t value = 0;
    while (i < text.size()) {
        const int c = std::tolower(static_cast<unsigned char>(text[i]));
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0 || digit >= base) break;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
        ++i;
    }
    if (i == 2) return std::nullopt;
    *used = i;
    // Hex literals of up to 4 digits are 16-bit, longer ones 32-bit, both signed.
    if (i - 2 <= 4 && base == 16 && value > 0x7FFF) return static_cast<double>(value) - 65536.0;
    if (value > 0x7FFFFFFF) return static_cast<double>(value) - 4294967296.0;
    return static_cast<double>(value);
}

// Length of the longest decimal number (sign, digits, point, exponent) at the start of text.
std::size_t DecimalLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t exp_start = j;
        while (j < text.size() && IsDigit(text[j]))
            ++j;
        if (j > exp_start) i = j;
    }
    return i;
}

double ParseDecimal(std::string_view text) {
    // Whole numbers of up to 15 digits, which colours and sizes are, are exact in a double:
    // read them here, without the copy and strtod that every text run would otherwise pay.
    std::size_t start = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    if (text.size() > start && text.size() - start <= 15 &&
        std::all_of(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(), IsDigit)) {
        double value = 0;
        for (std::size_t i = start; i < text.size(); ++i)
            value = value * 10 + (text[i] - '0');
        return text[0] == '-' ? -value : value;
    }
    std::string copy(text);
    for (char& c : copy)
        if (c == 'd' || c == 'D') c = 'e';
    errno = 0;
    return std::strtod(copy.c_str(), nullptr);
}

}  // namespace

double Val(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') compact.push_back(c);
    std::size_t used = 0;
    if (auto radix = RadixNumber(compact, &used)) return *radix;
    const std::size_t length = DecimalLength(compact);
    if (length == 0) return 0.0;
    const double value = ParseDecimal(std::string_view(compact).substr(0, length));
    return std::isfinite(value) ? value : 0.0;
}

std::optional<double> ToDouble(std::string_view text) {
    std::size_t start = 0;
    std::size_t end = text.size();
    auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
    while (start < end && is_blank(text[start]))
        ++start;
    while (end > start && is_blank(text[end - 1]))
        --end;
    const std::string_view core = text.substr(start, end - start);
    if (core.empty()) return std::nullopt;
    std::size_t used = 0;
    if (auto radix = RadixNumber(core, &used)) {
        if (used == core.size()) return radix;
        return std::nullopt;
    }
    const std::size_t length = DecimalLength(core);
    if (length == 0 || length != core.size()) return std::nullopt;
    const double value = ParseDecimal(core);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::int16_t> ToInteger(std::string_view text) {
    const auto value = ToDouble(text);
    if (!value) return std::nullopt;
    const double rounded = RoundHalfEven(*value);
    if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::optional<bool> ToBoolean(std::string_view text) {
    const std::string lower = ToLower(Trim(text));
    if (lower == "true") return true;
    if (lower == "false") return false;
    const auto value = ToDouble(text);
    if (!value) return std::nullopt;
    return *value != 0.0;
}

std::optional<double> FieldNumber(const Field& field) {
    if (!field) return 0.0;
    return ToDouble(*field);
}

std::optional<std::int16_t> FieldInteger(const Field& field) {
    if (!field) return static_cast<std::int16_t>(0);
    return ToInteger(*field);
}

std::string FieldText(const Field& field) {
    return field ? *field : std::string();
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string Trim(std::string_view text) {
    return std::string(base::Trim(text));
}

}  // namespace kavro::document
