#include "shell/CalendarGrid.h"

#include "protocol/ScheduleStore.h"
#include "shell/CalendarHost.h"
#include "shell/MonthTabs.h"

#include <algorithm>

using namespace calendar_layout;

namespace {

// The wait cursor while the cells are filled; the previous one comes back.
// The system's wait cursor is shared and never destroyed: it is loaded once.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(Shared())) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    static HCURSOR Shared() {
        static const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
        return wait;
    }

    HCURSOR previous_;
};

bool IsHeld(int virtualKey) {
    return GetKeyState(virtualKey) < 0;
}

}  // namespace

CalendarGrid::CalendarGrid(CalendarHost& host, MonthTabs* tabs) : host_(host), tabs_(tabs) {
    for (auto& weekday : weekdays_) weekday = std::make_unique<WeekdayCell>();
    for (auto& day : days_) day = std::make_unique<DayCell>(genreFilter);
}

CalendarGrid::~CalendarGrid() = default;

void CalendarGrid::LayoutMonth(int year, int month, int day) {
    WaitCursor wait;
    if (year != 0 && month != 0 && day != 0) shownDate_.SetDate(year, month, day);

    // The shown weeks by plain date arithmetic: the calendar-time calls
    // behind DateValue cost microseconds each under Wine, and the cells make
    // their DateValue only when one is asked for.
    const int shownYear = shownDate_.Year();
    const int shownMonth = shownDate_.Month();
    Day p = FirstShownDay(shownYear, shownMonth, WeekdayOf(Day{shownYear, shownMonth, 1}));
    firstKey_ = DateKeyOf(p);

    const int todayKey = DateValue().DateKey(1);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            DayCell& cell = Cell(column, row);
            cell.SetFlags(cell_appearance::DayFlags(DateKeyOf(p), p.month, shownMonth, todayKey));
            cell.SetDate(p.year, p.month, p.day);
            lastKey_ = DateKeyOf(p);
            p = NextDay(p);
        }
    }

    LoadRecords();
    SelectCell(remembered_.column, remembered_.row);
}

void CalendarGrid::LoadRecords() {
    // The shown keys in ascending order (row by row).
    std::array<int32_t, kDayCells> keys;
    std::array<DayCell*, kDayCells> cells;
    for (int row = 0, i = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column, ++i) {
            cells[i] = &Cell(column, row);
            keys[i] = cells[i]->DateKey();
            cells[i]->ClearSchedules();
        }
    }

    // The shown range from the store's index, by date: each cell's records
    // come in store order, and a key between the shown days (not a real
    // day) is counted but listed nowhere.
    const ScheduleStore& store = host_.Store();
    size_t cell = 0;
    genreTally_.Start();
    // The index's entries carry date and genre: the records themselves,
    // spread over the whole store, are read only when drawn or copied.
    store.schedules.ForEachEntryInDates(firstKey_, lastKey_, [&](const DateEntry& entry) {
        genreTally_.Add(entry.genreId);
        while (cell < keys.size() && keys[cell] < entry.date) ++cell;
        if (cell < keys.size() && keys[cell] == entry.date) cells[cell]->ShowSchedule(entry.record);
    });
    genreTally_.Finish(genreCounts);

    // The first record of a day counts; later ones of the same day do not.
    std::array<bool, kDayCells> taken{};
    for (DayCell* cell : cells) cell->ClearDateInfo();
    for (const auto& record : store.dateInfo.records) {
        const int32_t date = record->date;
        if (date < firstKey_ || date > lastKey_) continue;
        auto found = std::lower_bound(keys.begin(), keys.end(), date);
        if (found == keys.end() || *found != date) continue;
        const size_t i = static_cast<size_t>(found - keys.begin());
        if (taken[i]) continue;
        taken[i] = true;
        cells[i]->TakeDateInfo(*record);
    }
}

void CalendarGrid::KeepOwnCopies() {
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) Cell(column, row).KeepOwnCopies();
    }
}

void CalendarGrid::SelectCell(int column, int row) {
    if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return;
    DayCell& cell = Cell(column, row);
    cell.SetSelected(true);
    host_.SetDaySelected(true);
    host_.SetStatusText(cell_appearance::StatusText(cell.Year(), cell.Month(), cell.DayOfMonth(), cell.Weekday(),
                                                    cell.Schedules()));
    InvalidateRect(nullptr, TRUE);
    SetFocus();
    remembered_ = CellPosition{column, row};
}

DayCell* CalendarGrid::SelectedCell(CellPosition* position) {
    for (int i = 0; i < kDayCells; ++i) {
        if (days_[i]->Selected()) {
            if (position) *position = CellAt(i);
            return days_[i].get();
        }
    }
    return nullptr;
}

void CalendarGrid::DeselectAll() {
    for (auto& day : days_) day->SetSelected(false);
    host_.SetDaySelected(false);
}

void CalendarGrid::OpenDaySheet(int startPage) {
    DayCell* cell = SelectedCell();
    if (!cell) return;
    if (host_.RunDaySheet(hwnd, *cell, startPage) != 1) return;
    host_.Reload(LOAD_SCHEDULES | LOAD_DATE_INFO);
    LoadRecords();
    host_.UpdateCategoryCounts();
    InvalidateRect(nullptr, TRUE);
}

