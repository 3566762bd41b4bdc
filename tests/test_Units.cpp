#include "depth/Units.h"

#include <gtest/gtest.h>

#include <charconv>
#include <stdexcept>
#include <string>
#include <vector>

using namespace depth;

namespace {

// N x 30.48 written out in decimal, read back with correct rounding: the double nearest
// to the exact product.
double ExactFeetInCm(std::int64_t feet) {
    std::string digits = std::to_string(feet * 3048);
    while (digits.size() < 3)
        digits.insert(0, "0");
    digits.insert(digits.size() - 2, ".");
    double v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return v;
}

} // namespace

TEST(Units, WholeFeetAreExactLevelsAndComeBackWhole) {
    for (std::int64_t n = 0; n <= 200000; ++n) {
        const double cm = FeetToCm(n);
        ASSERT_EQ(cm, ExactFeetInCm(n)) << n << " ft";
        ASSERT_EQ(CmToUnit(cm, TDepthUnit::Feet), static_cast<double>(n)) << n << " ft";
    }
    EXPECT_EQ(CmToUnit(1234, TDepthUnit::Metres), 12.34);
    EXPECT_EQ(UnitToCm(12.5, TDepthUnit::Metres), 1250.0);
    EXPECT_EQ(UnitToCm(10, TDepthUnit::Feet), 304.8);
}

TEST(Units, ContourLevelsFollowTheBuildersRule) {
    struct Case {
        TDepthUnit unit;
        std::int32_t start, step, maxDepth;
        std::vector<double> levels;
    };
    const Case cases[] = {
        // metres: start and step in cm, levels up to MaxDepth + 1 cm
        {TDepthUnit::Metres, 100, 100, 450, {100, 200, 300, 400}},
        {TDepthUnit::Metres, 0, 250, 499, {0, 250, 500}},
        {TDepthUnit::Metres, 50, 100, 10, {}},
        // feet: start and step in whole feet, each level exactly N x 30.48 cm
        {TDepthUnit::Feet, 5, 5, 1000, {152.4, 304.8, 457.2, 609.6, 762, 914.4}},
        {TDepthUnit::Feet, 0, 10, 609, {0, 304.8, 609.6}},
        {TDepthUnit::Feet, 3, 3, 274, {91.44, 182.88, 274.32}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ContourLevelsCm(c.unit, c.start, c.step, c.maxDepth), c.levels)
            << c.start << "/" << c.step << " up to " << c.maxDepth;
    EXPECT_THROW(ContourLevelsCm(TDepthUnit::Feet, 0, 0, 100), std::invalid_argument);
    EXPECT_THROW(ContourLevelsCm(TDepthUnit::Metres, 0, -5, 100), std::invalid_argument);
    // 2^31 levels of one centimetre would not fit in memory: refused, not attempted.
    EXPECT_THROW(ContourLevelsCm(TDepthUnit::Metres, -2147483647, 1, 2147483647),
                 std::invalid_argument);
}

TEST(Units, DepthTextAndTrackNames) {
    struct Case {
        double cm;
        TDepthUnit unit;
        const char *text, *track;
    };
    const Case cases[] = {
        {1234, TDepthUnit::Metres, "12.34 m", "ISO 1234 cm"},
        {1200, TDepthUnit::Metres, "12 m", "ISO 1200 cm"},
        {1250, TDepthUnit::Metres, "12.5 m", "ISO 1250 cm"},
        {0, TDepthUnit::Metres, "0 m", "ISO 0 cm"},
        {1234.44, TDepthUnit::Feet, "40.5 ft", "ISO 40.5 ft"},
        {304.8, TDepthUnit::Feet, "10 ft", "ISO 10 ft"},
        {FeetToCm(33), TDepthUnit::Feet, "33 ft", "ISO 33 ft"},
        {100, TDepthUnit::Feet, "3.28 ft", "ISO 3.28 ft"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FormatDepth(c.cm, c.unit), c.text) << c.cm;
        EXPECT_EQ(ContourTrackName(c.cm, c.unit), c.track) << c.cm;
    }
    EXPECT_EQ(FormatDepth(1234.5678, TDepthUnit::Metres, 3), "12.346 m");
    EXPECT_STREQ(UnitSymbol(TDepthUnit::Feet), "ft");
}
