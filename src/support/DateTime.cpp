#include "support/DateTime.h"

#include "support/NumText.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace support {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int &year, int &month, int &day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

const long long kDelphiEpochFromUnix = -25569; // 1899-12-30 is 25569 days before 1970-01-01

long long SerialDay(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
           kDelphiEpochFromUnix;
}

// 1 = Monday ... 7 = Sunday
int DayOfWeekIso(long long serial) {
    // 1899-12-30 was a Saturday.
    long long r = ((serial % 7) + 7 + 5) % 7; // Saturday -> 5 (0-based Monday)
    return static_cast<int>(r) + 1;
}

long long StartOfIsoWeekYear(int year) {
    long long jan4 = SerialDay(year, 1, 4);
    return jan4 - (DayOfWeekIso(jan4) - 1);
}

int WeeksInYear(int year) {
    int jan1 = DayOfWeekIso(SerialDay(year, 1, 1));
    return (jan1 == 4 || (jan1 == 3 && IsLeapYear(year))) ? 53 : 52;
}

std::string_view Copy(std::string_view s, size_t from, size_t count) {
    if (from >= s.size())
        return {};
    return s.substr(from, count);
}

int IntDef(std::string_view s, int def) {
    return StrToIntDef(s, def);
}

void DropLeading(std::string_view &s, char c) {
    if (!s.empty() && s.front() == c)
        s.remove_prefix(1);
}

// The whole part of ("0" followed by `rest`) read as a number; rest begins with ".".
double LeadingZeroFraction(std::string_view rest) {
    return StrToFloatDef(std::string("0") + std::string(rest), 0.0);
}

// A time field taken from a fraction. An exponent (".5E22") can make it any size; what
// does not fit an int is no time of day either, and converting it would be undefined.
int WholeTimeField(double value) {
    const double whole = std::trunc(value);
    if (!(whole >= std::numeric_limits<int>::min() && whole <= std::numeric_limits<int>::max()))
        throw DateTimeError("Invalid argument to time encode");
    return static_cast<int>(whole);
}

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        throw DateTimeError("Invalid argument to date encode");
    return static_cast<TDateTime>(SerialDay(year, month, day));
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        throw DateTimeError("Invalid argument to time encode");
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

TDateTime EncodeDateDay(int year, int dayOfYear) {
    if (year < 1 || year > 9999 || dayOfYear < 1 || dayOfYear > (IsLeapYear(year) ? 366 : 365))
        throw DateTimeError("Invalid argument to date encode");
    return static_cast<TDateTime>(SerialDay(year, 1, 1) + dayOfYear - 1);
}

TDateTime EncodeDateWeek(int year, int week, int dayOfWeek) {
    if (year < 1 || year > 9999 || week < 1 || week > WeeksInYear(year) || dayOfWeek < 1 ||
        dayOfWeek > 7)
        throw DateTimeError("Invalid argument to date encode");
    return static_cast<TDateTime>(StartOfIsoWeekYear(year) + (week - 1) * 7 + dayOfWeek - 1);
}

DateTimeParts DecodeDateTime(TDateTime value) {
    DateTimeParts p{};
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
        p.year = 1899, p.month = 12, p.day = 30;
        return p;
    }
    long long ms = std::llround(value * 86400000.0);
    long long days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    long long msOfDay = ms - days * 86400000;
    CivilFromDays(days + kDelphiEpochFromUnix, p.year, p.month, p.day);
    p.hour = static_cast<int>(msOfDay / 3600000);
    p.minute = static_cast<int>(msOfDay / 60000 % 60);
    p.second = static_cast<int>(msOfDay / 1000 % 60);
    p.msec = static_cast<int>(msOfDay % 1000);
    return p;
}

std::string DateTimeToGPXTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2dZ", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

