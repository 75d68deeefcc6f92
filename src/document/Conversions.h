#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavro::document {

// Conversions of text to numbers with the rules documents and settings files were written for:
// blanks around a number are ignored, fractions round half to even, "&H"/"&O" prefixes are hex
// and octal. A conversion that fails gives nullopt, never an exception.

double RoundHalfEven(double value);

// A number at the start of the text: blanks, tabs and line feeds are skipped wherever they
// occur, reading stops at the first character that cannot continue the number; no digits give 0.
double Val(std::string_view text);

// The whole text (blanks around it ignored) as a number; empty or anything else fails.
std::optional<double> ToDouble(std::string_view text);
// As ToDouble, rounded half to even, and within -32768..32767.
std::optional<std::int16_t> ToInteger(std::string_view text);
// "True"/"False" in any letter case, or a number (0 false, any other true).
std::optional<bool> ToBoolean(std::string_view text);

// Table fields hold text or nothing. Nothing reads as 0 in arithmetic; text is converted.
using Field = std::optional<std::string>;
std::optional<double> FieldNumber(const Field& field);
std::optional<std::int16_t> FieldInteger(const Field& field);
// The field as text (nothing gives the empty text).
std::string FieldText(const Field& field);

std::string ToLower(std::string_view text);  // ASCII letters only
std::string Trim(std::string_view text);     // blanks (spaces) at both ends

}  // namespace kavro::document
