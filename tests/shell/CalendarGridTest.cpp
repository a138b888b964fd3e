// The calendar display: the month arithmetic and texts on their own, then
// month tabs, split window and grid on real windows inside a stand-in frame
// with a store filled from records, and the grid's drawing read back pixel by
// pixel from a fixed-size bitmap.
#include "protocol/ScheduleStore.h"
#include "shell/CalendarGrid.h"
#include "shell/CalendarHost.h"
#include "shell/CalendarLayout.h"
#include "shell/CalendarSplit.h"
#include "shell/CellAppearance.h"
#include "shell/MonthTabs.h"
#include "tests/support/TestServerContext.h"
#include "tests/support/WindowTestSupport.h"
#include "text/ShiftJis.h"
#include "toolkit/Dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

using namespace calendar_layout;
using namespace cell_appearance;

namespace {

ScheduleRecord Schedule(int date, int id, const std::string& text, int genreId, const std::string& genreName) {
    ScheduleRecord record;
    record.date = date;
    record.id = id;
    CopyToField(record.text, text);
    record.genreId = genreId;
    CopyToField(record.genreName, genreName);
    return record;
}

DateInfoRecord DateInfo(int date, const std::string& name, int holiday) {
    DateInfoRecord record;
    record.date = date;
    CopyToField(record.name, name);
    record.holiday = holiday;
    return record;
}

bool Equal(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// ---------------------------------------------------------------------------
// Arithmetic and texts, without a window

TEST(CalendarArithmetic, GeometryAndHits) {
    // 700 x 650: columns of 100 and rows of 100 pixels, neighbours sharing a line.
    EXPECT_TRUE(Equal(TitleRect(700), RECT{0, 0, 700, 31}));
    EXPECT_TRUE(Equal(WeekdayRect(700, 3), RECT{300, 30, 401, 51}));
    EXPECT_TRUE(Equal(DayRect(700, 650, 0, 0), RECT{0, 50, 101, 151}));
    EXPECT_TRUE(Equal(DayRect(700, 650, 6, 5), RECT{600, 550, 701, 651}));
    // Remainders spread: 703 / 7 = 100.43, so the last column reaches the edge.
    EXPECT_EQ(DayRect(703, 650, 1, 0).left, 100);
    EXPECT_EQ(DayRect(703, 650, 6, 0).left, 602);
    EXPECT_EQ(DayRect(703, 650, 6, 0).right, 703);

    CellPosition hit;
    ASSERT_TRUE(HitDayCell(700, 650, 100, 100, &hit));  // on the line between columns 0 and 1
    EXPECT_EQ(hit, (CellPosition{0, 0}));
    ASSERT_TRUE(HitDayCell(700, 650, 150, 150, &hit));  // on the line between rows 0 and 1
    EXPECT_EQ(hit, (CellPosition{1, 0}));
    ASSERT_TRUE(HitDayCell(700, 650, 699, 649, &hit));
    EXPECT_EQ(hit, (CellPosition{6, 5}));
    EXPECT_FALSE(HitDayCell(700, 650, 350, 40, &hit));  // weekday row
    EXPECT_FALSE(HitDayCell(700, 650, 350, 10, &hit));  // title
}

TEST(CalendarArithmetic, DayStepsAndWeekdaysAgreeWithTheCalendarTime) {
    // Every day a grid can show (the weeks of 1971-01 to 2037-12), walked
    // with the run-time library's calendar time and with plain arithmetic.
    DateValue time;
    ASSERT_EQ(time.SetDate(1970, 12, 27), 1);
    Day day{1970, 12, 27};
    for (int i = 0; DateKeyOf(day) <= 20380109; ++i) {
        ASSERT_EQ(DateKeyOf(day), time.DateKey(1)) << i;
        ASSERT_EQ(WeekdayOf(day), time.Weekday()) << DateKeyOf(day);
        day = NextDay(day);
        ASSERT_NE(time.AddDays(1), 0) << i;
    }
    EXPECT_EQ(WeekdayOf(Day{2000, 2, 29}), 2);
    EXPECT_EQ(WeekdayOf(Day{2100, 3, 1}), 1);  // 2100 has no leap day
    EXPECT_EQ(WeekdayOf(Day{2006, 13, 1}), 0);
}

TEST(CalendarArithmetic, ColoursFlagsAndTexts) {
    // Today only inside the shown month.
    EXPECT_EQ(DayFlags(20061207, 12, 12, 20061207), DAY_TODAY);
    EXPECT_EQ(DayFlags(20061207, 12, 11, 20061207), DAY_OTHER_MONTH);
    EXPECT_EQ(DayFlags(20061208, 12, 12, 20061207), 0u);

    // A holiday in a neighbouring month's part: red text (the holiday is
    // tested first) on the other month's background (tested before holidays).
    EXPECT_EQ(DayTextColour(DAY_OTHER_MONTH | DAY_HOLIDAY, 3), kRed);
    EXPECT_EQ(DayBackgroundColour(DAY_OTHER_MONTH | DAY_HOLIDAY, 3), kOtherMonthBackground);

    EXPECT_EQ(TitleText(2006, 4), "2006 年 4 月のスケジュール");
    DateInfoRecord named = DateInfo(20060429, "みどりの日", 1);
    EXPECT_EQ(HeadText(29, &named), "29 みどりの日");
    DateInfoRecord cleared;
    EXPECT_EQ(HeadText(29, &cleared), "29 ");
    EXPECT_EQ(HeadText(29, nullptr), "29");

    // Schedules in store order, and for each the filter's matching ids.
    std::vector<ScheduleRecord> schedules = {Schedule(20060409, 1, "会議", 3, "業務"),
                                             Schedule(20060409, 2, "hidden", 9, "x"),
                                             Schedule(20060409, 3, "no name", 5, "")};
    EXPECT_EQ(ScheduleListText(schedules, {5, 3}), "【業務】会議\r\nno name\r\n");
    EXPECT_EQ(ScheduleListText(schedules, {}), "");

    EXPECT_EQ(StatusText(2006, 4, 9, 0, {}), "2006年4月9日(日) ");
    EXPECT_EQ(StatusText(2006, 4, 9, 0, {schedules[0]}), "2006年4月9日(日) 会議");
    EXPECT_EQ(StatusText(2006, 4, 9, 0, schedules), "2006年4月9日(日) 会議 他");

    // The cut at 255 bytes keeps a double-byte character whole: the date part
    // is 17 bytes, so a "表" at bytes 253-254 fits and one at 254-255 goes.
    const std::string prefix = "2006年4月9日(日) ";
    ASSERT_EQ(prefix.size(), 17u);
    std::string fits = StatusText(2006, 4, 9, 0, {Schedule(20060409, 1, std::string(236, 'a') + "表表", 1, "")});
    EXPECT_EQ(fits, prefix + std::string(236, 'a') + "表");
    std::string cut = StatusText(2006, 4, 9, 0, {Schedule(20060409, 1, std::string(237, 'a') + "表表", 1, "")});
    EXPECT_EQ(cut, prefix + std::string(237, 'a'));
}

// ---------------------------------------------------------------------------
// The display on real windows

// Stands in for the main frame: a top-level toolkit window holding the month
// tabs, with a store filled from records, recording what the display tells
// it and what the grid passes on.
class TestFrame : public WindowBase, public CalendarHost {
public:
    struct SheetCall {
        HWND owner;
        int dateKey;
        int startPage;
    };

    TestFrame() : context_("127.0.0.1", 1), store(context_) {}

    void Open() {
        window_test::RegisterWindowClassOnce();
        Create(0, "QxKit_Window", "calendar", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 760, nullptr, nullptr,
               GetInstance(), nullptr);
        tabs = std::make_unique<MonthTabs>(*this);
        tabs->Create(0, "", MonthTabs::kStyle, 0, 0, 0, 0, hwnd,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(MonthTabs::kId)), GetInstance(), nullptr);
        tabs->SetWindowPos(nullptr, 0, 0, ClientWidth(), ClientHeight(), SWP_NOZORDER);
        tabs->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(), ClientHeight()));
    }

    void Close() {
        if (hwnd) DestroyWindow(hwnd);
        tabs.reset();
    }

    CalendarGrid& Grid() { return *tabs->Grid(); }

    ScheduleStore& Store() override { return store; }
    HWND FrameWindow() const override { return hwnd; }
    void SetDaySelected(bool selected) override { daySelected.push_back(selected); }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void Reload(uint32_t mask) override {
        reloads.push_back(mask);
        if (onReload) onReload();
    }
    std::unique_ptr<WindowBase> CreateCategoryTree(HWND split, CalendarGrid& grid) override {
        auto tree = std::make_unique<TreeViewCtrl>();
        tree->Create(CalendarSplit::kTreeExStyle, "", CalendarSplit::kTreeStyle, 0, 0, CalendarSplit::kTreeWidth, 0,
                     split, reinterpret_cast<HMENU>(static_cast<INT_PTR>(CalendarSplit::kTreeId)), GetInstance(),
                     nullptr);
        treeGrid = &grid;
        return tree;
    }
    void RebuildCategoryTree() override { ++treeRebuilds; }
    void UpdateCategoryCounts() override { ++countUpdates; }
    int RunDaySheet(HWND owner, DayCell& day, int startPage) override {
        sheets.push_back(SheetCall{owner, day.DateKey(), startPage});
        return sheetResult;
    }

    LRESULT OnKeyDown(WPARAM key, LPARAM) override {
        keys.push_back(static_cast<UINT>(key));
        return 1;
    }
    LRESULT OnCommand(UINT, UINT id, HWND) override {
        commands.push_back(id);
        return 1;
    }
    // Not the program's main window: closing it must not end a message loop.
    LRESULT OnDestroy() override { return 0; }

    std::unique_ptr<MonthTabs> tabs;
    TestServerContext context_;
    ScheduleStore store;
    CalendarGrid* treeGrid = nullptr;
    std::vector<bool> daySelected;
    std::vector<std::string> statusTexts;
    std::vector<uint32_t> reloads;
    std::function<void()> onReload;
    int treeRebuilds = 0;
    int countUpdates = 0;
    std::vector<SheetCall> sheets;
    int sheetResult = 0;
    std::vector<UINT> keys;
    std::vector<UINT> commands;
};

