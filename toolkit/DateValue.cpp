#include "toolkit/Services.h"

#include <climits>

namespace {

// Beyond any date the run-time library can represent (it stops at the year
// 3000): larger steps are refused before they overflow the breakdown.
constexpr long long kMaxDaysStep = 10000LL * 366;

int KeyOf(const std::tm& local) { return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday; }

// Normalises a date given as year - 1900, month - 1 and a day that may run
// past the month (day 0 is the last of the previous month) into `date`,
// through mktime at noon, a time every date has. False when the library
// cannot represent the date.
bool NormaliseDate(int year, int month, int day, std::tm* date) {
    std::tm noon{};
    noon.tm_year = year;
    noon.tm_mon = month;
    noon.tm_mday = day;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;  // let the library decide whether daylight saving applies
    if (std::mktime(&noon) == static_cast<time_t>(-1)) return false;
    *date = noon;
    return true;
}

// The time of `hour`:`minute`:`second` on the (normalised) `date`. Where a
// daylight-saving change skips that time (in some zones midnight itself),
// mktime may land on the neighbouring date; the result is then moved by
// whole hours back onto the date: the first time after the gap. False when
// the library cannot represent the time.
bool TimeOnDate(const std::tm& date, int hour, int minute, int second, time_t* result) {
    std::tm wanted{};
    wanted.tm_year = date.tm_year;
    wanted.tm_mon = date.tm_mon;
    wanted.tm_mday = date.tm_mday;
    wanted.tm_hour = hour;
    wanted.tm_min = minute;
    wanted.tm_sec = second;
    wanted.tm_isdst = -1;
    const int wantedKey = KeyOf(date);
    time_t time = std::mktime(&wanted);
    if (time == static_cast<time_t>(-1)) return false;
    for (int correction = 0; correction < 4; ++correction) {
        const std::tm* local = std::localtime(&time);
        if (!local) return false;
        int key = KeyOf(*local);
        if (key == wantedKey) {
            *result = time;
            return true;
        }
        time += key < wantedKey ? 3600 : -3600;
    }
    return false;
}

}  // namespace

DateValue::DateValue() : time_(std::time(nullptr)) {}

std::tm DateValue::Local() const {
    std::tm local{};
    // The run-time library keeps this buffer per thread; copy it at once.
    if (const std::tm* broken = std::localtime(&time_)) local = *broken;
    return local;
}

int DateValue::SetDate(int year, int month, int day) {
    if (year < 1900 || year > 9999 || month < -120000 || month > 120000) return 0;
    std::tm date;
    time_t midnight;
    if (!NormaliseDate(year - 1900, month - 1, day, &date) || !TimeOnDate(date, 0, 0, 0, &midnight)) return 0;
    time_ = midnight;
    return 1;
}

int DateValue::Year() const { return Local().tm_year + 1900; }
int DateValue::Month() const { return Local().tm_mon + 1; }
int DateValue::Day() const { return Local().tm_mday; }
int DateValue::Weekday() const { return Local().tm_wday; }
int DateValue::Hour() const { return Local().tm_hour; }

int DateValue::DateKey(int form) const {
    if (form != 1) return 0;
    std::tm local = Local();
    return KeyOf(local);
}

time_t DateValue::StepDays(int days) {
    std::tm local = Local();
    long long day = static_cast<long long>(local.tm_mday) + days;
    if (days < -kMaxDaysStep || days > kMaxDaysStep || day < INT_MIN || day > INT_MAX) return 0;
    // Step the day of the month and let the library carry into month and
    // year: the result is the same time of day on the target date whether or
    // not a daylight-saving change lies between (where a day is not 86,400 s).
    std::tm date;
    time_t moved;
    if (!NormaliseDate(local.tm_year, local.tm_mon, static_cast<int>(day), &date) ||
        !TimeOnDate(date, local.tm_hour, local.tm_min, local.tm_sec, &moved)) {
        return 0;
    }
    time_t change = moved - time_;
    time_ = moved;
    return change;
}

time_t DateValue::AddDays(int n) { return StepDays(n); }

time_t DateValue::SubtractDays(int n) {
    if (n == INT_MIN) return 0;
    return StepDays(-n);
}

time_t DateValue::AddMonths(int count) {
    time_t change = 0;
    for (int step = 0; step < count; ++step) {
        std::tm local = Local();
        change = StepDays(DaysInMonth(local.tm_year + 1900, local.tm_mon + 1));
        if (change == 0) break;  // out of the representable range
    }
    return change;
}

time_t DateValue::SubtractMonths(int count) {
    time_t change = 0;
    for (int step = 0; step < count; ++step) {
        std::tm local = Local();
        int year = local.tm_year + 1900;
        int month = local.tm_mon + 1;
        int previousYear = month == 1 ? year - 1 : year;
        int previousMonth = month == 1 ? 12 : month - 1;
        change = StepDays(-DaysInMonth(previousYear, previousMonth));
        if (change == 0) break;  // out of the representable range
    }
    return change;
}

int DateValue::DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}
