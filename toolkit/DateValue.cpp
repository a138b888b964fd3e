#include "toolkit/Services.h"

#include <climits>

namespace {

// Beyond any date the run-time library can represent (it stops at the year
// 3000): larger steps are refused before they overflow the breakdown.
constexpr long long kMaxDaysStep = 10000LL * 366;

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
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    // Let the library decide whether daylight saving applies on that date;
    // claiming standard time would put a summer date at 01:00.
    date.tm_isdst = -1;
    time_t midnight = std::mktime(&date);
    if (midnight == static_cast<time_t>(-1)) return 0;
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
    return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

time_t DateValue::StepDays(int days) {
    std::tm local = Local();
    long long day = static_cast<long long>(local.tm_mday) + days;
    if (days < -kMaxDaysStep || days > kMaxDaysStep || day < INT_MIN || day > INT_MAX) return 0;
    // Step the day of the month and let mktime carry into month and year: the
    // result is the same time of day on the target date whether or not a
    // daylight-saving change lies between (where a day is not 86,400 s).
    local.tm_mday = static_cast<int>(day);
    local.tm_isdst = -1;
    time_t moved = std::mktime(&local);
    if (moved == static_cast<time_t>(-1)) return 0;
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