// One frame and grid for the whole program.
class CalendarDisplay : public testing::Test {
protected:
    static void SetUpTestSuite() {
        frame = new TestFrame;
        AddSchedules(*frame);
        frame->Open();
    }
    static void TearDownTestSuite() {
        frame->Close();
        delete frame;
        frame = nullptr;
    }

    static void AddSchedule(TestFrame& f, const ScheduleRecord& record) {
        f.store.schedules.records.push_back(std::make_unique<ScheduleRecord>(record));
    }
    static void AddSchedules(TestFrame& f) {
        // April 2006 shows 2006-03-26 .. 2006-05-06; the store is in no date
        // order, with records just outside that range.
        AddSchedule(f, Schedule(20060409, 11, "花見", 1, "行事"));
        AddSchedule(f, Schedule(20060325, 12, "before", 1, "行事"));
        AddSchedule(f, Schedule(20060412, 13, "only", 2, ""));
        AddSchedule(f, Schedule(20060409, 14, "second", 2, ""));
        AddSchedule(f, Schedule(20060326, 15, "first shown", 0, ""));
        AddSchedule(f, Schedule(20060507, 16, "after", 2, ""));
        AddSchedule(f, Schedule(20060506, 17, "last shown", 2, ""));
        AddSchedule(f, Schedule(20060409, 18, "third", 1, "行事"));
        AddSchedule(f, Schedule(20060417, 19, std::string(250, 'x') + "表", 1, ""));
        f.store.dateInfo.records.push_back(std::make_unique<DateInfoRecord>(DateInfo(20060429, "みどりの日", 1)));
        f.store.dateInfo.records.push_back(std::make_unique<DateInfoRecord>(DateInfo(20060429, "second", 0)));
        f.store.dateInfo.records.push_back(std::make_unique<DateInfoRecord>(DateInfo(20060503, "憲法記念日", 1)));
    }

    static CalendarGrid& Grid() { return frame->Grid(); }
    static MonthTabs& Tabs() { return *frame->tabs; }

    // Sends a key to the grid with Ctrl and Shift held or not.
    static void Key(UINT key, bool ctrl = false, bool shift = false, bool repeat = false) {
        BYTE saved[256];
        GetKeyboardState(saved);
        BYTE state[256];
        std::copy(saved, saved + 256, state);
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        LPARAM keyData = 1 | (repeat ? (1 << 30) : 0);
        Grid().SendMessage(WM_KEYDOWN, key, keyData);
        SetKeyboardState(saved);
    }

