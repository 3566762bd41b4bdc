#include "support/NumText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace support {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        c = LowerChar(c);
    return out;
}

bool EqualsNoCaseSameSize(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i]))
            return false;
    return true;
}

std::string FloatToStrG15(double value) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    // 15 significant digits: d.dddddddddddddde[+-]x
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string_view sci(buf, static_cast<size_t>(res.ptr - buf));
    bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    size_t ePos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + ePos + 1 + (sci[ePos + 1] == '+'), sci.data() + sci.size(),
                    exponent);
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (IsDigit(c))
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= 15 || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
    } else {
        out.append(digits, 0, intDigits);
        out += '.';
        out.append(digits, intDigits, std::string::npos);
    }
    return out;
}

std::string GroupThousands(std::int64_t value) {
    const std::string digits = std::to_string(value);
    const std::size_t first = value < 0 ? 1 : 0; // after the sign
    std::string out = digits.substr(0, first);
    for (std::size_t i = first; i < digits.size(); ++i) {
        if (i > first && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string FloatToStrFixed(double value, int decimals) {
    if (!std::isfinite(value))
        return FloatToStrG15(value);
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    std::string out(buf, res.ptr);
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

std::string FloatToStrF(double value, int precision, int digits) {
    if (!std::isfinite(value) || value == 0)
        return FloatToStrFixed(value, digits);
    char buf[64];
    auto res =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    std::string sci(buf, res.ptr);
    const std::size_t e = sci.find('e');
    int exponent = std::stoi(sci.substr(e + 1));
    if (exponent >= precision) {
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return sci.substr(0, e) + exp;
    }
    return FloatToStrFixed(std::strtod(sci.c_str(), nullptr), digits);
}

std::optional<double> TryStrToFloat(std::string_view text) {
    text = TrimView(text);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    size_t start = i, mantissaDigits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++mantissaDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        size_t expStart = j;
        while (j < text.size() && IsDigit(text[j]))
            ++j;
        if (j == expStart)
            return std::nullopt;
        i = j;
    }
    if (i != text.size())
        return std::nullopt;
    double value = 0;
    auto res = std::from_chars(text.data() + start, text.data() + text.size(), value,
                               std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow gives zero; overflow is not a number.
        bool tiny = text.find_first_of("eE") != std::string_view::npos &&
                    text[text.find_first_of("eE") + 1] == '-';
        if (!tiny)
            return std::nullopt;
        value = 0;
    } else if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

double StrToFloatDef(std::string_view text, double def) {
    auto v = TryStrToFloat(text);
    return v ? *v : def;
}

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    text = TrimView(text);
    // Short plain digit runs (the fields of every time stamp) need no general parser.
    if (!text.empty() && text.size() <= 9 &&
        std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c); })) {
        std::int32_t value = 0;
        for (char c : text)
            value = value * 10 + (c - '0');
        return value;
    }
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || (text.front() == '-' && text.size() == 1))
        return std::nullopt;
    std::int32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t def) {
    auto v = TryStrToInt(text);
    return v ? *v : def;
}

std::optional<std::uint32_t> TryHexToInt(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace support
