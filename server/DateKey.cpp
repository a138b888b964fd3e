#include "server/DateKey.h"

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : lengths[month - 1];
}

bool IsValidDateKey(int32_t key) {
    if (key < kFirstDateKey || key > kLastDateKey) return false;
    CivilDate date = FromDateKey(key);
    return date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= DaysInMonth(date.year, date.month);
}

int32_t ToDateKey(const CivilDate& date) {
    return date.year * 10000 + date.month * 100 + date.day;
}

CivilDate FromDateKey(int32_t key) {
    return CivilDate{key / 10000, key / 100 % 100, key % 100};
}

// The well-known era-based conversion between Gregorian dates and a day count.
int64_t DaysFromCivil(const CivilDate& date) {
    int64_t year = date.year - (date.month <= 2 ? 1 : 0);
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t shiftedMonth = date.month + (date.month > 2 ? -3 : 9);
    int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + date.day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(int64_t days) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return CivilDate{year, month, day};
}

int Weekday(const CivilDate& date) {
    int64_t days = DaysFromCivil(date);  // 1970-01-01 was a Thursday
    int64_t weekday = (days + 4) % 7;
    return static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
}

CivilDate AddDays(const CivilDate& date, int64_t days) {
    return CivilFromDays(DaysFromCivil(date) + days);
}