    static void Click(int x, int y, UINT message = WM_LBUTTONDOWN) {
        Grid().SendMessage(message, MK_LBUTTON, MAKELPARAM(x, y));
    }

    static std::vector<CellPosition> Selected() {
        std::vector<CellPosition> selected;
        for (int i = 0; i < kDayCells; ++i) {
            CellPosition at = CellAt(i);
            if (Grid().Cell(at.column, at.row).Selected()) selected.push_back(at);
        }
        return selected;
    }

    static std::pair<int, int> Shown() { return {Tabs().Year(), Tabs().Month()}; }

    static TestFrame* frame;
};

TestFrame* CalendarDisplay::frame = nullptr;

TEST_F(CalendarDisplay, WindowsAreCreatedWithTheirClassesAndIds) {
    char className[64];
    GetClassNameA(Tabs().Handle(), className, sizeof className);
    EXPECT_STREQ(className, "QXKITTabControl32");
    EXPECT_EQ(TabCtrl_GetItemCount(Tabs().Handle()), 12);
    HWND split = GetDlgItem(Tabs().Handle(), CalendarSplit::kId);
    ASSERT_EQ(split, Tabs().Split()->Handle());
    GetClassNameA(split, className, sizeof className);
    EXPECT_STREQ(className, "QxKit_SplitWindow");
    HWND grid = GetDlgItem(split, CalendarGrid::kId);
    ASSERT_EQ(grid, Grid().Handle());
    GetClassNameA(grid, className, sizeof className);
    EXPECT_STREQ(className, "QxKit_Window");
    HWND tree = GetDlgItem(split, CalendarSplit::kTreeId);
    ASSERT_NE(tree, nullptr);
    EXPECT_FALSE(IsWindowVisible(tree));
    EXPECT_EQ(frame->treeGrid, &Grid());
    EXPECT_GE(frame->treeRebuilds, 1);
    // The hidden tree leaves the grid the whole width below the tabs.
    EXPECT_EQ(Grid().ClientWidth(), Tabs().ClientWidth());
    EXPECT_GT(Grid().ClientHeight(), 500);

    // Squeezed below the tab strip: no room for the grid, not 65,000 pixels.
    const int tabsWidth = Tabs().ClientWidth(), tabsHeight = Tabs().ClientHeight();
    Tabs().SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(tabsWidth, 5));
    EXPECT_EQ(Tabs().Split()->ClientHeight(), 0);
    EXPECT_EQ(Grid().ClientHeight(), 0);
    Tabs().SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(tabsWidth, tabsHeight));
    EXPECT_GT(Grid().ClientHeight(), 500);

    // The grid starts on the current month with its first shown day selected.
    DateValue now;
    EXPECT_EQ(Shown(), std::make_pair(now.Year(), now.Month()));
    EXPECT_EQ(TabCtrl_GetCurSel(Tabs().Handle()), now.Month() - 1);
    EXPECT_EQ(Grid().ShownDate().Month(), now.Month());
    EXPECT_EQ(Grid().RememberedPosition(), (CellPosition{0, 0}));
    EXPECT_TRUE(Grid().Cell(0, 0).Selected());
    ASSERT_FALSE(frame->daySelected.empty());
    EXPECT_TRUE(frame->daySelected.back());
}

