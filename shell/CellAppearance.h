// What the calendar cells show, free of windows: the colour tables, the day
// flags, the head text, the filtered schedule lines and the status-bar text
// of a selected day.
#pragma once

#include "protocol/Records.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Flags of a day cell.
inline constexpr uint32_t DAY_HOLIDAY = 0x0001;
inline constexpr uint32_t DAY_TODAY = 0x1000;
inline constexpr uint32_t DAY_OTHER_MONTH = 0x2000;

namespace cell_appearance {

inline constexpr COLORREF kRed = 0x0000FF;
inline constexpr COLORREF kBlue = 0xFF0000;
inline constexpr COLORREF kBlack = 0x000000;
inline constexpr COLORREF kTodayBackground = 0xC0FFC0;
inline constexpr COLORREF kOtherMonthBackground = 0xEEFFEE;
inline constexpr COLORREF kHolidayBackground = 0xC0C0FF;  // also Sundays
inline constexpr COLORREF kSaturdayBackground = 0xFFFFC0;
inline constexpr COLORREF kPlainBackground = 0xFFFFFF;   // also the weekday row
inline constexpr COLORREF kTitleBackground = 0xC0C0C0;
inline constexpr COLORREF kBorder = 0x808080;
inline constexpr COLORREF kSelectedBorder = 0x00C0FF;
inline constexpr int kSelectedBorderWidth = 2;

// The status bar holds at most this many bytes of a day's text.
inline constexpr size_t kStatusTextMax = 255;

// The flags LayoutMonth gives a shown day (DAY_HOLIDAY comes later, from
// the date information): today only inside the shown month; a day of a
// neighbouring month is only that.
uint32_t DayFlags(int dateKey, int month, int shownMonth, int todayKey);

// "日" .. "土" for weekday 0 (Sunday) .. 6; "" outside.
const char* WeekdayName(int weekday);

// The day number's colour: red for holidays and Sundays, blue on Saturdays.
COLORREF DayTextColour(uint32_t flags, int weekday);
// The day's background: today, the neighbouring months, holidays and
// Sundays, Saturdays, other days; tested in that order.
COLORREF DayBackgroundColour(uint32_t flags, int weekday);
// The weekday name's colour: red on Sunday, blue on Saturday.
COLORREF WeekdayTextColour(int index);

// The title: "<year> 年 <month> 月のスケジュール".
std::string TitleText(int year, int month);

// The head of a day cell: the day of the month, and with a date-information
// copy a blank and its name.
std::string HeadText(int day, const DateInfoRecord* dateInfo);

// The lines a day cell lists: for each schedule in order, one line per
// matching id of the filter, "【genre】text\r\n" (the brackets left out for an
// empty genre name). An empty filter lists nothing.
std::string ScheduleListText(const std::vector<ScheduleRecord>& schedules, const std::vector<int32_t>& filter);
std::string ScheduleListText(const std::vector<const ScheduleRecord*>& schedules, const std::vector<int32_t>& filter);

// The status text of a selected day: "Y年M月D日(曜) " and the first
// schedule's text, followed by " 他" when there are more; cut to 255 bytes,
// never inside a double-byte character.
std::string StatusText(int year, int month, int day, int weekday, const std::vector<ScheduleRecord>& schedules);

}  // namespace cell_appearance
