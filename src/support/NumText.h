// Number text with "." as decimal separator whatever the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace support {

// Shortest general form with up to 15 significant digits; scientific ("1.5E20",
// "1E-5") for magnitudes of 1e15 or more and non-zero magnitudes below 0.0001.
std::string FloatToStrG15(double value);

// Fixed notation rounded to `precision` significant digits and shown with `digits`
// decimals (12.3456 with 4 and 1 gives "12.3"); scientific ("1.235E+004") when the
// integer part needs more than `precision` digits.
std::string FloatToStrF(double value, int precision, int digits);

// Fixed form with exactly `decimals` decimals, correctly rounded; never "-0.0".
std::string FloatToStrFixed(double value, int decimals);

// An integer with "," between groups of three digits: 4671 gives "4,671".
std::string GroupThousands(std::int64_t value);

// A decimal number: optional blanks around it, an optional sign, digits with an
// optional "." and an optional exponent. Infinity, NaN, hexadecimal and values
// that overflow a double are not numbers.
std::optional<double> TryStrToFloat(std::string_view text);
double StrToFloatDef(std::string_view text, double def);

// A decimal integer (optional blanks and sign) that fits 32 bits.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

// Hexadecimal digits only, no prefix; nullopt when empty or not hexadecimal.
std::optional<std::uint32_t> TryHexToInt(std::string_view text);

std::string_view TrimView(std::string_view text);
std::string Trim(std::string_view text);
std::string LowerAscii(std::string_view text);
bool EqualsNoCaseSameSize(std::string_view a, std::string_view b);
// Inline so that the common mismatch, a different length, costs no call.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && EqualsNoCaseSameSize(a, b);
}

} // namespace support
