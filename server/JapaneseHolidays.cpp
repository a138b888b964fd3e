#include "server/JapaneseHolidays.h"

#include "server/DateKey.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// The n-th Monday (n from 1) of a month.
int NthMonday(int year, int month, int n) {
    int firstWeekday = Weekday(CivilDate{year, month, 1});
    int firstMonday = 1 + (8 - firstWeekday) % 7;
    return firstMonday + (n - 1) * 7;
}

// Holidays named by the law itself, before substitutes and the days between.
std::map<int32_t, std::string> NamedHolidays(int year) {
    std::map<int32_t, std::string> days;
    auto add = [&](int month, int day, const char* name) {
        days[ToDateKey(CivilDate{year, month, day})] = name;
    };

    add(1, 1, "元日");
    if (year <= 1999) add(1, 15, "成人の日");
    else add(1, NthMonday(year, 1, 2), "成人の日");
    if (year >= 1967) add(2, 11, "建国記念の日");
    if (year >= 2020) add(2, 23, "天皇誕生日");
    add(3, VernalEquinoxDay(year), "春分の日");
    if (year <= 1988) add(4, 29, "天皇誕生日");
    else if (year <= 2006) add(4, 29, "みどりの日");
    else add(4, 29, "昭和の日");
    add(5, 3, "憲法記念日");
    if (year >= 2007) add(5, 4, "みどりの日");
    add(5, 5, "こどもの日");
    if (year >= 1996 && year <= 2002) add(7, 20, "海の日");
    else if (year == 2020) add(7, 23, "海の日");
    else if (year == 2021) add(7, 22, "海の日");
    else if (year >= 2003) add(7, NthMonday(year, 7, 3), "海の日");
    if (year == 2020) add(8, 10, "山の日");
    else if (year == 2021) add(8, 8, "山の日");
    else if (year >= 2016) add(8, 11, "山の日");
    if (year >= 1966 && year <= 2002) add(9, 15, "敬老の日");
    else if (year >= 2003) add(9, NthMonday(year, 9, 3), "敬老の日");
    add(9, AutumnalEquinoxDay(year), "秋分の日");
    if (year >= 1966 && year <= 1999) add(10, 10, "体育の日");
    else if (year >= 2000 && year <= 2019) add(10, NthMonday(year, 10, 2), "体育の日");
    else if (year == 2020) add(7, 24, "スポーツの日");
    else if (year == 2021) add(7, 23, "スポーツの日");
    else if (year >= 2022) add(10, NthMonday(year, 10, 2), "スポーツの日");
    add(11, 3, "文化の日");
    add(11, 23, "勤労感謝の日");
    if (year >= 1989 && year <= 2018) add(12, 23, "天皇誕生日");

    // Holidays set by their own laws.
    if (year == 1959) add(4, 10, "皇太子明仁親王の結婚の儀");
    if (year == 1989) add(2, 24, "昭和天皇の大喪の礼");
    if (year == 1990) add(11, 12, "即位礼正殿の儀");
    if (year == 1993) add(6, 9, "皇太子徳仁親王の結婚の儀");
    if (year == 2019) {
        add(5, 1, "天皇の即位の日");
        add(10, 22, "即位礼正殿の儀");
    }
    return days;
}

// The equinox formulas of the national observatory, good from 1900 to 2099.
int EquinoxDay(int year, double base1900, double base1980) {
    if (year < 1980) {
        // (year - 1983) / 4 is negative here and truncates toward zero, as
        // the formula's integer part does.
        return static_cast<int>(std::floor(base1900 + 0.242194 * (year - 1980) - (year - 1983) / 4));
    }
    return static_cast<int>(std::floor(base1980 + 0.242194 * (year - 1980) - std::floor((year - 1980) / 4.0)));
}

}  // namespace

int VernalEquinoxDay(int year) {
    return EquinoxDay(year, 20.8357, 20.8431);
}

int AutumnalEquinoxDay(int year) {
    return EquinoxDay(year, 23.2588, 23.2488);
}

std::vector<Holiday> JapaneseHolidaysOf(int year) {
    std::map<int32_t, std::string> named = NamedHolidays(year);
    std::map<int32_t, std::string> all = named;
    auto isNamed = [&](const CivilDate& date) { return named.count(ToDateKey(date)) != 0; };

    // Substitute holidays (from 1973-04-12): a holiday on a Sunday moves the
    // rest day to the next Monday; from 2007 to the next day that is not a
    // holiday itself.
    for (const auto& [key, name] : named) {
        CivilDate date = FromDateKey(key);
        if (key < 19730412 || Weekday(date) != 0) continue;
        CivilDate substitute = AddDays(date, 1);
        if (year >= 2007) {
            while (isNamed(substitute)) substitute = AddDays(substitute, 1);
        } else if (isNamed(substitute)) {
            continue;
        }
        all.emplace(ToDateKey(substitute), "振替休日");
    }

    // The citizens' holiday (from 1986): a day between two holidays that is
    // not a holiday itself; before 2007 not on a Sunday either.
    if (year >= 1986) {
        for (const auto& [key, name] : named) {
            CivilDate between = AddDays(FromDateKey(key), 1);
            CivilDate after = AddDays(between, 1);
            if (isNamed(between) || !isNamed(after) || all.count(ToDateKey(between)) != 0) continue;
            if (year < 2007 && Weekday(between) == 0) continue;
            all.emplace(ToDateKey(between), "国民の休日");
        }
    }

    std::vector<Holiday> holidays;
    for (const auto& [key, name] : all) {
        if (FromDateKey(key).year == year) holidays.push_back(Holiday{key, name});
    }
    return holidays;
}
