// Japan's national holidays by the rules of the holiday law as amended over
// the years: fixed days, the Monday rules, the equinox days, substitute
// holidays, the citizens' holiday between two holidays, and the one-off
// holidays of the imperial household and the 2020/2021 moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Holiday {
    int32_t date;      // date key
    std::string name;  // Shift-JIS
};

// The holidays of one year (1949 to 2099), in date order.
std::vector<Holiday> JapaneseHolidaysOf(int year);

// Day of March of the vernal equinox, of September of the autumnal one.
int VernalEquinoxDay(int year);
int AutumnalEquinoxDay(int year);
