// DateValue in the local time zone of the run. ctest runs this program in a
// zone without daylight saving (Asia/Tokyo), in two zones with it
// (America/New_York, Europe/Berlin) and in one whose spring change skips
// midnight itself (America/Havana). RDZ_TEST_ZONE_DST says whether the zone
// has daylight saving, RDZ_TEST_MIDNIGHT_SKIPPED whether midnight can be
// missing.
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Wine hands the Unix TZ name ("America/New_York") to the program's
// environment, where the C run-time would misread it as a TZ rule string.
// Without the variable the run-time uses the system's zone, as on Windows.
const bool zoneFromSystem = [] {
    _putenv("TZ=");
    _tzset();
    return true;
}();

bool EnvironmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string(value) == "1";
}

bool ZoneHasDaylightSaving() {
    TIME_ZONE_INFORMATION zone{};
    return GetTimeZoneInformation(&zone) != TIME_ZONE_ID_UNKNOWN && zone.DaylightDate.wMonth != 0 &&
           zone.DaylightBias != 0;
}

// The date key after `key` by plain calendar counting.
int NextDateKey(int key) {
    int year = key / 10000, month = key / 100 % 100, day = key % 100;
    if (++day > DateValue::DaysInMonth(year, month)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    return year * 10000 + month * 100 + day;
}

DateValue At(int year, int month, int day) {
    DateValue date;
    EXPECT_EQ(date.SetDate(year, month, day), 1);
    return date;
}

TEST(DateValueZone, TheRunIsInTheZoneItWasStartedFor) {
    ASSERT_TRUE(zoneFromSystem);
    const char* expected = std::getenv("RDZ_TEST_ZONE_DST");
    if (!expected) GTEST_SKIP() << "started without RDZ_TEST_ZONE_DST";
    EXPECT_EQ(ZoneHasDaylightSaving(), std::string(expected) == "1");
}

TEST(DateValue, DaysInMonthFollowsTheGregorianLeapYears) {
    EXPECT_EQ(DateValue::DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DateValue::DaysInMonth(2004, 2), 29);
    EXPECT_EQ(DateValue::DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DateValue::DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DateValue::DaysInMonth(2000, 1), 31);
    EXPECT_EQ(DateValue::DaysInMonth(2006, 4), 30);
    EXPECT_EQ(DateValue::DaysInMonth(2006, 0), 0);
    EXPECT_EQ(DateValue::DaysInMonth(2006, 13), 0);
}

TEST(DateValue, MonthStepsMoveByTheLengthOfAMonthInDays) {
    DateValue back = At(2006, 3, 31);
    back.SubtractMonths(1);  // the 28 days of February 2006
    EXPECT_EQ(back.DateKey(1), 20060303);
    EXPECT_EQ(back.Hour(), 0);

    DateValue forward = At(2006, 1, 31);
    forward.AddMonths(1);  // the 31 days of January
    EXPECT_EQ(forward.DateKey(1), 20060303);
    EXPECT_EQ(forward.Hour(), 0);

    DateValue january = At(2007, 1, 15);
    january.SubtractMonths(1);  // the previous month is December 2006
    EXPECT_EQ(january.DateKey(1), 20061215);
}

TEST(DateValue, DateKeyAndBreakdown) {
    DateValue date = At(2006, 12, 31);
    EXPECT_EQ(date.DateKey(1), 20061231);
    EXPECT_EQ(date.DateKey(0), 0);
    EXPECT_EQ(date.DateKey(2), 0);
    EXPECT_EQ(date.Year(), 2006);
    EXPECT_EQ(date.Month(), 12);
    EXPECT_EQ(date.Day(), 31);
    EXPECT_EQ(date.Weekday(), 0);  // a Sunday
    DateValue copy(date);
    EXPECT_EQ(copy.Time(), date.Time());
}

TEST(DateValue, SetDateGivesLocalMidnightSummerAndWinter) {
    EXPECT_EQ(At(2006, 7, 1).Hour(), 0);
    EXPECT_EQ(At(2006, 1, 1).Hour(), 0);
    EXPECT_EQ(At(2006, 3, 0).DateKey(1), 20060228);  // day 0: the day before the 1st
}

TEST(DateValue, SetDateRefusesAYearOutOfRangeAndKeepsTheValue) {
    DateValue date = At(2006, 5, 5);
    time_t before = date.Time();
    EXPECT_EQ(date.SetDate(-2147483647 - 1, 1, 1), 0);
    EXPECT_EQ(date.SetDate(100000, 1, 1), 0);
    EXPECT_EQ(date.SetDate(2006, -2147483647 - 1, 1), 0);
    EXPECT_EQ(date.Time(), before);
    EXPECT_EQ(date.AddDays(2147483647), 0);
    EXPECT_EQ(date.SubtractDays(-2147483647 - 1), 0);
    EXPECT_EQ(date.Time(), before);
}

TEST(DateValue, WithoutDaylightSavingADayIs86400Seconds) {
    if (ZoneHasDaylightSaving()) GTEST_SKIP() << "the zone of this run has daylight saving";
    DateValue date = At(2006, 3, 31);
    EXPECT_EQ(date.SubtractMonths(1), -28 * 86400);
    EXPECT_EQ(date.AddDays(1), 86400);
    EXPECT_EQ(date.SubtractDays(2), -2 * 86400);
    DateValue january = At(2006, 1, 31);
    EXPECT_EQ(january.AddMonths(1), 31 * 86400);
}

// Every step lands on the next calendar date at midnight; in a zone with
// daylight saving, adding 86,400 seconds would repeat the autumn change's
// date (00:00 + 24 h = 23:00 the same day) and shift every later day.
// Where midnight is skipped, the step takes the first hour after it and
// keeps that time of day from then on; the date is what must stay right.
TEST(DateValueAcrossDaylightSaving, DayStepsVisitEveryDateOnceAtMidnight) {
    const int latestHour = EnvironmentFlag("RDZ_TEST_MIDNIGHT_SKIPPED") ? 1 : 0;
    DateValue date = At(2006, 1, 1);
    int key = date.DateKey(1);
    for (int step = 0; step < 2 * 366; ++step) {
        date.AddDays(1);
        key = NextDateKey(key);
        ASSERT_EQ(date.DateKey(1), key) << "after " << step + 1 << " days";
        ASSERT_LE(date.Hour(), latestHour) << "on " << key;
    }
    for (int step = 0; step < 2 * 366; ++step) {
        date.SubtractDays(1);
        ASSERT_LE(date.Hour(), latestHour);
    }
    EXPECT_EQ(date.DateKey(1), 20060101);
}

TEST(DateValueAcrossDaylightSaving, SetDateStaysOnTheDateItWasGiven) {
    DateValue date;
    for (int month = 1; month <= 12; ++month) {
        for (int day = 1; day <= DateValue::DaysInMonth(2006, month); ++day) {
            ASSERT_EQ(date.SetDate(2006, month, day), 1);
            ASSERT_EQ(date.DateKey(1), 20060000 + month * 100 + day);
        }
    }
}

TEST(DateValueAcrossDaylightSaving, MonthStepsVisitTheFirstOfEveryMonth) {
    DateValue date = At(2006, 1, 1);
    for (int month = 1; month <= 24; ++month) {
        date.AddMonths(1);
        int year = 2006 + month / 12, expectedMonth = month % 12 + 1;
        ASSERT_EQ(date.DateKey(1), year * 10000 + expectedMonth * 100 + 1);
        ASSERT_EQ(date.Hour(), 0);
    }
    for (int month = 0; month < 24; ++month) date.SubtractMonths(1);
    EXPECT_EQ(date.DateKey(1), 20060101);

    DateValue end = At(2006, 11, 30);
    end.SubtractMonths(1);  // back the 31 days of October, across the autumn change
    EXPECT_EQ(end.DateKey(1), 20061030);
}

TEST(DateValueAcrossDaylightSaving, ADayStepIsTheRealLengthOfTheDay) {
    if (!ZoneHasDaylightSaving()) GTEST_SKIP() << "the zone of this run has no daylight saving";
    if (EnvironmentFlag("RDZ_TEST_MIDNIGHT_SKIPPED")) GTEST_SKIP() << "midnight is not every day's start here";
    DateValue date = At(2006, 1, 1);
    int shortDays = 0, longDays = 0;
    for (int day = 0; day < 365; ++day) {
        time_t change = date.AddDays(1);
        if (change == 23 * 3600) ++shortDays;
        else if (change == 25 * 3600) ++longDays;
        else ASSERT_EQ(change, 86400);
    }
    EXPECT_EQ(shortDays, 1);
    EXPECT_EQ(longDays, 1);
    // One step over the whole year: the short and the long day cancel out.
    DateValue year = At(2006, 1, 1);
    EXPECT_EQ(year.AddDays(365), 365 * 86400);
    EXPECT_EQ(year.DateKey(1), 20070101);
}

}  // namespace