TDateTime ISO8601ToDateTime(std::string_view value) {
    if (value.size() <= 7)
        return 0;
    value = TrimView(value);

    std::string_view datePart = value, timePart;
    size_t split = value.find('T');
    if (split == std::string_view::npos)
        split = value.find(' ');
    if (split != std::string_view::npos) {
        datePart = value.substr(0, split);
        timePart = value.substr(split + 1);
    }
    if (datePart.size() <= 3)
        return 0;

    std::string_view zone;
    if (size_t z = timePart.find('Z'); z != std::string_view::npos) {
        zone = "Z";
        timePart = timePart.substr(0, z);
    } else if (size_t p = timePart.find('+'); p != std::string_view::npos) {
        zone = timePart.substr(p);
        timePart = timePart.substr(0, p);
    } else if (size_t m = timePart.find('-'); m != std::string_view::npos) {
        zone = timePart.substr(m);
        timePart = timePart.substr(0, m);
    }
    std::string timeText(timePart);
    if (size_t comma = timeText.find(','); comma != std::string::npos)
        timeText[comma] = '.';
    std::string_view t = timeText;

    // Date
    int year = IntDef(Copy(datePart, 0, 4), 1900);
    std::string_view rest = Copy(datePart, 4, std::string_view::npos);
    DropLeading(rest, '-');
    TDateTime date;
    if (rest.size() == 3 && rest.front() != 'W') {
        date = EncodeDateDay(year, IntDef(rest, 1));
    } else if (!rest.empty() && rest.front() == 'W') {
        int week = IntDef(Copy(rest, 1, 2), 1);
        std::string_view dayText = Copy(rest, 3, std::string_view::npos);
        int dow = 1;
        if (!dayText.empty()) {
            DropLeading(dayText, '-');
            dow = IntDef(dayText, 1);
        }
        date = EncodeDateWeek(year, week, dow);
    } else if (!rest.empty()) {
        int month = IntDef(Copy(rest, 0, 2), 1);
        std::string_view dayText = Copy(rest, 2, std::string_view::npos);
        int day = 1;
        if (!dayText.empty()) {
            DropLeading(dayText, '-');
            day = IntDef(dayText, 1);
        }
        date = EncodeDate(year, month, day);
    } else {
        date = EncodeDate(year, 1, 1);
    }

    // Time of day
    int hour = IntDef(Copy(t, 0, 2), 0), minute = 0, second = 0, msec = 0;
    auto fractionOf = [&](std::string_view frac, double unitsPerMinute, bool ofHour) {
        double f = LeadingZeroFraction(frac) * unitsPerMinute;
        if (ofHour) {
            minute = WholeTimeField(f);
            f = (f - std::trunc(f)) * 60;
        }
        second = WholeTimeField(f);
        msec = WholeTimeField((f - std::trunc(f)) * 1000);
    };
    std::string_view afterHour = Copy(t, 2, std::string_view::npos);
    if (afterHour.size() > 1) {
        DropLeading(afterHour, ':');
        if (!afterHour.empty() && afterHour.front() == '.') {
            fractionOf(afterHour, 60, true);
        } else {
            minute = IntDef(Copy(afterHour, 0, 2), 0);
            std::string_view afterMinute = Copy(afterHour, 2, std::string_view::npos);
            if (afterMinute.size() > 1) {
                DropLeading(afterMinute, ':');
                if (!afterMinute.empty() && afterMinute.front() == '.') {
                    fractionOf(afterMinute, 60, false);
                } else {
                    second = IntDef(Copy(afterMinute, 0, 2), 0);
                    std::string_view afterSecond = Copy(afterMinute, 2, std::string_view::npos);
                    if (afterSecond.size() > 1 && afterSecond.front() == '.')
                        msec = WholeTimeField(LeadingZeroFraction(afterSecond) * 1000);
                }
            }
        }
    }
    TDateTime result = date + EncodeTime(hour, minute, second, msec);

    // Zone offset
    if (zone.size() > 2) {
        char sign = zone.front();
        int offHours = IntDef(Copy(zone, 1, 2), 0), offMinutes = 0;
        std::string_view minutesText = Copy(zone, 3, std::string_view::npos);
        if (!minutesText.empty()) {
            DropLeading(minutesText, ':');
            offMinutes = IntDef(minutesText, 0);
        }
        double offset = offHours / 24.0 + offMinutes / 1440.0;
        if (sign == '+')
            result -= offset;
        else if (sign == '-')
            result += offset;
    }
    return result;
}

} // namespace support
