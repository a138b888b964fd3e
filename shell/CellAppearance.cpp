#include "shell/CellAppearance.h"

#include "text/ShiftJis.h"
#include "text/TextTools.h"

#include <cstdio>

namespace cell_appearance {

namespace {

const char* const kWeekdayNames[7] = {"日", "月", "火", "水", "木", "金", "土"};

}  // namespace

uint32_t DayFlags(int dateKey, int month, int shownMonth, int todayKey) {
    if (month != shownMonth) return DAY_OTHER_MONTH;
    return dateKey == todayKey ? DAY_TODAY : 0;
}

const char* WeekdayName(int weekday) {
    return weekday >= 0 && weekday < 7 ? kWeekdayNames[weekday] : "";
}

COLORREF DayTextColour(uint32_t flags, int weekday) {
    if ((flags & DAY_HOLIDAY) || weekday == 0) return kRed;
    if (weekday == 6) return kBlue;
    return kBlack;
}

COLORREF DayBackgroundColour(uint32_t flags, int weekday) {
    if (flags & DAY_TODAY) return kTodayBackground;
    if (flags & DAY_OTHER_MONTH) return kOtherMonthBackground;
    if ((flags & DAY_HOLIDAY) || weekday == 0) return kHolidayBackground;
    if (weekday == 6) return kSaturdayBackground;
    return kPlainBackground;
}

COLORREF WeekdayTextColour(int index) {
    if (index == 0) return kRed;
    if (index == 6) return kBlue;
    return kBlack;
}

std::string TitleText(int year, int month) {
    char text[64];
    std::snprintf(text, sizeof text, "%d 年 %d 月のスケジュール", year, month);
    return text;
}

std::string HeadText(int day, const DateInfoRecord* dateInfo) {
    std::string text = FormatInt(day);
    if (dateInfo) {
        text += ' ';
        text += FieldText(dateInfo->name);
    }
    return text;
}

namespace {

// A schedule's line when its genre is in `filter`: "【genre】text" + CR LF
// (no brackets without a genre name), once for each time the filter names it.
void AppendListed(std::string& text, const ScheduleRecord& schedule, const std::vector<int32_t>& filter) {
    for (int32_t genreId : filter) {
        if (genreId != schedule.genreId) continue;
        std::string_view genreName = FieldText(schedule.genreName);
        if (!genreName.empty()) {
            text += "【";
            text += genreName;
            text += "】";
        }
        text += FieldText(schedule.text);
        text += "\r\n";
    }
}

}  // namespace

std::string ScheduleListText(const std::vector<ScheduleRecord>& schedules, const std::vector<int32_t>& filter) {
    std::string text;
    for (const ScheduleRecord& schedule : schedules) AppendListed(text, schedule, filter);
    return text;
}

std::string ScheduleListText(const std::vector<const ScheduleRecord*>& schedules, const std::vector<int32_t>& filter) {
    std::string text;
    for (const ScheduleRecord* schedule : schedules) AppendListed(text, *schedule, filter);
    return text;
}

std::string StatusText(int year, int month, int day, int weekday, const std::vector<ScheduleRecord>& schedules) {
    std::string text;
    text.reserve(300);
    char date[64];
    std::snprintf(date, sizeof date, "%d年%d月%d日(%s) ", year, month, day, WeekdayName(weekday));
    text = date;
    if (!schedules.empty()) {
        text += FieldText(schedules.front().text);
        if (schedules.size() >= 2) text += " 他";
    }
    return std::string(CutToWidth(text, kStatusTextMax));
}

}  // namespace cell_appearance