TEST_F(CalendarDisplay, LayoutsAndNavigation) {
    // A month beginning on a Sunday starts in row 0 with its 1st.
    Tabs().ShowMonth(2006, 1, 1);
    EXPECT_EQ(Grid().FirstKey(), 20060101);
    EXPECT_EQ(Grid().LastKey(), 20060211);
    EXPECT_EQ(Grid().Cell(0, 0).DateKey(), 20060101);
    EXPECT_EQ(Grid().Cell(0, 0).Flags() & DAY_OTHER_MONTH, 0u);
    EXPECT_EQ(Grid().Cell(2, 4).DateKey(), 20060131);
    EXPECT_EQ(Grid().Cell(3, 4).Flags() & DAY_OTHER_MONTH, DAY_OTHER_MONTH);
    EXPECT_EQ(TabCtrl_GetCurSel(Tabs().Handle()), 0);

    // One beginning on a Saturday shows six days of March in row 0.
    const int updatesBefore = frame->countUpdates;
    Tabs().ShowMonth(2006, 4, 1);
    EXPECT_EQ(frame->countUpdates, updatesBefore + 1);
    EXPECT_EQ(Grid().FirstKey(), 20060326);
    EXPECT_EQ(Grid().LastKey(), 20060506);
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(Grid().Cell(column, 0).DateKey(), 20060326 + column);
        EXPECT_EQ(Grid().Cell(column, 0).Flags(), DAY_OTHER_MONTH);
    }
    EXPECT_EQ(Grid().Cell(6, 0).DateKey(), 20060401);
    EXPECT_EQ(Grid().Cell(6, 0).Flags(), 0u);

    // Each cell holds exactly its day's records, in store order, and the
    // counts equal a plain scan of the range.
    for (int i = 0; i < kDayCells; ++i) {
        CellPosition at = CellAt(i);
        const DayCell& cell = Grid().Cell(at.column, at.row);
        std::vector<int> want, got;
        for (const auto& record : frame->store.schedules.records) {
            if (record->date == cell.DateKey()) want.push_back(record->id);
        }
        for (const ScheduleRecord& record : cell.Schedules()) got.push_back(record.id);
        EXPECT_EQ(got, want) << cell.DateKey();
    }
    EXPECT_EQ(Grid().Cell(1, 2).Schedules().size(), 0u);
    ASSERT_EQ(Grid().Cell(0, 2).Schedules().size(), 3u);  // 04-09
    EXPECT_EQ(Grid().genreCounts, frame->store.schedules.CountByGenre(20060326, 20060506));
    EXPECT_EQ(Grid().genreCounts, (std::map<int32_t, int32_t>{{0, 1}, {1, 3}, {2, 3}}));

    // The first date-information record of a day counts, with its holiday mark.
    const DayCell& holiday = Grid().Cell(6, 4);  // Saturday 04-29
    ASSERT_EQ(holiday.DateKey(), 20060429);
    ASSERT_NE(holiday.DateInfo(), nullptr);
    EXPECT_STREQ(holiday.DateInfo()->name, "みどりの日");
    EXPECT_EQ(holiday.Flags(), DAY_HOLIDAY);
    const DayCell& mayHoliday = Grid().Cell(3, 5);  // 05-03, in May's part
    EXPECT_EQ(mayHoliday.Flags(), (DAY_OTHER_MONTH | DAY_HOLIDAY));
    EXPECT_EQ(Grid().Cell(2, 4).DateInfo(), nullptr);

    // February of a leap year shows its 29th.
    Tabs().ShowMonth(2008, 2, 1);
    EXPECT_EQ(Grid().Cell(5, 4).DateKey(), 20080229);
    EXPECT_EQ(Grid().Cell(5, 4).Flags() & DAY_OTHER_MONTH, 0u);
    EXPECT_EQ(Grid().Cell(6, 4).DateKey(), 20080301);
    EXPECT_EQ(Grid().Cell(6, 4).Flags() & DAY_OTHER_MONTH, DAY_OTHER_MONTH);
    // The holiday of another month is gone: flags and copies follow the month.
    EXPECT_EQ(Grid().Cell(6, 4).Flags() & DAY_HOLIDAY, 0u);

    // Clamping, through the keys, in every direction.
    Tabs().ShowMonth(2037, 12, 1);
    Key(VK_NEXT, true);
    EXPECT_EQ(Shown(), std::make_pair(2037, 12));
    Key(VK_NEXT, true, true);
    EXPECT_EQ(Shown(), std::make_pair(2037, 12));
    EXPECT_EQ(TabCtrl_GetCurSel(Tabs().Handle()), 11);
    EXPECT_EQ(Grid().LastKey(), 20380109);
    Tabs().ShowMonth(2037, 3, 1);
    Key(VK_NEXT, true, true);
    EXPECT_EQ(Shown(), std::make_pair(2037, 12));
    Tabs().ShowMonth(1971, 6, 1);
    Key(VK_PRIOR, true, true);
    EXPECT_EQ(Shown(), std::make_pair(1971, 1));
    EXPECT_EQ(Grid().FirstKey(), 19701227);
    Key(VK_PRIOR, true);
    EXPECT_EQ(Shown(), std::make_pair(1971, 1));
    Tabs().ShowMonth(1960, 8, 1);
    EXPECT_EQ(Shown(), std::make_pair(1971, 1));
    Tabs().ShowMonth(2050, 8, 1);
    EXPECT_EQ(Shown(), std::make_pair(2037, 12));
    // Without Ctrl the page keys do nothing, and neither goes to the frame.
    const size_t keysBefore = frame->keys.size();
    Key(VK_PRIOR);
    Key(VK_HOME);
    EXPECT_EQ(Shown(), std::make_pair(2037, 12));
    EXPECT_EQ(frame->keys.size(), keysBefore);

    // Across a year end, and by the tabs.
    Tabs().ShowMonth(2006, 12, 1);
    Key(VK_NEXT, true);
    EXPECT_EQ(Shown(), std::make_pair(2007, 1));
    Key(VK_PRIOR, true);
    EXPECT_EQ(Shown(), std::make_pair(2006, 12));
    Tabs().SetCurSel(2);
    NMHDR change{Tabs().Handle(), static_cast<UINT_PTR>(MonthTabs::kId), static_cast<UINT>(TCN_SELCHANGE)};
    frame->SendMessage(WM_NOTIFY, MonthTabs::kId, reinterpret_cast<LPARAM>(&change));
    EXPECT_EQ(Shown(), std::make_pair(2006, 3));
    EXPECT_EQ(Grid().FirstKey(), 20060226);

    // Today: the today colour only inside the shown month.
    Key(VK_HOME, true);
    DateValue now;
    EXPECT_EQ(Shown(), std::make_pair(now.Year(), now.Month()));
    const int todayKey = now.DateKey(1);
    auto findToday = [&]() -> const DayCell* {
        for (int i = 0; i < kDayCells; ++i) {
            CellPosition at = CellAt(i);
            if (Grid().Cell(at.column, at.row).DateKey() == todayKey) return &Grid().Cell(at.column, at.row);
        }
        return nullptr;
    };
    const DayCell* today = findToday();
    ASSERT_NE(today, nullptr);
    EXPECT_EQ(today->Flags() & (DAY_TODAY | DAY_OTHER_MONTH), DAY_TODAY);
    for (int step : {-1, +1}) {
        step < 0 ? Tabs().PreviousMonth() : Tabs().NextMonth();
        if (const DayCell* seen = findToday()) {
            EXPECT_EQ(seen->Flags() & DAY_TODAY, 0u);
        }
        Tabs().Today();
    }

    // Every month over years with daylight-saving changes (the program runs
    // under several time zones) shows 42 consecutive days from a Sunday.
    auto nextKey = [](int key) {
        int y = key / 10000, m = key / 100 % 100, d = key % 100;
        if (++d > DateValue::DaysInMonth(y, m)) {
            d = 1;
            if (++m > 12) m = 1, ++y;
        }
        return y * 10000 + m * 100 + d;
    };
    for (int month = 0; month < 36; ++month) {
        Tabs().ShowMonth(2006 + month / 12, 1 + month % 12, 1);
        int key = Grid().FirstKey();
        EXPECT_EQ(Grid().Cell(0, 0).Date().Weekday(), 0) << key;
        for (int i = 0; i < kDayCells; ++i, key = nextKey(key)) {
            ASSERT_EQ(Grid().Cell(i % kColumns, i / kColumns).DateKey(), key) << Shown().first << "-" << Shown().second;
        }
    }

    // The selected position survives a month change.
    Tabs().ShowMonth(2006, 4, 1);
    for (int i = 0; i < kDayCells; ++i) Grid().Cell(CellAt(i).column, CellAt(i).row).SetSelected(false);
    Grid().SelectCell(3, 2);
    Tabs().NextMonth();
    EXPECT_EQ(Shown(), std::make_pair(2006, 5));
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{3, 2}}));
    EXPECT_EQ(frame->statusTexts.back(), "2006年5月17日(水) ");
}