void CalendarGrid::PositionCells(int width, int height) {
    title_.SetRect(TitleRect(width));
    title_.SetMonth(shownDate_.Year(), shownDate_.Month());
    for (int i = 0; i < kColumns; ++i) {
        weekdays_[i]->SetRect(WeekdayRect(width, i));
        weekdays_[i]->SetIndex(i);
    }
    for (int column = 0; column < kColumns; ++column) {
        for (int row = 0; row < kRows; ++row) Cell(column, row).SetRect(DayRect(width, height, column, row));
    }
}

void CalendarGrid::Render(Dc& dc, int width, int height) {
    PositionCells(width, height);
    // A new bitmap's pixels are undefined, and the cells leave some out: the
    // left of a selected Sunday's inset frame. The border colour fills them
    // as the neighbour's line does for the other columns.
    Brush background;
    background.CreateSolidBrush(cell_appearance::kBorder);
    RECT all{0, 0, width, height};
    dc.FillRect(&all, background.Get());
    title_.Draw(dc);
    for (auto& weekday : weekdays_) weekday->Draw(dc);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) Cell(column, row).Draw(dc);
    }
}

LRESULT CalendarGrid::OnCreate(CREATESTRUCTA*) {
    dayMenu_.LoadMenu(GetInstance(), MAKEINTRESOURCEA(kDayMenuId));
    // "プロパティ(&R)" is the day menu's default item, drawn bold (a plain
    // MENU resource cannot say so).
    if (HMENU days = ::GetSubMenu(dayMenu_.Handle(), 0)) ::SetMenuDefaultItem(days, ID_DAY_PROPERTIES, FALSE);
    return 0;
}

LRESULT CalendarGrid::OnPaint(PaintDc& dc) {
    const int width = ClientWidth();
    const int height = ClientHeight();
    if (width <= 0 || height <= 0) return 1;
    Bitmap bitmap;
    bitmap.CreateCompatibleBitmap(dc.Handle(), width, height);
    MemoryDc memory(hwnd);
    memory.SelectObject(bitmap);
    Render(memory, width, height);
    dc.BitBlt(0, 0, width, height, memory.Handle(), 0, 0, SRCCOPY);
    return 1;
}

LRESULT CalendarGrid::OnEraseBkgnd(Dc&) {
    // The paint covers every pixel; erasing first would only flicker.
    result = 1;
    return 1;
}

LRESULT CalendarGrid::OnSize(UINT, int, int) {
    InvalidateRect(nullptr, FALSE);
    return 1;
}

bool CalendarGrid::SelectAt(int x, int y) {
    CellPosition hit;
    if (!HitDayCell(ClientWidth(), ClientHeight(), x, y, &hit)) {
        // The status text keeps the last day's text.
        DeselectAll();
        return false;
    }
    for (int i = 0; i < kDayCells; ++i) {
        if (!(CellAt(i) == hit)) days_[i]->SetSelected(false);
    }
    SelectCell(hit.column, hit.row);
    return true;
}

LRESULT CalendarGrid::OnLButtonDown(UINT, int x, int y) {
    SelectAt(x, y);
    InvalidateRect(nullptr, TRUE);
    return 1;
}

LRESULT CalendarGrid::OnLButtonDblClk(UINT, int, int) {
    OpenDaySheet(0);
    return 1;
}

LRESULT CalendarGrid::OnRButtonDown(UINT, int x, int y) {
    bool selected = SelectAt(x, y);
    InvalidateRect(nullptr, TRUE);
    if (!selected) return 1;
    Menu dayMenu;
    if (!dayMenu.GetSubMenu(dayMenu_.Handle(), 0)) return 1;
    POINT point{x, y};
    ClientToScreen(&point);
    dayMenu.TrackPopupMenu(0, point.x, point.y, 0, hwnd, nullptr);
    return 1;
}

void CalendarGrid::MoveByArrow(UINT key) {
    CellPosition from;
    DayCell* selected = SelectedCell(&from);
    if (!selected) {
        // Only the mark comes back: no status text, no frame update.
        Cell(remembered_.column, remembered_.row).SetSelected(true);
        InvalidateRect(nullptr, TRUE);
        return;
    }
    CellPosition to;
    if (!MoveSelection(key, from, &to)) {
        InvalidateRect(nullptr, TRUE);
        return;
    }
    selected->SetSelected(false);
    SelectCell(to.column, to.row);
}

LRESULT CalendarGrid::OnKeyDown(WPARAM virtualKey, LPARAM keyData) {
    // A held key repeats: only its first press counts.
    if (keyData & (1 << 30)) return 1;
    const bool ctrl = IsHeld(VK_CONTROL);
    const bool shift = IsHeld(VK_SHIFT);
    switch (virtualKey) {
    case VK_RETURN: OpenDaySheet(0); break;
    case VK_ESCAPE:
        DeselectAll();
        InvalidateRect(nullptr, TRUE);
        break;
    case VK_PRIOR:
        if (ctrl && tabs_) shift ? tabs_->PreviousYear() : tabs_->PreviousMonth();
        break;
    case VK_NEXT:
        if (ctrl && tabs_) shift ? tabs_->NextYear() : tabs_->NextMonth();
        break;
    case VK_HOME:
        if (ctrl && tabs_) tabs_->Today();
        break;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: MoveByArrow(static_cast<UINT>(virtualKey)); break;
    default: ::SendMessageA(host_.FrameWindow(), WM_KEYDOWN, virtualKey, keyData); break;
    }
    return 1;
}

LRESULT CalendarGrid::OnCommand(UINT notifyCode, UINT id, HWND control) {
    ::SendMessageA(host_.FrameWindow(), WM_COMMAND, MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
    return 1;
}
