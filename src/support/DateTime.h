// Date-time values: days since 1899-12-30 in a double, the fraction being the time of day.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace support {

using TDateTime = double;

// Raised for a date or time of day that does not exist (month 13, 30 February, hour 24, ...).
struct DateTimeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

TDateTime EncodeDate(int year, int month, int day);               // years 1..9999
TDateTime EncodeTime(int hour, int minute, int second, int msec); // 0..23, 0..59, 0..59, 0..999
TDateTime EncodeDateDay(int year, int dayOfYear);
TDateTime EncodeDateWeek(int year, int week, int dayOfWeek); // ISO 8601 weeks, Monday = 1

struct DateTimeParts {
    int year, month, day, hour, minute, second, msec;
};
// Splits a value into calendar parts; the time of day is taken to the nearest millisecond.
DateTimeParts DecodeDateTime(TDateTime value);

// The wide range of ISO 8601 forms found in GPX and KML files; 0 when the text is not a time.
// Throws DateTimeError for an impossible date or time of day.
TDateTime ISO8601ToDateTime(std::string_view value);

// "yyyy-mm-ddThh:nn:ssZ"; milliseconds are dropped.
std::string DateTimeToGPXTime(TDateTime value);

} // namespace support
