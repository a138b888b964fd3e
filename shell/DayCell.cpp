#include "shell/DayCell.h"

using namespace cell_appearance;

DayCell::DayCell(const std::vector<int32_t>& genreFilter)
    : genreFilter_(genreFilter),
      day_{date_.Year(), date_.Month(), date_.Day()},
      weekday_(date_.Weekday()) {
    listFont_.CreateFont(11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "ＭＳ Ｐゴシック");
}

void DayCell::SetDate(int year, int month, int day) {
    day_ = calendar_layout::Day{year, month, day};
    weekday_ = calendar_layout::WeekdayOf(day_);
    dateMade_ = false;
}

const DateValue& DayCell::Date() const {
    if (!dateMade_) {
        date_.SetDate(day_.year, day_.month, day_.day);
        dateMade_ = true;
    }
    return date_;
}

const std::vector<ScheduleRecord>& DayCell::Schedules() const {
    if (!copied_) {
        copies_.clear();
        for (const ScheduleRecord* record : shown_) copies_.push_back(*record);
        copied_ = true;
    }
    return copies_;
}

void DayCell::ClearSchedules() {
    shown_.clear();
    copies_.clear();
    copied_ = true;
    owning_ = false;
}

void DayCell::KeepOwnCopies() {
    if (owning_) return;
    Schedules();
    shown_.clear();
    owning_ = true;
}

void DayCell::ClearDateInfo() {
    if (dateInfo_) *dateInfo_ = DateInfoRecord();
    flags_ &= ~DAY_HOLIDAY;
}

void DayCell::TakeDateInfo(const DateInfoRecord& record) {
    if (!dateInfo_) dateInfo_ = std::make_unique<DateInfoRecord>();
    *dateInfo_ = record;
    // Any nonzero value marks a holiday; the other flag bits are the grid's.
    if (record.holiday != 0) flags_ |= DAY_HOLIDAY;
}

void DayCell::Draw(Dc& dc) {
    const int weekday = weekday_;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(DayTextColour(flags_, weekday));
    Brush brush;
    brush.CreateSolidBrush(DayBackgroundColour(flags_, weekday));
    Pen pen;
    RECT frame = rect_;
    if (selected_) {
        pen.CreatePen(PS_SOLID, kSelectedBorderWidth, kSelectedBorder);
        frame.left += 2;
        frame.top += 2;
        frame.right -= 1;
        frame.bottom -= 1;
    } else {
        pen.CreatePen(PS_SOLID, 0, kBorder);
    }
    dc.SelectObject(brush);
    dc.SelectObject(pen);
    dc.Rectangle(frame.left, frame.top, frame.right, frame.bottom);

    // Names and schedules come from the server and are drawn as they are:
    // an "&" is a character, not a mnemonic.
    std::string head = HeadText(day_.day, dateInfo_.get());
    dc.SelectObject(headFont_);
    RECT measured{};
    dc.DrawText(head.c_str(), static_cast<int>(head.size()), &measured, DT_CALCRECT | DT_NOPREFIX);
    const int headHeight = measured.bottom - measured.top;
    RECT headRect = rect_;
    dc.DrawText(head.c_str(), static_cast<int>(head.size()), &headRect, DT_NOPREFIX);

    std::string list = owning_ ? ScheduleListText(copies_, genreFilter_) : ScheduleListText(shown_, genreFilter_);
    if (list.empty()) return;
    dc.SelectObject(listFont_);
    dc.SetTextColor(kBlack);
    RECT listRect = rect_;
    listRect.top += headHeight;
    dc.DrawText(list.c_str(), static_cast<int>(list.size()), &listRect, DT_END_ELLIPSIS | DT_NOPREFIX);
}
