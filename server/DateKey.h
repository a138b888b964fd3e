// Calendar arithmetic on date keys (year * 10000 + month * 100 + day).
#pragma once

#include <cstdint>

// The days the calendar accepts: 1971-01-01 to 2037-12-31.
inline constexpr int32_t kFirstDateKey = 19710101;
inline constexpr int32_t kLastDateKey = 20371231;
inline constexpr int kFirstYear = 1971;
inline constexpr int kLastYear = 2037;

struct CivilDate {
    int year;
    int month;  // 1..12
    int day;    // 1..31
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// True when the key names a real Gregorian day within the accepted range.
bool IsValidDateKey(int32_t key);

int32_t ToDateKey(const CivilDate& date);
CivilDate FromDateKey(int32_t key);

// Days since 1970-01-01 and back; valid for any Gregorian date.
int64_t DaysFromCivil(const CivilDate& date);
CivilDate CivilFromDays(int64_t days);

// 0 = Sunday .. 6 = Saturday.
int Weekday(const CivilDate& date);

CivilDate AddDays(const CivilDate& date, int64_t days);
