#include "shell/CalendarLayout.h"

#include "toolkit/Services.h"

#include <cstdint>

namespace calendar_layout {

namespace {

// floor(index * step) for a non-negative 16.16 step.
int FixedFloor(int index, int64_t step) {
    return static_cast<int>((index * step) >> 16);
}

int64_t ColumnStep(int width) {
    return (static_cast<int64_t>(width) * 65536) / kColumns;
}

int64_t RowStep(int height) {
    return (static_cast<int64_t>(height - kDaysTop) * 65536) / kRows;
}

}  // namespace

void ClampMonth(int& year, int& month) {
    if (year > kLastYear) {
        year = kLastYear;
        month = 12;
    } else if (year < kFirstYear) {
        year = kFirstYear;
        month = 1;
    }
}

Day FirstShownDay(int year, int month, int weekdayOfFirst) {
    if (weekdayOfFirst == 0) return Day{year, month, 1};
    int previousYear = month == 1 ? year - 1 : year;
    int previousMonth = month == 1 ? 12 : month - 1;
    return Day{previousYear, previousMonth, DateValue::DaysInMonth(previousYear, previousMonth) - weekdayOfFirst + 1};
}

Day NextDay(const Day& day) {
    if (day.day < DateValue::DaysInMonth(day.year, day.month)) return Day{day.year, day.month, day.day + 1};
    if (day.month < 12) return Day{day.year, day.month + 1, 1};
    return Day{day.year + 1, 1, 1};
}

int WeekdayOf(const Day& day) {
    // January and February count with the year before, so that its leap
    // day (its year / 4 and so on) only moves the days from March on.
    static const int kMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (day.month < 1 || day.month > 12) return 0;
    const int year = day.month < 3 ? day.year - 1 : day.year;
    const int weekday = (year + year / 4 - year / 100 + year / 400 + kMonthOffset[day.month - 1] + day.day) % 7;
    return weekday < 0 ? weekday + 7 : weekday;
}

RECT TitleRect(int width) {
    return RECT{0, 0, width, kTitleBottom};
}

RECT WeekdayRect(int width, int index) {
    int64_t cw = ColumnStep(width);
    return RECT{FixedFloor(index, cw), kWeekdayTop, FixedFloor(index + 1, cw) + 1, kWeekdayBottom};
}

RECT DayRect(int width, int height, int column, int row) {
    int64_t cw = ColumnStep(width);
    int64_t rh = RowStep(height);
    return RECT{FixedFloor(column, cw), kDaysTop + FixedFloor(row, rh), FixedFloor(column + 1, cw) + 1,
                kDaysTop + 1 + FixedFloor(row + 1, rh)};
}

bool HitDayCell(int width, int height, int x, int y, CellPosition* hit) {
    for (int column = 0; column < kColumns; ++column) {
        for (int row = 0; row < kRows; ++row) {
            RECT rect = DayRect(width, height, column, row);
            if (PtInRect(&rect, POINT{x, y})) {
                if (hit) *hit = CellPosition{column, row};
                return true;
            }
        }
    }
    return false;
}

bool MoveSelection(UINT key, CellPosition from, CellPosition* to) {
    CellPosition next = from;
    switch (key) {
    case VK_LEFT:
        if (--next.column < 0) {
            next.column = kColumns - 1;
            --next.row;
        }
        break;
    case VK_RIGHT:
        if (++next.column >= kColumns) {
            next.column = 0;
            ++next.row;
        }
        break;
    case VK_UP: --next.row; break;
    case VK_DOWN: ++next.row; break;
    default: return false;
    }
    if (next.row < 0 || next.row >= kRows) return false;
    if (to) *to = next;
    return true;
}

}  // namespace calendar_layout