TEST_F(CalendarDisplay, CellsAndCountsFromTheIndexEqualAPlainPass) {
    // A random store in no date order: duplicates, keys between real days,
    // dates far outside 1971-2037, and the months at both ends crowded.
    auto saved = std::move(frame->store.schedules.records);
    auto& records = frame->store.schedules.records;
    records.clear();
    uint32_t random = 2026;
    auto next = [&random](uint32_t n) {
        random = random * 1103515245u + 12345u;
        return (random >> 8) % n;
    };
    const int32_t odd[] = {0, -20060409, 19700101, 19701231, 20380101, 99991231, INT32_MIN, INT32_MAX, 20060230};
    for (int i = 0; i < 4000; ++i) {
        int32_t date;
        switch (next(4)) {
        case 0: date = odd[next(std::size(odd))]; break;
        case 1: date = next(2) ? 19710101 + static_cast<int32_t>(next(40)) : 20371201 + static_cast<int32_t>(next(40)); break;
        default: date = 20050000 + static_cast<int32_t>(next(3)) * 10000 + static_cast<int32_t>(1 + next(12)) * 100 +
                        static_cast<int32_t>(1 + next(31));
        }
        // Mostly small genre ids, now and then ones far outside them.
        const int32_t oddGenres[] = {-1, INT32_MIN, INT32_MAX, 1023, 1024, 70000};
        const int32_t genre = next(8) ? static_cast<int32_t>(next(5)) : oddGenres[next(std::size(oddGenres))];
        records.push_back(std::make_unique<ScheduleRecord>(Schedule(date, i, "r", genre, "")));
        if (next(10) == 0) records.push_back(std::make_unique<ScheduleRecord>(*records.back()));  // duplicate
    }
    frame->store.schedules.IndexByDate();

    const std::pair<int, int> months[] = {{1971, 1}, {1971, 2}, {2005, 1}, {2005, 12}, {2006, 3},
                                          {2006, 4}, {2007, 7}, {2037, 11}, {2037, 12}};
    for (const auto& [year, month] : months) {
        Tabs().ShowMonth(year, month, 1);
        std::map<int32_t, int32_t> counts;
        for (const auto& record : records) {
            if (record->date >= Grid().FirstKey() && record->date <= Grid().LastKey()) ++counts[record->genreId];
        }
        EXPECT_EQ(Grid().genreCounts, counts) << year << "-" << month;
        EXPECT_EQ(frame->store.schedules.CountByGenre(Grid().FirstKey(), Grid().LastKey()), counts);
        size_t listed = 0;
        for (int i = 0; i < kDayCells; ++i) {
            const DayCell& cell = Grid().Cell(CellAt(i).column, CellAt(i).row);
            std::vector<const ScheduleRecord*> want;
            for (const auto& record : records) {
                if (record->date == cell.DateKey()) want.push_back(record.get());
            }
            ASSERT_EQ(cell.Schedules().size(), want.size()) << cell.DateKey();
            for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(cell.Schedules()[k].id, want[k]->id) << cell.DateKey();
            listed += want.size();
        }
        if (year == 1971 || year == 2037) {
            EXPECT_GT(listed, 0u) << year << "-" << month;
        }
    }

    // Records added without a fetch are found too (the index is made again).
    records.push_back(std::make_unique<ScheduleRecord>(Schedule(20060415, 99999, "late", 4, "")));
    Tabs().ShowMonth(2006, 4, 1);
    const DayCell& saturday = Grid().Cell(6, 2);
    ASSERT_EQ(saturday.DateKey(), 20060415);
    ASSERT_FALSE(saturday.Schedules().empty());
    EXPECT_EQ(saturday.Schedules().back().id, 99999);

    records = std::move(saved);
    Tabs().ShowMonth(2006, 4, 1);
    EXPECT_EQ(Grid().Cell(0, 2).Schedules().size(), 3u);

    // The days list the store's own records; before a load replaces them
    // each day copies its own, and lists those whatever becomes of the old.
    Tabs().ShowMonth(2006, 4, 1);
    const DayCell& sunday = Grid().Cell(0, 2);  // 04-09, not the selected day
    ASSERT_FALSE(sunday.Selected());
    Grid().KeepOwnCopies();
    std::vector<std::string> texts;
    for (const auto& record : records) {
        texts.emplace_back(record->text);
        CopyToField(record->text, "overwritten by a load");
    }
    ASSERT_EQ(sunday.Schedules().size(), 3u);
    for (const ScheduleRecord& copy : sunday.Schedules()) EXPECT_STRNE(copy.text, "overwritten by a load");
    for (size_t i = 0; i < records.size(); ++i) CopyToField(records[i]->text, texts[i]);
    Tabs().ShowMonth(2006, 4, 1);
    EXPECT_EQ(Grid().Cell(0, 2).ScheduleCount(), 3u);
}

