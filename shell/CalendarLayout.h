// The arithmetic of the month grid, free of windows: which months can be
// shown, which day opens the six weeks, where each cell lies in a client
// area of a given size, which cell a point hits and where an arrow key moves
// the selection.
#pragma once

#include <windows.h>

namespace calendar_layout {

inline constexpr int kColumns = 7;  // Sunday .. Saturday
inline constexpr int kRows = 6;     // six weeks
inline constexpr int kDayCells = kColumns * kRows;

inline constexpr int kFirstYear = 1971;
inline constexpr int kLastYear = 2037;

// Heights of the title and of the weekday row (the weekday row overlaps the
// title's bottom line, the day rows the weekday row's).
inline constexpr int kTitleBottom = 31;
inline constexpr int kWeekdayTop = 30;
inline constexpr int kWeekdayBottom = 51;
inline constexpr int kDaysTop = 50;

// A day cell's place: column 0 = Sunday .. 6 = Saturday, row 0 .. 5.
struct CellPosition {
    int column = 0;
    int row = 0;
    bool operator==(const CellPosition& other) const { return column == other.column && row == other.row; }
};

// Day cells are stored column by column.
constexpr int CellIndex(int column, int row) { return column * kRows + row; }
constexpr CellPosition CellAt(int index) { return CellPosition{index / kRows, index % kRows}; }

// A year and month moved into 1971-01 .. 2037-12: a year after the last
// gives 2037-12, a year before the first gives 1971-01 (the month resets).
void ClampMonth(int& year, int& month);

// A calendar day.
struct Day {
    int year;
    int month;
    int day;
};

// Year * 10000 + month * 100 + day, the key by which records are dated.
constexpr int DateKeyOf(const Day& day) { return day.year * 10000 + day.month * 100 + day.day; }

// The day after `day`, and the weekday of `day` (0 = Sunday), in the
// Gregorian calendar: plain arithmetic, no calendar-time call (a month
// outside 1-12 gives weekday 0).
Day NextDay(const Day& day);
int WeekdayOf(const Day& day);

// The first day the grid shows for a month whose 1st falls on
// `weekdayOfFirst` (0 = Sunday): the 1st itself on a Sunday, otherwise the
// day of the previous month that opens the 1st's week.
Day FirstShownDay(int year, int month, int weekdayOfFirst);

// Rectangles in a client area of width x height pixels. The columns and rows
// are spread in 16.16 fixed point, so the pixel remainders fall between the
// cells; neighbours overlap by one pixel and share their border line.
RECT TitleRect(int width);
RECT WeekdayRect(int width, int index);
RECT DayRect(int width, int height, int column, int row);

// The day cell containing (x, y), searching column by column so that a point
// on a shared border goes to the left or upper cell; false above the days.
bool HitDayCell(int width, int height, int x, int y, CellPosition* hit);

// Where an arrow key (VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN) moves the selection
// from `from`: left and right wrap into the row above or below; false when
// the move would leave the six rows (or for any other key).
bool MoveSelection(UINT key, CellPosition from, CellPosition* to);

}  // namespace calendar_layout
