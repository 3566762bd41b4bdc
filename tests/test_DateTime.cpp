#include "support/DateTime.h"

#include <gtest/gtest.h>

using namespace support;

namespace {
TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}
constexpr double kMs = 1.0 / 86400000.0;
} // namespace

TEST(DateTime, SerialDaysCountFrom30December1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2014, 6, 1), 41791);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
    EXPECT_THROW(EncodeDate(2014, 2, 29), DateTimeError);
    EXPECT_NO_THROW(EncodeDate(2012, 2, 29));
}

TEST(DateTime, Iso8601FormsGiveTheSameInstant) {
    const TDateTime expected = At(2014, 6, 1, 12, 34, 56);
    for (const char *text :
         {"2014-06-01T12:34:56Z", "20140601T123456Z", "2014-06-01 12:34:56", "2014-152T12:34:56Z",
          "2014-W22-7T12:34:56Z", "  2014-06-01T12:34:56Z "})
        EXPECT_NEAR(ISO8601ToDateTime(text), expected, kMs / 2) << text;
}

TEST(DateTime, Iso8601FractionsZonesAndDefaults) {
    struct Case {
        const char *text;
        TDateTime expected;
    } cases[] = {
        {"2014-06-01T12:34:56.789Z", At(2014, 6, 1, 12, 34, 56, 789)},
        {"2014-06-01T12,5Z", At(2014, 6, 1, 12, 30, 0)},
        {"2014-06-01T12:34Z", At(2014, 6, 1, 12, 34, 0)},
        {"2014-06-01T12:34.5Z", At(2014, 6, 1, 12, 34, 30)},
        {"2014-06-01", At(2014, 6, 1, 0, 0, 0)},
        {"2014-06-01T12:00:00+02:00", At(2014, 6, 1, 10, 0, 0)},
        {"2014-06-01T12:00:00-0530", At(2014, 6, 1, 17, 30, 0)},
        {"2014-06-01T23:00:00-02:00", At(2014, 6, 2, 1, 0, 0)},
        {"2014-06-01T12:00:00.1234567Z", At(2014, 6, 1, 12, 0, 0, 123)},
        {"2014-W01", At(2013, 12, 30, 0, 0, 0)}, // ISO week 1 of 2014 starts in 2013
        {"1234567", 0},                          // 7 characters or fewer: no time
        {"201T12:00:00Z", 0},                    // date part of 3 characters
        {"", 0},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(ISO8601ToDateTime(c.text), c.expected, kMs / 2) << c.text;
}

TEST(DateTime, ImpossibleDatesAndTimesAreErrors) {
    for (const char *text :
         {"2014-13-01T00:00:00Z", "2014-02-30T00:00:00Z", "2014-06-01T24:00:00Z",
          "2014-06-01T12:60:00Z", "2014-06-01T12:00:60Z", "2014-W54-1", "2014-W22-8",
          "2014-366T00:00:00Z", "0000-06-01T00:00:00Z",
          // Fractions with an exponent: fields no integer holds.
          "2014-06-01T23:.915E22Z", "2014-06-01T12:34.5E20Z", "2014-06-01T12:34:56.9E30Z"})
        EXPECT_THROW(ISO8601ToDateTime(text), DateTimeError) << text;
}

TEST(DateTime, GpxTimeDropsMilliseconds) {
    EXPECT_EQ(DateTimeToGPXTime(At(2014, 6, 1, 12, 34, 56, 999)), "2014-06-01T12:34:56Z");
    EXPECT_EQ(DateTimeToGPXTime(At(1999, 12, 31, 23, 59, 59)), "1999-12-31T23:59:59Z");
    EXPECT_EQ(DateTimeToGPXTime(At(1850, 3, 4, 5, 6, 7)), "1850-03-04T05:06:07Z");
    auto p = DecodeDateTime(At(2020, 2, 29, 1, 2, 3, 4));
    EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 20200229);
    EXPECT_EQ(p.msec, 4);
}
