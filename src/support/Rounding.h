// Rounding as the system defines it: "Round" is half-to-even, "Trunc" is toward zero.
// Conversions that do not fit the target integer throw instead of invoking undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace support {

// Half-to-even under the default rounding mode (FE_TONEAREST). rint differs from
// nearbyint only in raising the inexact flag, and compiles to one instruction.
inline long double RoundHalfEven(long double v) {
    return __builtin_rintl(v);
}

template <class Int> Int CheckedToInt(long double whole, const char *what) {
    if (!(whole >= static_cast<long double>(std::numeric_limits<Int>::min()) &&
          whole <= static_cast<long double>(std::numeric_limits<Int>::max())))
        throw std::range_error(std::string(what) + ": value out of range");
    return static_cast<Int>(whole);
}

inline std::int64_t Round(long double v) {
    return CheckedToInt<std::int64_t>(RoundHalfEven(v), "Round");
}
inline std::int64_t Trunc(long double v) {
    return CheckedToInt<std::int64_t>(std::trunc(v), "Trunc");
}
inline std::int32_t Round32(long double v) {
    return CheckedToInt<std::int32_t>(RoundHalfEven(v), "Round");
}
inline std::int32_t Trunc32(long double v) {
    return CheckedToInt<std::int32_t>(std::trunc(v), "Trunc");
}

} // namespace support
