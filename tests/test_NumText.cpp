#include "support/NumText.h"
#include "support/Rounding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

using namespace support;

TEST(NumText, GeneralFormUpTo15SignificantDigits) {
    struct Case {
        double v;
        const char *text;
    } cases[] = {
        {8.5, "8.5"},
        {47.125, "47.125"},
        {1.0, "1"},
        {0, "0"},
        {-12.25, "-12.25"},
        {0.1, "0.1"},
        {0.0001, "0.0001"},
        {0.00009, "9E-5"},
        {1.5e-7, "1.5E-7"},
        {1e15, "1E15"},
        {999999999999999.0, "999999999999999"},
        {123456789.123456789, "123456789.123457"},
        {1.0 / 3, "0.333333333333333"},
        {-80.222416107, "-80.222416107"},
        {2.5e20, "2.5E20"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FloatToStrG15(c.v), c.text) << c.v;
}

TEST(NumText, FixedFormIgnoresLocaleAndNeverNegativeZero) {
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the output must not care
    EXPECT_EQ(FloatToStrFixed(12.5, 6), "12.500000");
    EXPECT_EQ(FloatToStrFixed(45.67, 1), "45.7");
    EXPECT_EQ(FloatToStrFixed(-12.34, 1), "-12.3");
    EXPECT_EQ(FloatToStrFixed(-0.04, 1), "0.0");
    EXPECT_EQ(FloatToStrFixed(1234, 1), "1234.0");
    std::setlocale(LC_NUMERIC, "C");
}

TEST(NumText, GroupsThousandsWithCommas) {
    const std::pair<std::int64_t, const char *> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {4671, "4,671"},
        {100000, "100,000"},
        {1234567, "1,234,567"},
        {-1000, "-1,000"},
        {-999, "-999"},
        {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(GroupThousands(value), text) << value;
}

TEST(NumText, ParsesDecimalNumbersOnly) {
    struct Case {
        const char *text;
        bool ok;
        double v;
    } cases[] = {
        {"8.5", true, 8.5},  {" -3 ", true, -3},  {"+008.5", true, 8.5}, {"1.23E3", true, 1230},
        {"1e-400", true, 0}, {".5", true, 0.5},   {"5.", true, 5},       {"", false, 0},
        {"abc", false, 0},   {"1,5", false, 0},   {"nan", false, 0},     {"inf", false, 0},
        {"1e999", false, 0}, {"0x10", false, 0},  {"1e", false, 0},      {"-", false, 0},
        {"1.2.3", false, 0}, {"12abc", false, 0},
    };
    for (const Case &c : cases) {
        auto v = TryStrToFloat(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_DOUBLE_EQ(*v, c.v) << c.text;
        }
    }
    EXPECT_EQ(StrToFloatDef("junk", -1), -1);
}

TEST(NumText, ParsesIntegersThatFit32Bits) {
    EXPECT_EQ(TryStrToInt("42"), 42);
    EXPECT_EQ(TryStrToInt(" -7 "), -7);
    EXPECT_EQ(TryStrToInt("+3"), 3);
    EXPECT_FALSE(TryStrToInt("2147483648"));
    EXPECT_FALSE(TryStrToInt("3.5"));
    EXPECT_FALSE(TryStrToInt(""));
    EXPECT_EQ(StrToIntDef("x", -1), -1);
    EXPECT_EQ(TryHexToInt("ff"), 255u);
    EXPECT_FALSE(TryHexToInt("zz"));
}

TEST(Rounding, HalfToEvenAndCheckedConversions) {
    EXPECT_EQ(Round(2.5L), 2);
    EXPECT_EQ(Round(3.5L), 4);
    EXPECT_EQ(Round(-2.5L), -2);
    EXPECT_EQ(Trunc(-2.7L), -2);
    EXPECT_THROW(Round32(3e9L), std::range_error);
    EXPECT_THROW(Trunc(std::numeric_limits<long double>::quiet_NaN()), std::range_error);
}
