// The report list of schedules used by the day's schedule page and by the
// search results: one row per schedule, with the columns chosen when the view
// is made; each row's lParam is the record it shows (not owned).
#pragma once

#include "toolkit/Dialog.h"

#include <cstdint>
#include <string>

struct ScheduleRecord;

// Column bits, in column order.
enum : uint8_t {
    SCHEDULE_COLUMN_DATE = 0x01,
    SCHEDULE_COLUMN_ID = 0x02,
    SCHEDULE_COLUMN_CATEGORY = 0x04,
    SCHEDULE_COLUMN_GENRE = 0x08,
    SCHEDULE_COLUMN_TEXT = 0x10,
    SCHEDULE_COLUMN_ENTERED = 0x20,
    SCHEDULE_COLUMN_HOST = 0x40,
};

// The column sets in use.
inline constexpr uint8_t kDayPageColumns = SCHEDULE_COLUMN_CATEGORY | SCHEDULE_COLUMN_GENRE | SCHEDULE_COLUMN_TEXT;
inline constexpr uint8_t kSearchColumns = SCHEDULE_COLUMN_DATE | kDayPageColumns;

// The header and width of one column bit; null header for other values.
struct ScheduleColumn {
    const char* header;
    int width;
};
ScheduleColumn ScheduleColumnOf(uint8_t bit);
// The text of `record` in the column of `bit` (the date as y/m/d without
// leading zeros).
std::string ScheduleCellText(const ScheduleRecord& record, uint8_t bit);

class ScheduleListView : public ListViewCtrl {
public:
    ScheduleListView(HWND item, uint8_t columns);

    // The grid lines, full-row selection and the columns; once, before rows.
    void SetupColumns();
    // Appends a row for `record`, which must outlive the row.
    void AddRow(const ScheduleRecord& record);

    uint8_t Columns() const { return columns_; }

private:
    uint8_t columns_;
};