TEST_F(CalendarDisplay, SelectionStatusTextAndDaySheet) {
    Tabs().ShowMonth(2006, 4, 1);
    const int width = Grid().ClientWidth();
    const int height = Grid().ClientHeight();

    // On the line between columns 0 and 1: the left cell, Sunday 04-09 with
    // three schedules.
    RECT right = DayRect(width, height, 1, 2);
    Click(right.left, (right.top + right.bottom) / 2);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{0, 2}}));
    EXPECT_TRUE(frame->daySelected.back());
    EXPECT_EQ(frame->statusTexts.back(), "2006年4月9日(日) 花見 他");
    // On the line between rows 2 and 3: the upper cell, 04-12 with one.
    RECT lower = DayRect(width, height, 3, 3);
    Click((lower.left + lower.right) / 2, lower.top);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{3, 2}}));
    EXPECT_EQ(frame->statusTexts.back(), "2006年4月12日(水) only");
    EXPECT_EQ(GetFocus(), Grid().Handle());

    // The title: nothing selected, 40005 grayed, the status text stays.
    const size_t texts = frame->statusTexts.size();
    Click(width / 2, 10);
    EXPECT_TRUE(Selected().empty());
    EXPECT_FALSE(frame->daySelected.back());
    EXPECT_EQ(frame->statusTexts.size(), texts);
    // An arrow without a selection only marks the remembered day again.
    const size_t selections = frame->daySelected.size();
    Key(VK_DOWN);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{3, 2}}));
    EXPECT_EQ(frame->daySelected.size(), selections);
    EXPECT_EQ(frame->statusTexts.size(), texts);

    // Arrows move one day; a held key's repeats are ignored.
    Key(VK_DOWN);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{3, 3}}));
    Key(VK_DOWN, false, false, true);
    Key(VK_DOWN, false, false, true);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{3, 3}}));
    EXPECT_EQ(frame->statusTexts.back(), "2006年4月19日(水) ");
    // The long schedule of 04-17: cut to 255 bytes, its last character whole.
    Key(VK_LEFT);
    Key(VK_LEFT);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{1, 3}}));
    EXPECT_EQ(frame->statusTexts.back(), "2006年4月17日(月) " + std::string(237, 'x'));

    // Edges: Sunday of row 0 left, Saturday of row 5 right stay; rows wrap.
    Click(DayRect(width, height, 0, 0).left + 5, DayRect(width, height, 0, 0).top + 5);
    Key(VK_LEFT);
    Key(VK_UP);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{0, 0}}));
    Click(DayRect(width, height, 6, 5).right - 5, DayRect(width, height, 6, 5).bottom - 5);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{6, 5}}));
    Key(VK_RIGHT);
    Key(VK_DOWN);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{6, 5}}));
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_UP);
    Key(VK_RIGHT);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{0, 3}}));
    Key(VK_LEFT);
    EXPECT_EQ(Selected(), (std::vector<CellPosition>{{6, 2}}));
    // The selection never changes the month.
    EXPECT_EQ(Shown(), std::make_pair(2006, 4));

    // Keys the grid does not use, and every command, go to the frame.
    Key(VK_F5);
    ASSERT_FALSE(frame->keys.empty());
    EXPECT_EQ(frame->keys.back(), static_cast<UINT>(VK_F5));
    Grid().SendMessage(WM_COMMAND, MAKEWPARAM(40012, 0), 0);
    ASSERT_FALSE(frame->commands.empty());
    EXPECT_EQ(frame->commands.back(), 40012u);

    // The day sheet: Enter and double-click open it on the schedules page;
    // a cancelled sheet reloads nothing.
    frame->sheets.clear();
    frame->reloads.clear();
    Click(DayRect(width, height, 3, 2).left + 5, DayRect(width, height, 3, 2).top + 5);  // 04-12
    Key(VK_RETURN);
    Click(DayRect(width, height, 3, 2).left + 5, DayRect(width, height, 3, 2).top + 5, WM_LBUTTONDBLCLK);
    ASSERT_EQ(frame->sheets.size(), 2u);
    EXPECT_EQ(frame->sheets[0].owner, Grid().Handle());
    EXPECT_EQ(frame->sheets[0].dateKey, 20060412);
    EXPECT_EQ(frame->sheets[0].startPage, 0);
    EXPECT_EQ(frame->sheets[1].startPage, 0);
    EXPECT_TRUE(frame->reloads.empty());

    // A confirmed sheet reloads schedules and date information and shows the
    // new state: cells, counts, holiday mark and tree counts.
    frame->sheetResult = 1;
    frame->onReload = [] {
        AddSchedule(*frame, Schedule(20060412, 20, "added", 2, ""));
        frame->store.dateInfo.records.push_back(std::make_unique<DateInfoRecord>(DateInfo(20060412, "休", 1)));
    };
    const int updates = frame->countUpdates;
    Grid().OpenDaySheet(1);
    frame->sheetResult = 0;
    frame->onReload = nullptr;
    ASSERT_EQ(frame->sheets.size(), 3u);
    EXPECT_EQ(frame->sheets[2].startPage, 1);
    EXPECT_EQ(frame->reloads, (std::vector<uint32_t>{LOAD_SCHEDULES | LOAD_DATE_INFO}));
    EXPECT_EQ(frame->countUpdates, updates + 1);
    const DayCell& changed = Grid().Cell(3, 2);
    ASSERT_EQ(changed.Schedules().size(), 2u);
    EXPECT_STREQ(changed.Schedules()[1].text, "added");
    EXPECT_EQ(changed.Flags(), DAY_HOLIDAY);
    EXPECT_EQ(Grid().genreCounts[2], 4);
    EXPECT_TRUE(changed.Selected());

    // Escape deselects; then nothing opens.
    Key(VK_ESCAPE);
    EXPECT_TRUE(Selected().empty());
    EXPECT_FALSE(frame->daySelected.back());
    Key(VK_RETURN);
    EXPECT_EQ(frame->sheets.size(), 3u);

    frame->store.schedules.records.pop_back();
    frame->store.dateInfo.records.pop_back();
}

// A 32-bit top-down DIB selected into a memory DC, its pixels readable.
class Canvas {
public:
    explicit Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : width_(width) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<const uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    ~Canvas() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Handle() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        uint32_t pixel = bits_[y * width_ + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    bool Dark(int x, int y) const {
        COLORREF c = At(x, y);
        return GetRValue(c) < 0x60 && GetGValue(c) < 0x60 && GetBValue(c) < 0x60;
    }
    int Count(const RECT& area, const std::function<bool(COLORREF)>& match) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) count += match(At(x, y)) ? 1 : 0;
        }
        return count;
    }
    // The bounding box of the dark pixels in `area` (empty when none).
    RECT DarkBox(const RECT& area) const {
        RECT box{area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                if (!Dark(x, y)) continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
        return box;
    }

private:
    int width_;
    HBITMAP bitmap_;
    const uint32_t* bits_ = nullptr;
    HDC dc_;
    HGDIOBJ previous_;
};

// Draws `text` in black as a cell draws it, with a font made like the cell's;
// with DT_CALCRECT returns the measured height instead.
int DrawReference(Canvas& canvas, const char* face, int height, int weight, const std::string& text, RECT rect,
                  UINT format) {
    HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    HGDIOBJ old = SelectObject(canvas.Handle(), font);
    SetBkMode(canvas.Handle(), TRANSPARENT);
    SetTextColor(canvas.Handle(), 0);
    int result = DrawTextA(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &rect, format);
    if (format & DT_CALCRECT) result = rect.bottom - rect.top;
    SelectObject(canvas.Handle(), old);
    DeleteObject(font);
    return result;
}

// The measured height of a day cell's head text.
int HeadHeight(Canvas& canvas, const std::string& head) {
    return DrawReference(canvas, "Fixed Sys", 14, FW_BOLD, head, RECT{}, DT_CALCRECT);
}

