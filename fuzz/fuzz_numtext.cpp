// The number parsers and the shortest number text. The input is read as text by every
// parser; its first 8 bytes are also taken as a double for the writers. What is written
// must read back: numbers go through text in every file the program saves.
#include "FuzzUtil.h"

#include "support/NumText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

void CheckFloatText(double x) {
    // Above this, 15 digits round up past the largest double ("1.79769313486232E308"),
    // which no parser reads back; a depth or coordinate never comes near it.
    if (!(std::fabs(x) <= 1.79769313486231e308))
        return;
    const std::string g = support::FloatToStrG15(x);
    const auto back = support::TryStrToFloat(g);
    if (!back)
        fuzzutil::Fail("FloatToStrG15 wrote \"" + g + "\", which is not a number");
    if (support::FloatToStrG15(*back) != g)
        fuzzutil::Fail("\"" + g + "\" reads back as " + support::FloatToStrG15(*back));
    // 15 significant digits: the relative error is at most half a unit of the 15th, plus
    // the rounding of the decimal text to a double.
    if (std::isnormal(x) && !(std::fabs(*back - x) <= 5.2e-15 * std::fabs(x)))
        fuzzutil::Fail("\"" + g + "\" is too far from the value written");

    for (int decimals : {0, 1, 4}) {
        const std::string f = support::FloatToStrFixed(x, decimals);
        if (!support::TryStrToFloat(f))
            fuzzutil::Fail("FloatToStrFixed wrote \"" + f + "\", which is not a number");
        if (f.rfind("-", 0) == 0 && f.find_first_not_of("-0.") == std::string::npos)
            fuzzutil::Fail("FloatToStrFixed wrote a negative zero \"" + f + "\"");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text = fuzzutil::AsText(data, size);

    if (auto x = support::TryStrToFloat(text)) {
        if (!std::isfinite(*x))
            fuzzutil::Fail("TryStrToFloat accepted a value that is not finite");
        CheckFloatText(*x);
    }
    (void)support::StrToFloatDef(text, -1);

    if (auto i = support::TryStrToInt(text)) {
        if (support::TryStrToInt(std::to_string(*i)) != i)
            fuzzutil::Fail("TryStrToInt does not read back " + std::to_string(*i));
    }
    (void)support::StrToIntDef(text, -1);

    if (auto h = support::TryHexToInt(text)) {
        char buf[16];
        auto r = std::to_chars(buf, buf + sizeof buf, *h, 16);
        if (support::TryHexToInt(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf))) != h)
            fuzzutil::Fail("TryHexToInt does not read back its own value");
    }

    if (size >= 8) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, data, 8);
        CheckFloatText(std::bit_cast<double>(bits));
    }
    return 0;
}
