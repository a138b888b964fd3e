// One day of the grid: its date, flags and selection, the day's schedules
// and a copy of its date information, and its drawing (head text, then the
// schedules whose genre is in the grid's filter). The grid hands each cell
// its records from the store's index by date.
#pragma once

#include "protocol/Records.h"
#include "shell/CellBase.h"
#include "shell/CalendarLayout.h"
#include "shell/CellAppearance.h"

#include <cstdint>
#include <memory>
#include <vector>

class DayCell : public CellBase {
public:
    // `genreFilter` is the grid's list of genre ids to show; it outlives the
    // cell.
    explicit DayCell(const std::vector<int32_t>& genreFilter);

    void Draw(Dc& dc) override;

    // A real calendar day (the grid walks the shown weeks with plain date
    // arithmetic). The DateValue for it is made when first asked for: a
    // month change asks for one or two of the 42.
    void SetDate(int year, int month, int day);
    const DateValue& Date() const;
    int DateKey() const { return calendar_layout::DateKeyOf(day_); }
    int Year() const { return day_.year; }
    int Month() const { return day_.month; }
    int DayOfMonth() const { return day_.day; }
    int Weekday() const { return weekday_; }

    bool Selected() const { return selected_; }
    void SetSelected(bool selected) { selected_ = selected; }

    // DAY_HOLIDAY, DAY_TODAY, DAY_OTHER_MONTH.
    uint32_t Flags() const { return flags_; }
    void SetFlags(uint32_t flags) { flags_ = flags; }

    // The day's schedules in store order, as copies. The cell lists the
    // store's records themselves and copies them when first asked: a month
    // change then reads no record, and only the days that are looked at
    // (the selected one, the one whose sheet opens) are copied. Clearing
    // keeps the lists' memory for the next month.
    const std::vector<ScheduleRecord>& Schedules() const;
    size_t ScheduleCount() const { return owning_ ? copies_.size() : shown_.size(); }
    void ClearSchedules();
    // Lists a record of the store; it must stay where it is until the cell
    // is cleared or keeps copies of its own.
    void ShowSchedule(const ScheduleRecord* record) {
        shown_.push_back(record);
        copied_ = false;
    }
    // Copies the listed records and lets go of the store's, which a load is
    // about to replace: drawing and Schedules() then use the copies.
    void KeepOwnCopies();

    // The copy of the day's date information, or null when none was ever
    // loaded (a cleared copy stays, zero-filled).
    const DateInfoRecord* DateInfo() const { return dateInfo_.get(); }
    // Zeroes the copy and clears DAY_HOLIDAY.
    void ClearDateInfo();
    // Takes a copy of `record`; a nonzero `holiday` adds DAY_HOLIDAY to the
    // flags (and nothing else).
    void TakeDateInfo(const DateInfoRecord& record);

private:
    const std::vector<int32_t>& genreFilter_;
    // Today until the grid sets a day.
    mutable DateValue date_;
    mutable bool dateMade_ = true;
    calendar_layout::Day day_;
    int weekday_;
    bool selected_ = false;
    uint32_t flags_ = 0;
    std::vector<const ScheduleRecord*> shown_;  // the store's records, while not owning
    mutable std::vector<ScheduleRecord> copies_;
    mutable bool copied_ = true;  // copies_ holds what shown_ lists
    bool owning_ = false;         // shown_ let go: copies_ is all there is
    std::unique_ptr<DateInfoRecord> dateInfo_;
    Font listFont_;
};