TEST_F(CalendarDisplay, DrawingReadBackFromTheBitmap) {
    constexpr int W = 700, H = 650;  // columns and rows of 100 pixels
    Tabs().ShowMonth(2006, 4, 1);
    CalendarGrid& grid = Grid();
    for (int i = 0; i < kDayCells; ++i) grid.Cell(CellAt(i).column, CellAt(i).row).SetSelected(false);
    grid.Cell(3, 1).SetSelected(true);               // Wednesday 04-05
    grid.Cell(0, 3).SetFlags(DAY_TODAY);             // Sunday 04-16 as today
    grid.Cell(0, 2).TakeDateInfo(DateInfo(20060409, "花祭り", 0));
    grid.genreFilter = {1, 2};
    grid.Cell(0, 4).SetSelected(true);  // Sunday 04-23: its inset frame leaves x = 0 to the fill
    // Texts from the server are drawn as they are, "&" and all.
    const ScheduleRecord ampersands[] = {Schedule(20060406, 90, "Q&A打合せ", 2, ""), Schedule(20060406, 91, "A&&B", 2, "")};
    for (const ScheduleRecord& record : ampersands) grid.Cell(4, 1).ShowSchedule(&record);
    grid.Cell(5, 1).TakeDateInfo(DateInfo(20060407, "R&D", 0));
    // Any nonzero holiday value marks a holiday and nothing else.
    grid.Cell(1, 1).TakeDateInfo(DateInfo(20060403, "", 4096));
    grid.Cell(1, 2).TakeDateInfo(DateInfo(20060410, "", -1));
    EXPECT_EQ(grid.Cell(1, 1).Flags(), DAY_HOLIDAY);
    EXPECT_EQ(grid.Cell(1, 2).Flags(), DAY_HOLIDAY);

    // A colour no cell uses: whatever keeps it was never drawn.
    constexpr COLORREF kUndrawn = RGB(255, 0, 255);
    Canvas canvas(W, H, kUndrawn);
    Dc dc(canvas.Handle());
    grid.Render(dc, W, H);
    EXPECT_EQ(canvas.Count(RECT{0, 0, W, H}, [](COLORREF c) { return c == kUndrawn; }), 0);

    auto inside = [&](int column, int row) {
        RECT r = DayRect(W, H, column, row);
        return canvas.At(r.right - 8, r.bottom - 8);
    };
    // Every background of the colour table, away from the texts.
    EXPECT_EQ(inside(6, 4), kHolidayBackground);     // holiday on a Saturday
    EXPECT_EQ(inside(0, 3), kTodayBackground);       // today on a Sunday
    EXPECT_EQ(inside(2, 0), kOtherMonthBackground);  // 03-28
    EXPECT_EQ(inside(2, 1), kPlainBackground);       // Tuesday 04-04
    EXPECT_EQ(inside(6, 1), kSaturdayBackground);    // 04-08
    EXPECT_EQ(inside(0, 1), kHolidayBackground);     // Sunday 04-02
    EXPECT_EQ(canvas.At(5, 15), kTitleBackground);
    EXPECT_EQ(canvas.At(WeekdayRect(W, 1).left + 5, 40), kPlainBackground);
    // Day numbers: red for the holiday Saturday and for today's Sunday, blue
    // for a plain Saturday; weekday names red and blue at the ends.
    auto colourIn = [&](const RECT& area, COLORREF colour) {
        return canvas.Count(area, [colour](COLORREF c) { return c == colour; });
    };
    auto head = [&](int column, int row) {
        RECT r = DayRect(W, H, column, row);
        return RECT{r.left + 1, r.top + 1, r.left + 30, r.top + 15};
    };
    EXPECT_GT(colourIn(head(6, 4), kRed), 0);
    EXPECT_EQ(colourIn(head(6, 4), kBlue), 0);
    EXPECT_GT(colourIn(head(0, 3), kRed), 0);
    EXPECT_GT(colourIn(head(6, 1), kBlue), 0);
    EXPECT_GT(colourIn(WeekdayRect(W, 0), kRed), 0);
    EXPECT_GT(colourIn(WeekdayRect(W, 6), kBlue), 0);
    EXPECT_EQ(colourIn(WeekdayRect(W, 3), kRed) + colourIn(WeekdayRect(W, 3), kBlue), 0);

    // Grey one-pixel borders; the selected day's amber pen, 2 pixels wide, on
    // its rectangle moved in by 2 at the left and top, 1 at the right and bottom.
    RECT plain = DayRect(W, H, 2, 1);
    const int plainMid = (plain.top + plain.bottom) / 2;
    EXPECT_EQ(canvas.At(plain.left, plainMid), kBorder);
    EXPECT_EQ(canvas.At(plain.left + 1, plainMid), kPlainBackground);
    EXPECT_EQ(canvas.At((plain.left + plain.right) / 2, plain.top), kBorder);
    EXPECT_EQ(canvas.At(0, 15), kBorder);
    RECT sel = DayRect(W, H, 3, 1);
    const int selMid = (sel.top + sel.bottom) / 2;
    const int selCentre = (sel.left + sel.right) / 2;
    // From each edge inwards: the neighbour's grey line, then the amber pen.
    const COLORREF inwards[] = {kBorder, kSelectedBorder, kSelectedBorder, kPlainBackground};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(canvas.At(sel.left + i, selMid), inwards[i]) << "left + " << i;
        EXPECT_EQ(canvas.At(selCentre, sel.top + i), inwards[i]) << "top + " << i;
        EXPECT_EQ(canvas.At(sel.right - 1 - i, selMid), inwards[i]) << "right - " << 1 + i;
        EXPECT_EQ(canvas.At(selCentre, sel.bottom - 1 - i), inwards[i]) << "bottom - " << 1 + i;
    }

    // The selected Sunday at the window's left edge: the fill's border colour
    // outside its amber frame, as the neighbour's line is for other columns.
    RECT sunday = DayRect(W, H, 0, 4);
    const int sundayMid = (sunday.top + sunday.bottom) / 2;
    EXPECT_EQ(canvas.At(0, sundayMid), kBorder);
    EXPECT_EQ(canvas.At(1, sundayMid), kSelectedBorder);
    EXPECT_EQ(canvas.At(3, sundayMid), kHolidayBackground);

    // Holiday values 4096 and -1: the holiday's pink and red day number, not
    // today's green or another month's.
    EXPECT_EQ(inside(1, 1), kHolidayBackground);
    EXPECT_EQ(inside(1, 2), kHolidayBackground);
    EXPECT_GT(colourIn(head(1, 1), kRed), 0);
    EXPECT_GT(colourIn(head(1, 2), kRed), 0);

    // "Q&A打合せ" and "A&&B" in the list, "R&D" in the head: pixel for pixel
    // what DrawText draws of them without mnemonics (no "QA" with an
    // underlined A, no "A&B").
    auto sameDark = [&](const Canvas& reference, const RECT& area) {
        int differing = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) differing += canvas.Dark(x, y) != reference.Dark(x, y);
        }
        return differing;
    };
    {
        RECT cell = DayRect(W, H, 4, 1);
        const int top = cell.top + HeadHeight(canvas, "6");
        Canvas literal(W, H);
        DrawReference(literal, "ＭＳ Ｐゴシック", 11, FW_NORMAL, "Q&A打合せ\r\nA&&B\r\n", RECT{cell.left, top, cell.right, cell.bottom},
                      DT_END_ELLIPSIS | DT_NOPREFIX);
        RECT list{cell.left + 1, top, cell.right - 1, cell.bottom - 1};
        EXPECT_GT(literal.Count(list, [](COLORREF c) { return c == 0; }), 20);
        EXPECT_EQ(sameDark(literal, list), 0);
    }
    {
        RECT cell = DayRect(W, H, 5, 1);
        Canvas literal(W, H);
        DrawReference(literal, "Fixed Sys", 14, FW_BOLD, "7 R&D", cell, DT_NOPREFIX);
        RECT headArea{cell.left + 1, cell.top + 1, cell.right - 1, cell.top + HeadHeight(canvas, "7 R&D")};
        EXPECT_EQ(sameDark(literal, headArea), 0);
    }

    // Schedule lines start under the measured head text: the Sunday's head is
    // red, its lines black.
    RECT named = DayRect(W, H, 0, 2);
    const int headHeight = HeadHeight(canvas, "9 花祭り");
    ASSERT_GT(headHeight, 5);
    RECT above{named.left + 1, named.top + 1, named.right - 1, named.top + headHeight};
    RECT below{named.left + 1, named.top + headHeight, named.right - 1, named.bottom - 1};
    RECT headBox = canvas.DarkBox(above);
    EXPECT_LE(headBox.right, headBox.left) << "dark pixels beside the head text";
    RECT lines = canvas.DarkBox(below);
    EXPECT_LT(lines.top, named.top + headHeight + 11);
    EXPECT_GT(lines.bottom - lines.top, 22);  // three lines
    EXPECT_GT(colourIn(above, kRed), 0);

    // No brackets for a genre without a name: 04-12 shows "only" and nothing
    // else below its head.
    RECT onlyCell = DayRect(W, H, 3, 2);
    const int onlyHead = HeadHeight(canvas, "12");
    RECT onlyBox = canvas.DarkBox(RECT{onlyCell.left + 1, onlyCell.top + onlyHead, onlyCell.right - 1, onlyCell.bottom - 1});
    Canvas reference(W, H);
    DrawReference(reference, "ＭＳ Ｐゴシック", 11, FW_NORMAL, "only\r\n",
                  RECT{onlyCell.left, onlyCell.top + onlyHead, onlyCell.right, onlyCell.bottom}, DT_END_ELLIPSIS);
    RECT referenceBox = reference.DarkBox(RECT{onlyCell.left + 1, onlyCell.top + onlyHead, onlyCell.right - 1, onlyCell.bottom - 1});
    EXPECT_TRUE(Equal(onlyBox, referenceBox));

    // A line too wide for its cell ends in an ellipsis (04-17).
    RECT longCell = DayRect(W, H, 1, 3);
    const int longHead = HeadHeight(canvas, "17");
    RECT listRect{longCell.left, longCell.top + longHead, longCell.right, longCell.bottom};
    const std::string longLine = std::string(250, 'x') + "表\r\n";
    Canvas ellipsis(W, H), clipped(W, H);
    DrawReference(ellipsis, "ＭＳ Ｐゴシック", 11, FW_NORMAL, longLine, listRect, DT_END_ELLIPSIS);
    DrawReference(clipped, "ＭＳ Ｐゴシック", 11, FW_NORMAL, longLine, listRect, 0);
    RECT band{longCell.left + 1, listRect.top, longCell.right - 1, listRect.top + 12};
    int sameAsEllipsis = 0, sameAsClipped = 0, total = 0;
    for (int y = band.top; y < band.bottom; ++y) {
        for (int x = band.left; x < band.right; ++x) {
            ++total;
            sameAsEllipsis += canvas.Dark(x, y) == ellipsis.Dark(x, y);
            sameAsClipped += canvas.Dark(x, y) == clipped.Dark(x, y);
        }
    }
    EXPECT_EQ(sameAsEllipsis, total);
    EXPECT_LT(sameAsClipped, total);

    // The window's own paint shows what Render draws, through its one BitBlt.
    const int gridWidth = grid.ClientWidth();
    const int gridHeight = grid.ClientHeight();
    Canvas rendered(gridWidth, gridHeight);
    Dc renderedDc(rendered.Handle());
    grid.Render(renderedDc, gridWidth, gridHeight);
    RedrawWindow(grid.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC windowDc = GetDC(grid.Handle());
    for (int i = 0; i < kDayCells; i += 5) {
        RECT r = DayRect(gridWidth, gridHeight, CellAt(i).column, CellAt(i).row);
        EXPECT_EQ(GetPixel(windowDc, r.right - 8, r.bottom - 8), rendered.At(r.right - 8, r.bottom - 8)) << i;
        EXPECT_EQ(GetPixel(windowDc, r.left, r.bottom - 8), rendered.At(r.left, r.bottom - 8)) << i;
    }
    ReleaseDC(grid.Handle(), windowDc);

    grid.DeselectAll();
    grid.genreFilter.clear();
    // The records lent to the cells above (locals of this test) go with a fresh layout.
    Tabs().ShowMonth(2006, 4, 1);
}

}  // namespace
