// The client as a person uses it: the real calendar-server with its demo data
// and the real RendezClient.exe in Wine's virtual desktop, driven only by X
// input (xdotool). The steps run in order on one client and check what the
// server holds (read through its protocol) or logged, what the client's
// windows say (read from outside its process) and pixels of the screen.
// Screenshots of every step stay in the build folder (tests/e2e/shots).
#include "protocol/CategorySet.h"
#include "protocol/DateInfoSet.h"
#include "protocol/ScheduleSet.h"
#include "tests/e2e/ClientFixture.h"
#include "tests/e2e/RemoteControls.h"
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/TestServerContext.h"
#include "text/ShiftJis.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

size_t Occurrences(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

long DayKey(long days) {
    const Day d = CivilFromDays(days);
    return d.year * 10000L + d.month * 100L + d.day;
}

// The client's notice of others' changes, and how often it checks for them.
const char kChangedElsewhere[] = "他の端末で更新されました (F5で最新の情報に更新)";
const unsigned ChangeCheckMs = 30000;

// The cell every step selects: a Wednesday in the middle of the month.
const int kColumn = 3, kRow = 2;

// The day every editing step works on: a weekday in the middle of a month
// three months ahead, which the demo data leave without schedules.
const int kEditColumn = 3, kEditRow = 2;
Day EditMonth() { return AddMonths(Today(), 3); }
int32_t EditDay() {
    const Day month = EditMonth();
    return static_cast<int32_t>(DayKey(CellDays(month.year, month.month, kEditColumn, kEditRow)));
}

// A visible top-level window of the client with this title, once it is up.
HWND WaitForWindow(const char* title) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowA(nullptr, title)) != nullptr && IsWindowVisible(window); },
              kStepMs);
    return window && IsWindowVisible(window) ? window : nullptr;
}

bool WaitClosed(HWND window) {
    return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, kStepMs);
}

bool ClickControl(HWND parent, int id) {
    HWND control = FindDescendant(parent, nullptr, id);
    return control && WaitUntil([&] { return IsWindowEnabled(control) != FALSE; }, kStepMs) &&
           Click(Middle(ScreenRect(control)));
}

class EndToEnd : public ClientFixture {
protected:
    static void SetUpTestSuite() {
        server_ = new CalendarServerProcess({{"demo"}});
        // The client keeps its defaults but for the port of this test's server.
        ResetSettings(server_->Port());
    }
    static void TearDownTestSuite() {
        client_.reset();
        delete server_;
        server_ = nullptr;
        ResetSettings(0);
    }

    // Selects the editing day: its cell, then three months on from today's.
    static bool GoToEditDay() {
        return Click(CellCentre(kEditColumn, kEditRow)) && Keys("ctrl+Home ctrl+Next ctrl+Next ctrl+Next") &&
               StatusShows(EditMonth(), kEditColumn, kEditRow);
    }
    // Back on the day the other steps select, in the current month.
    static bool BackToToday() {
        return Click(CellCentre(kColumn, kRow)) && Keys("ctrl+Home") && StatusShows(Today(), kColumn, kRow);
    }

    // Waits until a reload begun after `loadsBefore` loads has ended: its
    // last request answered and its progress dialog gone, so the frame takes
    // input again with the grid refilled.
    static bool ReloadEnded(size_t loadsBefore) {
        return WaitUntil([&] { return Occurrences(server_->Log(), " GET 3 ") > loadsBefore; }, kStepMs) &&
               WaitUntil([] { return IsWindowEnabled(Frame()) != FALSE; }, kStepMs);
    }
    // OK on the day sheet, then the reload that follows it.
    static bool ConfirmSheet(HWND sheet) {
        const size_t loads = Occurrences(server_->Log(), " GET 3 ");
        return ClickControl(sheet, IDOK) && WaitClosed(sheet) && ReloadEnded(loads);
    }
    // The status bar's second part: the notice of others' changes, or "".
    static std::string NoticeText() { return StatusPartText(StatusBar(), 1); }
    // 最新の情報に更新 (F5) and the reload.
    static bool Refresh() {
        const size_t loads = Occurrences(server_->Log(), " GET 3 ");
        return Keys("F5") && ReloadEnded(loads);
    }

    // ---- modal windows hold the frame ----

    // The client's shown top-level windows other than the frame.
    static std::vector<HWND> ClientPopups() {
        struct Search {
            DWORD process;
            HWND frame;
            std::vector<HWND> found;
        } search{client_ ? client_->Id() : 0, Frame(), {}};
        EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto& s = *reinterpret_cast<Search*>(data);
                DWORD process = 0;
                GetWindowThreadProcessId(window, &process);
                if (process == s.process && window != s.frame && IsWindowVisible(window)) s.found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    // With `modal` up, the frame takes no input: it is disabled, and a click
    // on a month tab that no window of the client covers leaves the month.
    static void ExpectFrameHeld(HWND modal, const std::string& shotName) {
        ASSERT_TRUE(modal && IsWindowVisible(modal)) << shotName;
        EXPECT_FALSE(IsWindowEnabled(Frame())) << shotName << ": the frame takes input";
        HWND tabs = Tabs();
        const LRESULT month = SendRemote(tabs, TCM_GETCURSEL, 0, 0);
        const std::vector<HWND> popups = ClientPopups();
        for (int index = 0; index < 12; ++index) {
            const POINT at = Middle(TabRect(tabs, index));
            bool covered = index == month;
            for (HWND popup : popups) {
                const RECT rect = ScreenRect(popup);
                covered = covered || PtInRect(&rect, at);
            }
            if (covered) continue;
            ASSERT_TRUE(Click(at));
            // Time for a click that got through to change the month.
            WaitUntil([&] { return SendRemote(tabs, TCM_GETCURSEL, 0, 0) != month; }, 1000);
            EXPECT_EQ(SendRemote(tabs, TCM_GETCURSEL, 0, 0), month) << shotName << ": a month tab took a click";
            EXPECT_TRUE(IsWindowVisible(modal)) << shotName;
            Shot(shotName);
            return;
        }
        ADD_FAILURE() << shotName << ": every month tab lies under the client's windows";
    }

    // ---- what the server holds, read through its protocol ----

    static std::unique_ptr<TestServerContext> ServerContext() {
        return std::make_unique<TestServerContext>("127.0.0.1", server_->Port());
    }
    static std::vector<ScheduleRecord> HeldSchedules(int32_t date) {
        auto context = ServerContext();
        ScheduleSet set(*context);
        std::vector<ScheduleRecord> day;
        EXPECT_EQ(set.Get(""), 1);
        for (const auto& record : set.records) {
            if (record->date == date) day.push_back(*record);
        }
        return day;
    }
    static std::vector<CategoryRecord> HeldCategories() {
        auto context = ServerContext();
        CategorySet set(*context);
        std::vector<CategoryRecord> records;
        EXPECT_EQ(set.Get(""), 1);
        for (const auto& record : set.records) records.push_back(*record);
        return records;
    }
    static const CategoryRecord* Named(const std::vector<CategoryRecord>& records, const std::string& name) {
        for (const CategoryRecord& record : records) {
            if (FieldText(record.name) == name) return &record;
        }
        return nullptr;
    }
    static std::unique_ptr<DateInfoRecord> HeldDateInfo(int32_t date) {
        auto context = ServerContext();
        DateInfoSet set(*context);
        EXPECT_EQ(set.Get(""), 1);
        for (const auto& record : set.records) {
            if (record->date == date) return std::make_unique<DateInfoRecord>(*record);
        }
        return nullptr;
    }

    static CalendarServerProcess* server_;
};

CalendarServerProcess* EndToEnd::server_ = nullptr;

TEST_F(EndToEnd, StartsOnTheDemoMonthAfterLoadingFromTheServer) {
    ASSERT_NE(server_->Port(), 0) << "calendar-server did not start";
    ASSERT_TRUE(StartClient()) << "the client's frame did not come up";
    EXPECT_EQ(WindowText(Frame()), kTitle);
    ASSERT_NE(Grid(), nullptr);
    ASSERT_NE(StatusBar(), nullptr);
    EXPECT_EQ(ShownMonth(), Today().month);

    // The load ran HELLO, GET 1, GET 2, GET 3 against this server, in order.
    const std::string log = server_->Log();
    size_t at = 0;
    for (const char* request : {" HELLO ", " GET 1 ", " GET 2 ", " GET 3 "}) {
        size_t found = log.find(request, at);
        EXPECT_NE(found, std::string::npos) << request << " missing from:\n" << log;
        if (found != std::string::npos) at = found;
    }

    ASSERT_NE(Toolbar(), nullptr);
    EXPECT_TRUE(ToolbarDrawn("01-start")) << "toolbar pictures not drawn";
}

TEST_F(EndToEnd, SelectingADayShowsItInTheStatusBar) {
    ASSERT_TRUE(client_ && client_->Running());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(StatusShows(Today(), kColumn, kRow)) << StatusText();
    Shot("02-day-selected");
}

TEST_F(EndToEnd, MovesThroughMonthsByToolbarMenuAndKeys) {
    ASSERT_TRUE(client_ && client_->Running());
    const Day today = Today();

    // Toolbar: the next-month button is the one before the next-year
    // button, whose picture's blue ends 13 pixels into its 16.
    HWND toolbar = Toolbar();
    ASSERT_NE(toolbar, nullptr);
    const LRESULT size = SendMessageA(toolbar, TB_GETBUTTONSIZE, 0, 0);
    const int buttonWidth = LOWORD(size);
    Screen screen = Shot("03-before-toolbar");
    const RECT bar = ScreenRect(toolbar);
    const RECT blue = screen.BoundsOf(RGB(0, 64, 176), bar);
    ASSERT_GT(blue.right, bar.left);
    const POINT nextMonth{blue.right - 13 - (buttonWidth - 16) / 2 - buttonWidth / 2, (bar.top + bar.bottom) / 2};
    ASSERT_TRUE(Click(nextMonth));
    EXPECT_TRUE(StatusShows(AddMonths(today, 1), kColumn, kRow)) << StatusText();
    Shot("03-next-month-by-toolbar");

    // Menu: 表示 → 前の月.
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+v o"));
    EXPECT_TRUE(StatusShows(today, kColumn, kRow)) << StatusText();

    // Keys on the grid.
    ASSERT_TRUE(Keys("ctrl+Next"));
    EXPECT_TRUE(StatusShows(AddMonths(today, 1), kColumn, kRow)) << StatusText();
    ASSERT_TRUE(Keys("ctrl+shift+Prior"));
    EXPECT_TRUE(StatusShows(AddMonths(today, -11), kColumn, kRow)) << StatusText();
    Shot("03-year-back-by-keys");
    ASSERT_TRUE(Keys("ctrl+Home"));
    EXPECT_TRUE(StatusShows(today, kColumn, kRow)) << StatusText();

    // ﾍﾙﾌﾟ → ﾊﾞｰｼﾞｮﾝ情報 holds the frame as well.
    ASSERT_TRUE(Keys("alt+h a"));
    HWND about = WaitForWindow("ミモザ手帳 について");
    ASSERT_NE(about, nullptr);
    ExpectFrameHeld(about, "03-frame-held-by-about");
    ASSERT_TRUE(ClickControl(about, IDOK));
    ASSERT_TRUE(WaitClosed(about));
    EXPECT_TRUE(WaitUntil([] { return IsWindowEnabled(Frame()) != FALSE; }, kStepMs));
}

// ---- editing from outside: the day sheet, the date page, genres, the tree, search ----

// Picks item `index` of a drop-down list as a person does: open it, go to
// the top, step down, take it.
bool ChooseComboItem(HWND combo, int index) {
    // Keys sent before the list is down would reach the dialog: Return
    // would press its default button.
    if (!combo || !Click(Middle(ScreenRect(combo))) ||
        !WaitUntil([&] { return SendRemote(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, kStepMs)) {
        return false;
    }
    std::string keys = "Home";
    for (int i = 0; i < index; ++i) keys += " Down";
    return Keys(keys + " Return") && WaitUntil(
                                         [&] {
                                             return SendRemote(combo, CB_GETDROPPEDSTATE, 0, 0) == 0 &&
                                                    SendRemote(combo, CB_GETCURSEL, 0, 0) == index;
                                         },
                                         kStepMs);
}

// Replaces an edit's text by pasting `text` from the clipboard.
bool PasteInto(HWND edit, const std::string& text) {
    if (!edit || !Click(Middle(ScreenRect(edit))) || !Keys("End shift+Home BackSpace")) return false;
    if (!PutOnClipboard(text)) {
        ADD_FAILURE() << "the clipboard does not offer " << text;
        return false;
    }
    if (!Keys("ctrl+v") || !WaitUntil([&] { return WindowText(edit) == text; }, kStepMs)) {
        ADD_FAILURE() << "the edit holds " << WindowText(edit) << " instead of " << text;
        return false;
    }
    return true;
}

// Answers the "確認" box with OK after checking its question.
bool ConfirmDeletion(const std::string& name) {
    HWND box = WaitForWindow("確認");
    if (!box) return false;
    const std::string question = WindowText(FindDescendant(box, "Static", 0xFFFF));
    EXPECT_EQ(question, "「" + name + "」を削除します。よろしいですか？");
    return ClickControl(box, IDOK) && WaitClosed(box);
}

const char kDaySheet[] = "日付情報の登録・修正";
const char kEntryDialog[] = "スケジュールの登録・更新";
// Texts with bytes the wire escapes (":") and double-byte characters whose
// second byte is a backslash (表, ソ).
const std::string kFirstText = "表計算ソフト講習 10:30";
const std::string kSecondText = "表彰式 リハーサル";
const std::string kDayName = "創立記念日(表彰)";
const std::string kGenre = "ソフトボール";

TEST_F(EndToEnd, AddsChangesAndDeletesASchedule) {
    ASSERT_TRUE(client_ && client_->Running());
    const Day month = EditMonth();
    const int32_t day = EditDay();
    ASSERT_TRUE(HeldSchedules(day).empty()) << "the demo data reach " << day;
    ASSERT_TRUE(GoToEditDay());
    const std::string date = StatusDate(month.year, month.month, kEditColumn, kEditRow);
    EXPECT_FALSE(CellListsText(Shot("04-edit-day"), kEditColumn, kEditRow));
    const auto categories = HeldCategories();
    const CategoryRecord* event = Named(categories, "イベント");
    const CategoryRecord* training = Named(categories, "研修");
    ASSERT_TRUE(event && training);

    // Enter opens the day's sheet on its schedule page; 追加 the entry dialog.
    ASSERT_TRUE(Keys("Return"));
    HWND sheet = WaitForWindow(kDaySheet);
    ASSERT_NE(sheet, nullptr);
    HWND list = FindDescendant(sheet, "SysListView32", 1010);
    EXPECT_EQ(WindowText(FindDescendant(sheet, "Static", 1014)), date + "の予定を入力してください。");
    EXPECT_TRUE(ListViewRows(list, 3).empty());
    ExpectFrameHeld(sheet, "04-frame-held-by-sheet");
    ASSERT_TRUE(ClickControl(sheet, 1009));
    HWND entry = WaitForWindow(kEntryDialog);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(IsWindowEnabled(sheet));
    ExpectFrameHeld(entry, "04-frame-held-by-entry");
    EXPECT_FALSE(IsWindowEnabled(FindDescendant(entry, "Button", IDOK)));
    ASSERT_TRUE(ChooseComboItem(FindDescendant(entry, nullptr, 1021), 1));  // 社内行事
    ASSERT_TRUE(ChooseComboItem(FindDescendant(entry, nullptr, 1022), 1));  // イベント
    ASSERT_TRUE(PasteInto(FindDescendant(entry, "Edit", 1019), kFirstText));
    EXPECT_EQ(WindowText(FindDescendant(entry, nullptr, 1022)), "イベント");
    Shot("04-entry-dialog");
    ASSERT_TRUE(ClickControl(entry, IDOK));
    ASSERT_TRUE(WaitClosed(entry));
    EXPECT_EQ(ListViewRows(list, 3), std::vector<std::string>{"社内|ｲﾍﾞﾝﾄ|" + kFirstText});
    Shot("04-day-sheet-added");
    ASSERT_TRUE(ConfirmSheet(sheet));

    std::vector<ScheduleRecord> held;
    ASSERT_TRUE(WaitUntil([&] { return (held = HeldSchedules(day)).size() == 1; }, kStepMs));
    const int32_t id = held[0].id;
    EXPECT_EQ(FieldText(held[0].text), kFirstText);
    EXPECT_EQ(held[0].genreId, event->id);
    // The grid lists it, the status bar names it once the day is selected again.
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == date + " " + kFirstText; }, kStepMs)) << StatusText();
    EXPECT_TRUE(CellListsText(Shot("04-added"), kEditColumn, kEditRow));

    // Change: the row, 変更, another genre and text.
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    list = FindDescendant(sheet, "SysListView32", 1010);
    ASSERT_TRUE(Click(Middle(ListViewRowRect(list, 0))));
    ASSERT_TRUE(ClickControl(sheet, 1015));
    ASSERT_NE(entry = WaitForWindow(kEntryDialog), nullptr);
    EXPECT_EQ(WindowText(FindDescendant(entry, nullptr, 1021)), "社内行事");
    EXPECT_EQ(WindowText(FindDescendant(entry, nullptr, 1022)), "イベント");
    EXPECT_EQ(WindowText(FindDescendant(entry, "Edit", 1019)), kFirstText);
    ASSERT_TRUE(ChooseComboItem(FindDescendant(entry, nullptr, 1022), 0));  // 研修
    ASSERT_TRUE(PasteInto(FindDescendant(entry, "Edit", 1019), kSecondText));
    ASSERT_TRUE(ClickControl(entry, IDOK));
    ASSERT_TRUE(WaitClosed(entry));
    EXPECT_EQ(ListViewRows(list, 3), std::vector<std::string>{"社内|研修|" + kSecondText});
    Shot("04-day-sheet-changed");
    ASSERT_TRUE(ConfirmSheet(sheet));
    ASSERT_TRUE(WaitUntil(
        [&] {
            held = HeldSchedules(day);
            return held.size() == 1 && FieldText(held[0].text) == kSecondText;
        },
        kStepMs));
    EXPECT_EQ(held[0].id, id);
    EXPECT_EQ(held[0].genreId, training->id);
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == date + " " + kSecondText; }, kStepMs)) << StatusText();

    // Delete: the row, 削除, the question answered with OK.
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    list = FindDescendant(sheet, "SysListView32", 1010);
    ASSERT_TRUE(Click(Middle(ListViewRowRect(list, 0))));
    ASSERT_TRUE(ClickControl(sheet, 1011));
    ASSERT_TRUE(ConfirmDeletion(kSecondText));
    EXPECT_TRUE(ListViewRows(list, 3).empty());
    ASSERT_TRUE(ConfirmSheet(sheet));
    EXPECT_TRUE(WaitUntil([&] { return HeldSchedules(day).empty(); }, kStepMs));
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == date + " "; }, kStepMs)) << StatusText();
    EXPECT_FALSE(CellListsText(Shot("04-deleted"), kEditColumn, kEditRow));
    EXPECT_TRUE(BackToToday());
}

// The client's shown windows with this title.
size_t ShownWithTitle(const char* title) {
    struct Search {
        const char* title;
        size_t count;
    } search{title, 0};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            if (IsWindowVisible(window) && WindowText(window) == s.title) ++s.count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

// A point of `window` that `cover` leaves free (its middle or near a corner).
POINT UncoveredPoint(HWND window, HWND cover) {
    const RECT area = ScreenRect(window), covered = ScreenRect(cover);
    const POINT candidates[] = {Middle(area), {area.left + 3, area.top + 3}, {area.right - 4, area.top + 3},
                                {area.left + 3, area.bottom - 4}, {area.right - 4, area.bottom - 4}};
    for (const POINT& at : candidates) {
        if (!PtInRect(&covered, at)) return at;
    }
    return Middle(area);
}

TEST_F(EndToEnd, ASetRefusedForAScheduleDeletedElsewhereIsShownOnceOverTheSheet) {
    ASSERT_TRUE(client_ && client_->Running());
    const Day month = EditMonth();
    const int32_t day = EditDay();
    const std::string date = StatusDate(month.year, month.month, kEditColumn, kEditRow);
    const std::string text = "表計算の打合せ(取消)";
    ASSERT_TRUE(HeldSchedules(day).empty());
    {
        // Another user's schedule, which the client loads and then that user
        // deletes while the day sheet is open.
        const auto categories = HeldCategories();
        const CategoryRecord* event = Named(categories, "イベント");
        ASSERT_NE(event, nullptr);
        ScheduleRecord record;
        record.op = OP_ADD;
        record.date = day;
        record.genreId = event->id;
        CopyToField(record.text, text);
        auto context = ServerContext();
        ScheduleSet set(*context);
        ASSERT_EQ(set.Set(record), 1);
    }
    ASSERT_TRUE(GoToEditDay());
    ASSERT_TRUE(Refresh());
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    ASSERT_TRUE(WaitUntil([&] { return StatusText() == date + " " + text; }, kStepMs)) << StatusText();
    ASSERT_TRUE(Keys("Return"));
    HWND sheet = WaitForWindow(kDaySheet);
    ASSERT_NE(sheet, nullptr);
    HWND list = FindDescendant(sheet, "SysListView32", 1010);
    ASSERT_EQ(ListViewRows(list, 3).size(), 1u);
    {
        std::vector<ScheduleRecord> held = HeldSchedules(day);
        ASSERT_EQ(held.size(), 1u);
        held[0].op = OP_DELETE;
        auto context = ServerContext();
        ScheduleSet set(*context);
        ASSERT_EQ(set.Set(held[0]), 1);
    }
    // Changed in the sheet: the server refuses the change of a schedule it
    // no longer holds.
    ASSERT_TRUE(Click(Middle(ListViewRowRect(list, 0))));
    ASSERT_TRUE(ClickControl(sheet, 1015));
    HWND entry = WaitForWindow(kEntryDialog);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(PasteInto(FindDescendant(entry, "Edit", 1019), text + "(変更)"));
    ASSERT_TRUE(ClickControl(entry, IDOK));
    ASSERT_TRUE(WaitClosed(entry));

    const size_t sets = server_->Logged("SET 1");
    const size_t loads = Occurrences(server_->Log(), " GET 3 ");
    HWND ok = FindDescendant(sheet, "Button", IDOK);
    ASSERT_TRUE(ClickControl(sheet, IDOK));
    HWND box = WaitForWindow("SET失敗");
    ASSERT_NE(box, nullptr);
    // The sheet's change is conditional: the server names the deletion.
    EXPECT_NE(WindowText(FindDescendant(box, "Static", 0xFFFF)).find("ほかの人が削除しました"), std::string::npos)
        << WindowText(FindDescendant(box, "Static", 0xFFFF));
    // The box holds the sheet that is sending, and the sheet the frame.
    EXPECT_EQ(GetWindow(box, GW_OWNER), sheet);
    EXPECT_FALSE(IsWindowEnabled(sheet)) << "the sheet takes input under its failure";
    EXPECT_FALSE(IsWindowEnabled(Frame()));
    // OK on the sheet again does nothing: no second box, no second send.
    ASSERT_TRUE(Click(UncoveredPoint(ok, box)));
    WaitUntil([] { return ShownWithTitle("SET失敗") > 1; }, 1500);
    Shot("04-refused-set");
    EXPECT_EQ(ShownWithTitle("SET失敗"), 1u);
    EXPECT_EQ(server_->Logged("SET 1") - sets, 1u);

    // After the box the sheet closes, the reload comes and the grid shows
    // what the server holds: no schedule on the day.
    ASSERT_TRUE(ClickControl(box, IDOK));
    ASSERT_TRUE(WaitClosed(box));
    ASSERT_TRUE(WaitClosed(sheet));
    ASSERT_TRUE(ReloadEnded(loads));
    EXPECT_EQ(ShownWithTitle("SET失敗"), 0u);
    EXPECT_EQ(server_->Logged("SET 1") - sets, 1u);
    EXPECT_TRUE(HeldSchedules(day).empty());
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == date + " "; }, kStepMs)) << StatusText();
    EXPECT_FALSE(CellListsText(Shot("04-refused-set-reloaded"), kEditColumn, kEditRow));
    EXPECT_TRUE(BackToToday());
}

TEST_F(EndToEnd, NamesADayAndMarksItAHolidayOnTheDatePage) {
    ASSERT_TRUE(client_ && client_->Running());
    const int32_t day = EditDay();
    ASSERT_EQ(HeldDateInfo(day), nullptr) << day << " already has a name";
    ASSERT_TRUE(GoToEditDay());
    Screen before = Shot("05-before-naming");
    const RECT cell = CellRect(kEditColumn, kEditRow);
    const RECT head{cell.left + 3, cell.top + 3, cell.right - 3, cell.top + 15};
    const POINT inside{cell.right - 8, cell.bottom - 8};
    EXPECT_EQ(before.At(inside.x, inside.y), RGB(255, 255, 255));
    const RECT blackHead = before.BoundsOf(RGB(0, 0, 0), head);  // the day number alone
    ASSERT_GT(blackHead.right, blackHead.left);

    ASSERT_TRUE(Keys("Return"));
    HWND sheet = WaitForWindow(kDaySheet);
    ASSERT_NE(sheet, nullptr);
    HWND tabs = FindDescendant(sheet, "SysTabControl32", -1);
    ASSERT_TRUE(Click(Middle(TabRect(tabs, 1))));  // 日付設定
    HWND name = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (name = FindDescendant(sheet, "Edit", 1019)) && IsWindowVisible(name); },
                          kStepMs));
    EXPECT_EQ(WindowText(name), "");
    ASSERT_TRUE(PasteInto(name, kDayName));
    HWND holiday = FindDescendant(sheet, "Button", 1022);
    ASSERT_TRUE(holiday && Click(Middle(ScreenRect(holiday))));
    EXPECT_TRUE(WaitUntil([&] { return SendRemote(holiday, BM_GETCHECK, 0, 0) == BST_CHECKED; }, kStepMs));
    Shot("05-date-page");
    ASSERT_TRUE(ConfirmSheet(sheet));

    std::unique_ptr<DateInfoRecord> held;
    ASSERT_TRUE(WaitUntil([&] { return (held = HeldDateInfo(day)) != nullptr; }, kStepMs));
    EXPECT_EQ(FieldText(held->name), kDayName);
    EXPECT_EQ(held->holiday, 1);
    EXPECT_TRUE(HeldSchedules(day).empty());
    // The cell turns pink, and its head, now red, runs on past the day
    // number with the name.
    Screen after;
    EXPECT_TRUE(WaitUntil(
        [&] {
            after = Shot("05-holiday");
            return after.At(inside.x, inside.y) == RGB(255, 192, 192);
        },
        kStepMs));
    const RECT redHead = after.BoundsOf(RGB(255, 0, 0), head);
    EXPECT_EQ(after.BoundsOf(RGB(0, 0, 0), head).right, 0) << "head still black";
    EXPECT_GT(redHead.right - redHead.left, 3 * (blackHead.right - blackHead.left));

    // Renamed here while another person renames the day: the server refuses
    // this page's change with one box, and the reload shows the other name.
    const std::string mine = kDayName + "(延期)", theirs = "創立記念日";
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    ASSERT_TRUE(Click(Middle(TabRect(FindDescendant(sheet, "SysTabControl32", -1), 1))));
    ASSERT_TRUE(WaitUntil([&] { return (name = FindDescendant(sheet, "Edit", 1019)) && IsWindowVisible(name); },
                          kStepMs));
    ASSERT_TRUE(PasteInto(name, mine));
    auto renameDay = [&](const std::string& text) {
        DateInfoRecord other = *HeldDateInfo(day);
        CopyToField(other.name, text);
        auto context = ServerContext();
        DateInfoSet set(*context);
        return set.Set(other) == 1;
    };
    ASSERT_TRUE(renameDay(theirs));
    const size_t loads = Occurrences(server_->Log(), " GET 3 ");
    ASSERT_TRUE(ClickControl(sheet, IDOK));
    HWND box = WaitForWindow("SET失敗");
    ASSERT_NE(box, nullptr);
    const std::string refusal = WindowText(FindDescendant(box, "Static", 0xFFFF));
    EXPECT_NE(refusal.find("ほかの人が変更しました"), std::string::npos) << refusal;
    Shot("05-date-refused");
    ASSERT_TRUE(ClickControl(box, IDOK));
    ASSERT_TRUE(WaitClosed(sheet));
    ASSERT_TRUE(ReloadEnded(loads));
    EXPECT_EQ(ShownWithTitle("SET失敗"), 0u);
    EXPECT_EQ(FieldText(HeldDateInfo(day)->name), theirs);
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    ASSERT_TRUE(Click(Middle(TabRect(FindDescendant(sheet, "SysTabControl32", -1), 1))));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(FindDescendant(sheet, "Edit", 1019)) == theirs; }, kStepMs));
    ASSERT_TRUE(ClickControl(sheet, IDCANCEL));
    ASSERT_TRUE(WaitClosed(sheet));
    ASSERT_TRUE(renameDay(kDayName));
    ASSERT_TRUE(Refresh());
    EXPECT_TRUE(BackToToday());
}

// The tree's entry whose text is `name`, a blank and a count in brackets.
TreeEntry EntryOf(const std::vector<TreeEntry>& tree, const std::string& name) {
    for (const TreeEntry& entry : tree) {
        if (entry.text.rfind(name + " (", 0) == 0) return entry;
    }
    return TreeEntry{nullptr, -1, "", -1, false, false};
}

TEST_F(EndToEnd, AddsAndDeletesAGenreThroughTheCategoryDialog) {
    ASSERT_TRUE(client_ && client_->Running());
    const CategoryRecord* personal = nullptr;
    auto categories = HeldCategories();
    ASSERT_NE(personal = Named(categories, "個人"), nullptr);
    const int32_t personalId = personal->id;

    // Opens 編集 → ｶﾃｺﾞﾘ登録 and selects 個人, the third category.
    auto openOnPersonal = [&](HWND& dialog, HWND& genres) {
        ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
        ASSERT_TRUE(Keys("alt+e c"));
        ASSERT_NE(dialog = WaitForWindow("ｶﾃｺﾞﾘの登録・更新"), nullptr);
        HWND list = FindDescendant(dialog, "ListBox", 1034);
        ASSERT_EQ(SendRemote(list, LB_GETCOUNT, 0, 0), 3);
        const int height = static_cast<int>(SendRemote(list, LB_GETITEMHEIGHT, 0, 0));
        ASSERT_TRUE(Click(ClientPointOnScreen(list, 10, 2 * height + height / 2)));
        ASSERT_TRUE(WaitUntil([&] { return SendRemote(list, LB_GETCURSEL, 0, 0) == 2; }, kStepMs));
        genres = FindDescendant(dialog, "ListBox", 1035);
        ASSERT_TRUE(WaitUntil([&] { return SendRemote(genres, LB_GETCOUNT, 0, 0) > 0; }, kStepMs));
    };

    HWND dialog = nullptr, genres = nullptr;
    openOnPersonal(dialog, genres);
    if (HasFatalFailure()) return;
    EXPECT_EQ(SendRemote(genres, LB_GETCOUNT, 0, 0), 3);  // 記念日, 趣味, 通院
    ExpectFrameHeld(dialog, "06-frame-held-by-category-dialog");
    ASSERT_TRUE(ClickControl(dialog, 1009));
    HWND genreDialog = WaitForWindow("ｼﾞｬﾝﾙの登録");
    ASSERT_NE(genreDialog, nullptr);
    ExpectFrameHeld(genreDialog, "06-frame-held-by-genre-dialog");
    EXPECT_EQ(WindowText(FindDescendant(genreDialog, "Static", 1037)), "個人");
    EXPECT_FALSE(IsWindowEnabled(FindDescendant(genreDialog, "Button", IDOK)));
    ASSERT_TRUE(PasteInto(FindDescendant(genreDialog, "Edit", 1019), kGenre));
    ASSERT_TRUE(ClickControl(genreDialog, IDOK));
    ASSERT_TRUE(WaitClosed(genreDialog));
    EXPECT_EQ(SendRemote(genres, LB_GETCOUNT, 0, 0), 4);
    Shot("06-genre-added");
    ASSERT_TRUE(ClickControl(dialog, IDOK));
    ASSERT_TRUE(WaitClosed(dialog));

    const CategoryRecord* added = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (added = Named(categories = HeldCategories(), kGenre)) != nullptr; },
                          kStepMs));
    EXPECT_EQ(added->level, LEVEL_GENRE);
    EXPECT_EQ(added->parentId, personalId);
    EXPECT_EQ(FieldText(added->shortName), kGenre);
    EXPECT_EQ(categories.size(), 12u);
    // The tree lists it last under 個人, shown and counted 0.
    std::vector<TreeEntry> tree;
    EXPECT_TRUE(WaitUntil(
        [&] {
            tree = TreeEntries(Tree());
            return tree.size() == 12 && tree.back().text == kGenre + " (0)";
        },
        kStepMs));
    if (tree.size() == 12) {
        EXPECT_EQ(tree.back().depth, 1);
        EXPECT_EQ(tree.back().image, 1);
        EXPECT_EQ(tree[7].text.rfind("個人 (", 0), 0u);
    }
    Shot("06-genre-in-tree");

    // Deleting it: the fourth genre, 削除, the question answered with OK.
    openOnPersonal(dialog, genres);
    if (HasFatalFailure()) return;
    ASSERT_EQ(SendRemote(genres, LB_GETCOUNT, 0, 0), 4);
    const int height = static_cast<int>(SendRemote(genres, LB_GETITEMHEIGHT, 0, 0));
    ASSERT_TRUE(Click(ClientPointOnScreen(genres, 10, 3 * height + height / 2)));
    ASSERT_TRUE(ClickControl(dialog, 1011));
    ASSERT_TRUE(ConfirmDeletion(kGenre));
    EXPECT_EQ(SendRemote(genres, LB_GETCOUNT, 0, 0), 3);
    ASSERT_TRUE(ClickControl(dialog, IDOK));
    ASSERT_TRUE(WaitClosed(dialog));
    EXPECT_TRUE(WaitUntil([&] { return !Named(categories = HeldCategories(), kGenre) && categories.size() == 11; },
                          kStepMs));
    EXPECT_TRUE(WaitUntil([&] { return TreeEntries(Tree()).size() == 11; }, kStepMs));
    Shot("06-genre-deleted");

    // 趣味 renamed here while another person renames it: the server refuses
    // this dialog's rename with one box, and the tree shows the other name.
    auto renameHobby = [&](const std::string& from, const std::string& to) {
        const auto held = HeldCategories();
        const CategoryRecord* hobby = Named(held, from);
        if (!hobby) return false;
        CategoryRecord other = *hobby;
        other.op = OP_CHANGE;
        CopyToField(other.name, to);
        CopyToField(other.shortName, to);
        auto context = ServerContext();
        CategorySet set(*context);
        return set.Set(other) == 1;
    };
    openOnPersonal(dialog, genres);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Click(ClientPointOnScreen(genres, 10, height + height / 2)));  // 趣味
    ASSERT_TRUE(ClickControl(dialog, 1015));
    ASSERT_NE(genreDialog = WaitForWindow("ｼﾞｬﾝﾙの登録"), nullptr);
    ASSERT_TRUE(PasteInto(FindDescendant(genreDialog, "Edit", 1019), "趣味と教養"));
    ASSERT_TRUE(ClickControl(genreDialog, IDOK));
    ASSERT_TRUE(WaitClosed(genreDialog));
    ASSERT_TRUE(renameHobby("趣味", "趣味の会"));
    ASSERT_TRUE(ClickControl(dialog, IDOK));
    HWND box = WaitForWindow("SET失敗");
    ASSERT_NE(box, nullptr);
    const std::string refusal = WindowText(FindDescendant(box, "Static", 0xFFFF));
    EXPECT_NE(refusal.find("ほかの人が変更しました"), std::string::npos) << refusal;
    Shot("06-rename-refused");
    ASSERT_TRUE(ClickControl(box, IDOK));
    ASSERT_TRUE(WaitClosed(dialog));
    EXPECT_EQ(ShownWithTitle("SET失敗"), 0u);
    EXPECT_TRUE(WaitUntil([&] { return EntryOf(TreeEntries(Tree()), "趣味の会").item != nullptr; }, kStepMs));
    EXPECT_EQ(EntryOf(TreeEntries(Tree()), "趣味と教養").item, nullptr);
    EXPECT_NE(Named(HeldCategories(), "趣味の会"), nullptr);
    ASSERT_TRUE(renameHobby("趣味の会", "趣味"));
    ASSERT_TRUE(Refresh());
}

std::string TreeText(const std::vector<TreeEntry>& tree) {
    std::string text;
    for (const TreeEntry& entry : tree) text += std::string(entry.depth * 2, ' ') + entry.text + "\n";
    return text;
}

TEST_F(EndToEnd, TreeFiltersTheGridAndSearchFindsOnTheServer) {
    ASSERT_TRUE(client_ && client_->Running());
    const int32_t day = EditDay();
    auto categories = HeldCategories();
    const CategoryRecord* hobby = Named(categories, "趣味");
    ASSERT_NE(hobby, nullptr);
    {
        // Another user's schedule for the day, straight to the server.
        ScheduleRecord record;
        record.op = OP_ADD;
        record.date = day;
        record.genreId = hobby->id;
        CopyToField(record.text, kFirstText);
        auto context = ServerContext();
        ScheduleSet set(*context);
        ASSERT_EQ(set.Set(record), 1);
    }
    ASSERT_TRUE(GoToEditDay());
    // 表示 → ｶﾃｺﾞﾘ ﾂﾘｰ shows the tree beside the grid.
    ASSERT_FALSE(IsWindowVisible(Tree()));
    ASSERT_TRUE(Keys("alt+v c"));
    ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(Tree()) != FALSE; }, kStepMs));
    ASSERT_TRUE(Refresh());  // 最新の情報に更新
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "趣味").text == "趣味 (1)"; }, kStepMs))
        << TreeText(TreeEntries(Tree())) << server_->Log();
    std::vector<TreeEntry> tree = TreeEntries(Tree());
    EXPECT_EQ(EntryOf(tree, "個人").text, "個人 (1)");
    EXPECT_TRUE(EntryOf(tree, "趣味").bold);
    EXPECT_EQ(EntryOf(tree, "業務").text, "業務 (0)");
    EXPECT_FALSE(EntryOf(tree, "業務").bold);
    EXPECT_TRUE(CellListsText(Shot("07-filter-on"), kEditColumn, kEditRow));

    // A double-click on 趣味 turns it off: 個人 mixed, the day lists nothing,
    // the counts stay.
    ASSERT_TRUE(Click(Middle(TreeItemTextRect(Tree(), EntryOf(tree, "趣味").item)), 2));
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "趣味").image == 0; }, kStepMs));
    tree = TreeEntries(Tree());
    EXPECT_EQ(EntryOf(tree, "個人").image, 2);
    EXPECT_EQ(EntryOf(tree, "記念日").image, 1);
    EXPECT_EQ(EntryOf(tree, "趣味").text, "趣味 (1)");
    EXPECT_TRUE(WaitUntil([&] { return !CellListsText(Shot("07-genre-off"), kEditColumn, kEditRow); }, kStepMs));

    // 個人 double-clicked turns it and all its genres on; again, all off.
    const RECT personal = TreeItemTextRect(Tree(), EntryOf(tree, "個人").item);
    ASSERT_TRUE(Click(Middle(personal), 2));
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "個人").image == 1; }, kStepMs));
    EXPECT_EQ(EntryOf(TreeEntries(Tree()), "趣味").image, 1);
    EXPECT_TRUE(WaitUntil([&] { return CellListsText(Shot("07-category-on"), kEditColumn, kEditRow); }, kStepMs));
    ASSERT_TRUE(Click(Middle(personal), 2));
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "個人").image == 0; }, kStepMs));
    tree = TreeEntries(Tree());
    for (const char* genre : {"記念日", "趣味", "通院"}) EXPECT_EQ(EntryOf(tree, genre).image, 0) << genre;
    EXPECT_TRUE(WaitUntil([&] { return !CellListsText(Shot("07-category-off"), kEditColumn, kEditRow); }, kStepMs));
    // The status bar names the day's schedules whatever the filter.
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText().find(kFirstText) != std::string::npos; }, kStepMs));
    ASSERT_TRUE(Click(Middle(personal), 2));
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "個人").image == 1; }, kStepMs));

    // ﾂｰﾙ → 検索: 個人, 趣味 and a piece of the text find the one schedule.
    ASSERT_TRUE(Click(CellCentre(kEditColumn, kEditRow)));
    ASSERT_TRUE(Keys("alt+t s"));
    HWND search = WaitForWindow("検索");
    ASSERT_NE(search, nullptr);
    ExpectFrameHeld(search, "08-frame-held-by-search");
    ASSERT_TRUE(ChooseComboItem(FindDescendant(search, nullptr, 1047), 2));  // 個人
    ASSERT_TRUE(ChooseComboItem(FindDescendant(search, nullptr, 1045), 1));  // 趣味
    const std::string piece = "ソフト講習 10:";
    ASSERT_TRUE(PasteInto(FindDescendant(search, "Edit", 1019), piece));
    Shot("08-search");
    ASSERT_TRUE(ClickControl(search, IDOK));
    HWND results = WaitForWindow("検索結果");
    ASSERT_NE(results, nullptr);
    const Day d = CivilFromDays(CellDays(EditMonth().year, EditMonth().month, kEditColumn, kEditRow));
    const std::string date = std::to_string(d.year) + "/" + std::to_string(d.month) + "/" + std::to_string(d.day);
    EXPECT_EQ(ListViewRows(FindDescendant(results, "SysListView32", 1043), 4),
              std::vector<std::string>{date + "|個人|趣味|" + kFirstText});
    EXPECT_EQ(WindowText(FindDescendant(results, "Static", 1014)), "'" + piece + "'の検索結果\n1件ヒットしました");
    ExpectFrameHeld(results, "08-frame-held-by-search-results");
    ASSERT_TRUE(ClickControl(results, IDOK));
    ASSERT_TRUE(WaitClosed(results));

    // Nothing chosen lists every schedule on the server.
    ASSERT_TRUE(Keys("alt+t s"));
    ASSERT_NE(search = WaitForWindow("検索"), nullptr);
    ASSERT_TRUE(ClickControl(search, IDOK));
    ASSERT_NE(results = WaitForWindow("検索結果"), nullptr);
    auto context = ServerContext();
    ScheduleSet all(*context);
    ASSERT_EQ(all.Get(""), 1);
    HWND list = FindDescendant(results, "SysListView32", 1043);
    EXPECT_EQ(SendRemote(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(all.records.size()));
    EXPECT_NE(WindowText(FindDescendant(results, "Static", 1014)).find(std::to_string(all.records.size()) + "件"),
              std::string::npos);
    ASSERT_TRUE(ClickControl(results, IDOK));
    ASSERT_TRUE(WaitClosed(results));
    EXPECT_TRUE(BackToToday());

    // The tree hidden (表示 → ｶﾃｺﾞﾘ ﾂﾘｰ) while it has the focus: the grid takes
    // it, so the keys still move the month; then the tree back.
    ASSERT_TRUE(Click(Middle(TreeItemTextRect(Tree(), EntryOf(TreeEntries(Tree()), "業務").item))));
    ASSERT_TRUE(Keys("alt+v c"));
    ASSERT_TRUE(WaitUntil([] { return !IsWindowVisible(Tree()); }, kStepMs));
    ASSERT_TRUE(Keys("ctrl+Next"));
    EXPECT_TRUE(StatusShows(AddMonths(Today(), 1), kColumn, kRow)) << StatusText();
    Shot("08-tree-hidden-keys");
    ASSERT_TRUE(Keys("alt+v c"));
    ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(Tree()) != FALSE; }, kStepMs));
    EXPECT_TRUE(BackToToday());
}

// ---- the settings sheet points the client at another server ----

// Opens 編集 → 設定, writes `port` into the port field and confirms;
// `whileOpen` first looks at the open sheet.
bool SetPortThroughSettings(POINT cell, unsigned short port, const std::function<void(HWND)>& whileOpen = {}) {
    if (!Click(cell) || !Keys("alt+e s")) return false;
    HWND sheet = nullptr;
    if (!WaitUntil([&] { return (sheet = FindWindowA(nullptr, "設定")) != nullptr && IsWindowVisible(sheet); },
                   kStepMs)) {
        return false;
    }
    HWND portField = nullptr;
    if (!WaitUntil([&] { return (portField = FindDescendant(sheet, nullptr, 1018)) != nullptr; }, kStepMs)) {
        return false;
    }
    if (whileOpen) whileOpen(sheet);
    const RECT field = ScreenRect(portField);
    if (!Click(POINT{(field.left + field.right) / 2, (field.top + field.bottom) / 2}) ||
        !Keys("End shift+Home BackSpace") || !RunShell("xdotool type --delay 40 " + std::to_string(port), 10000) ||
        !WaitUntil([&] { return WindowText(portField) == std::to_string(port); }, kStepMs) || !Keys("Return")) {
        return false;
    }
    return WaitUntil([&] { return !IsWindow(sheet); }, kStepMs);
}

TEST_F(EndToEnd, APortChangedInTheSettingsTakesTheNextRefreshToThatServer) {
    ASSERT_TRUE(client_ && client_->Running());
    CalendarServerProcess other({{"demo"}});
    ASSERT_NE(other.Port(), 0);

    ASSERT_TRUE(SetPortThroughSettings(CellCentre(kColumn, kRow), other.Port(),
                                       [](HWND sheet) { ExpectFrameHeld(sheet, "06-frame-held-by-settings"); }));
    EXPECT_EQ(ReadSetting("dwPortNo"), other.Port());
    ASSERT_TRUE(Keys("F5"));  // 最新の情報に更新
    EXPECT_TRUE(WaitUntil([&] { return other.Log().find(" GET 3 ") != std::string::npos; }, kStepMs))
        << other.Log();
    Shot("06-other-server");

    // And back to the first server.
    const size_t before = server_->Log().size();
    ASSERT_TRUE(SetPortThroughSettings(CellCentre(kColumn, kRow), server_->Port()));
    ASSERT_TRUE(Keys("F5"));
    EXPECT_TRUE(WaitUntil([&] { return server_->Log().find(" GET 3 ", before) != std::string::npos; }, kStepMs));
}

// The tray icon sits in the virtual desktop's taskbar at the bottom right;
// its calendar's red header is the only red there.
POINT TrayIcon(const Screen& screen) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const RECT red = screen.BoundsOf(RGB(204, 0, 0), RECT{width - 200, height - 40, width, height});
    if (red.right <= red.left) return POINT{-1, -1};
    return POINT{(red.left + red.right) / 2, red.bottom + 2};
}

TEST_F(EndToEnd, TrayIconHidesAndRestoresTheFrame) {
    ASSERT_TRUE(client_ && client_->Running());
    const POINT icon = TrayIcon(Shot("07-tray-icon"));
    ASSERT_GE(icon.x, 0) << "no tray icon in the taskbar";
    ASSERT_TRUE(Click(icon, 2));
    EXPECT_TRUE(WaitUntil([] { return !IsWindowVisible(Frame()); }, kStepMs)) << "not hidden";
    Shot("07-hidden-in-tray");
    ASSERT_TRUE(Click(icon, 2));
    EXPECT_TRUE(WaitUntil([] { return IsWindowVisible(Frame()) && !IsIconic(Frame()); }, kStepMs)) << "not back";
    EXPECT_TRUE(StatusShows(Today(), kColumn, kRow)) << StatusText();
}

TEST_F(EndToEnd, CloseButtonKeepsTheClientRunningInTheTray) {
    ASSERT_TRUE(client_ && client_->Running());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+F4"));
    // Minimized and, where the window manager reports the minimizing as a
    // deactivation, hidden; the process goes on either way.
    EXPECT_TRUE(WaitUntil([] { return IsIconic(Frame()) || !IsWindowVisible(Frame()); }, kStepMs));
    EXPECT_TRUE(client_->Running());
    const POINT icon = TrayIcon(Shot("07-closed-to-tray"));
    ASSERT_GE(icon.x, 0) << "no tray icon in the taskbar";
    // From hidden one double-click restores; from minimized the first one
    // hides and the second restores.
    for (int i = 0; i < 2 && !(IsWindowVisible(Frame()) && !IsIconic(Frame())); ++i) {
        const bool wasVisible = IsWindowVisible(Frame()) != FALSE;
        ASSERT_TRUE(Click(icon, 2));
        WaitUntil([&] { return (IsWindowVisible(Frame()) != FALSE) != wasVisible; }, kStepMs);
    }
    EXPECT_TRUE(IsWindowVisible(Frame()) && !IsIconic(Frame())) << "not back from the tray";
}

TEST_F(EndToEnd, ExitSavesPlacementPanesAndTreeStatesAndTheNextStartRestoresThem) {
    ASSERT_TRUE(client_ && client_->Running());
    const RECT before = ScreenRect(Frame());
    const POINT caption{before.left + 120, before.top + GetSystemMetrics(SM_CYFRAME) + 8};
    ASSERT_TRUE(Drag(caption, POINT{caption.x + 90, caption.y + 60}));
    ASSERT_TRUE(WaitUntil([&] { return ScreenRect(Frame()).left != before.left; }, kStepMs)) << "not moved";
    const RECT moved = ScreenRect(Frame());
    // Maximized (a double-click on the caption) for the rest of the session:
    // the pane toggled below re-lays the maximized frame out, and the exit
    // still saves the rectangle from before the maximizing.
    ASSERT_TRUE(Click(POINT{moved.left + 120, moved.top + GetSystemMetrics(SM_CYFRAME) + 8}, 2));
    ASSERT_TRUE(WaitUntil([] { return IsZoomed(Frame()) != FALSE; }, kStepMs)) << "not maximized";
    Shot("09-maximized");

    // Panes and tree: the tree shown (by the filtering step), the status bar
    // hidden (表示 → ｽﾃｰﾀｽ ﾊﾞｰ), 会議 turned off, 業務 collapsed.
    ASSERT_TRUE(IsWindowVisible(Tree()));
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(StatusShows(Today(), kColumn, kRow)) << StatusText();
    ASSERT_TRUE(Keys("alt+v b"));
    ASSERT_TRUE(WaitUntil([] { return !IsWindowVisible(StatusBar()); }, kStepMs)) << (Shot("09-status-bar-hidden"), "see 09-status-bar-hidden");
    std::vector<TreeEntry> tree = TreeEntries(Tree());
    ASSERT_TRUE(Click(Middle(TreeItemTextRect(Tree(), EntryOf(tree, "会議").item)), 2));
    ASSERT_TRUE(WaitUntil([] { return EntryOf(TreeEntries(Tree()), "会議").image == 0; }, kStepMs));
    ASSERT_TRUE(Click(Middle(TreeItemTextRect(Tree(), EntryOf(tree, "業務").item))));
    ASSERT_TRUE(Keys("Left"));
    ASSERT_TRUE(WaitUntil([] { return !EntryOf(TreeEntries(Tree()), "業務").expanded; }, kStepMs));
    tree = TreeEntries(Tree());
    Shot("09-before-exit");

    // ﾌｧｲﾙ → ｱﾌﾟﾘｹｰｼｮﾝの終了: a real close, the process ends.
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowLeft")), moved.left);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowTop")), moved.top);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowWidth")), moved.right - moved.left);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowHeight")), moved.bottom - moved.top);

    ASSERT_TRUE(StartClient());
    EXPECT_TRUE(ToolbarDrawn("09-restarted")) << "toolbar pictures not drawn";
    const RECT restored = ScreenRect(Frame());
    EXPECT_FALSE(IsZoomed(Frame()));
    EXPECT_EQ(restored.left, moved.left);
    EXPECT_EQ(restored.top, moved.top);
    EXPECT_EQ(restored.right - restored.left, moved.right - moved.left);
    EXPECT_EQ(restored.bottom - restored.top, moved.bottom - moved.top);
    EXPECT_TRUE(IsWindowVisible(Tree()));
    EXPECT_FALSE(IsWindowVisible(StatusBar()));
    // Every item as it was: texts, on/off/mixed, expanded or collapsed.
    const std::vector<TreeEntry> again = TreeEntries(Tree());
    ASSERT_EQ(again.size(), tree.size());
    for (size_t i = 0; i < tree.size(); ++i) {
        EXPECT_EQ(again[i].text, tree[i].text);
        EXPECT_EQ(again[i].image, tree[i].image) << tree[i].text;
        EXPECT_EQ(again[i].expanded, tree[i].expanded) << tree[i].text;
    }
    EXPECT_EQ(EntryOf(again, "業務").image, 2);
    EXPECT_FALSE(EntryOf(again, "業務").expanded);
    EXPECT_TRUE(EntryOf(again, "個人").expanded);
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+v b"));  // the status bar back
    EXPECT_TRUE(WaitUntil([] { return IsWindowVisible(StatusBar()) != FALSE; }, kStepMs));

    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0);
}

// ---- two clients on one server ----


// Reads a file the shell wrote.
std::string ReadUnixFile(const std::string& unixPath) {
    std::ifstream in(WindowsPathOf(unixPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A second client on the same X display. The client is single-instance per
// Wine prefix, so it runs in a copy of this prefix (with its own wineserver)
// and its own virtual desktop, laid over this one at the same origin and
// given this client's settings: its frame and dialogs sit exactly where this
// client's do, so this client's windows tell where to click in it. It is seen
// only through X input and screenshots; raising or lowering its desktop
// chooses which client the screen shows.
class SecondClient {
public:
    SecondClient() : prefix_(std::string(RDZ_TEST_TMP) + "/second-prefix") {
        char ours[MAX_PATH] = {};
        if (!GetEnvironmentVariableA("WINEPREFIX", ours, sizeof ours)) return;
        const std::string regFile = std::string(RDZ_TEST_TMP) + "/second-settings.reg";
        {
            std::ofstream out(WindowsPathOf(regFile), std::ios::binary | std::ios::trunc);
            out << SettingsAsRegFile();
        }
        const std::string wine = "WINEPREFIX=" + ShellQuote(prefix_) + " /usr/lib/wine/wine64 ";
        const std::string ourPrefix = ShellQuote(ours);
        started_ = RunShell("rm -rf " + ShellQuote(prefix_) + " && mkdir -p " + ShellQuote(prefix_) + " && cp -a " +
                                ourPrefix + "/dosdevices " + ourPrefix + "/*.reg " + ShellQuote(prefix_) +
                                "/ && cp -al " + ourPrefix + "/drive_c " + ShellQuote(prefix_) + "/ && " + wine +
                                "regedit /S " + ShellQuote(WindowsPathOf(regFile)) + " >/dev/null 2>&1 && (" + wine +
                                "explorer /desktop=RendezSecond,1280x1024 " + ShellQuote(WindowsPathOf(RDZ_CLIENT_EXE)) +
                                " >/dev/null 2>&1 </dev/null &)",
                            60000);
        const std::string idFile = std::string(RDZ_TEST_TMP) + "/second-desktop.txt";
        started_ = started_ && WaitUntil(
                                   [&] {
                                       RunShell("xdotool search --name RendezSecond >" + ShellQuote(idFile), 5000);
                                       window_ = ReadUnixFile(idFile);
                                       window_ = window_.substr(0, window_.find('\n'));
                                       return !window_.empty();
                                   },
                                   kStartMs);
        // This client's desktop, which run-e2e.sh names.
        const std::string ourFile = std::string(RDZ_TEST_TMP) + "/first-desktop.txt";
        RunShell("xdotool search --name RendezE2E >" + ShellQuote(ourFile), 5000);
        ourWindow_ = ReadUnixFile(ourFile);
        ourWindow_ = ourWindow_.substr(0, ourWindow_.find('\n'));
        started_ = started_ && !ourWindow_.empty() && RunShell("xdotool windowmove " + window_ + " 0 0", 5000) &&
                   Raise();
    }
    ~SecondClient() {
        RunShell("WINEPREFIX=" + ShellQuote(prefix_) + " /usr/lib/wine/wineserver64 -k; sleep 0.5; rm -rf " +
                     ShellQuote(prefix_),
                 30000);
    }
    SecondClient(const SecondClient&) = delete;
    SecondClient& operator=(const SecondClient&) = delete;

    bool Started() const { return started_; }
    // Keys go to the raised desktop: there is no window manager to move the
    // X input focus.
    bool Raise() { return RunShell("xdotool windowraise " + window_ + " windowfocus " + window_, 5000); }
    // Raises this client's desktop over the second one's.
    bool Lower() { return RunShell("xdotool windowraise " + ourWindow_ + " windowfocus " + ourWindow_, 5000); }

private:
    // This client's settings key as a file regedit imports.
    static std::string SettingsAsRegFile() {
        std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + std::string(kSettingsKey) + "]\r\n";
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return text;
        for (DWORD index = 0;; ++index) {
            char name[256] = {};
            BYTE data[4096] = {};
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
            if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
            if (type == REG_DWORD) {
                char value[16];
                std::snprintf(value, sizeof value, "%08lx", static_cast<unsigned long>(*reinterpret_cast<DWORD*>(data)));
                text += "\"" + std::string(name) + "\"=dword:" + value + "\r\n";
            } else if (type == REG_SZ) {
                std::string value;
                for (const char* p = reinterpret_cast<const char*>(data); *p; ++p) {
                    if (*p == '\\' || *p == '"') value += '\\';
                    value += *p;
                }
                text += "\"" + std::string(name) + "\"=\"" + value + "\"\r\n";
            }
        }
        RegCloseKey(key);
        return text;
    }

    std::string prefix_;
    std::string window_;
    std::string ourWindow_;
    bool started_ = false;
};

// Where the day sheet and the entry dialog put their parts on the screen, as
// the first client shows them; the second client's sit at the same places.
struct SheetSpots {
    POINT sheetCaption, list, firstRow, add, change, ok;
    POINT entryCaption, entryOk;
    COLORREF activeCaption;
};

POINT CaptionPoint(HWND window) {
    const RECT rect = ScreenRect(window);
    return POINT{rect.left + 60, rect.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2};
}

// Waits until the screen shows `colour` at `at` (or, with `shows` false,
// anything else there).
bool WaitForLook(POINT at, COLORREF colour, bool shows, const std::string& shotName) {
    return WaitUntil([&] { return (Screen::Capture(RDZ_SHOT_FOLDER, shotName).At(at.x, at.y) == colour) == shows; }, kStepMs);
}

// Fills the first client's open entry dialog and confirms it.
void FillEntry(HWND entry, int category, int genre, const std::string& text) {
    if (category >= 0) {
        ASSERT_TRUE(ChooseComboItem(FindDescendant(entry, nullptr, 1021), category));
        ASSERT_TRUE(ChooseComboItem(FindDescendant(entry, nullptr, 1022), genre));
    }
    ASSERT_TRUE(PasteInto(FindDescendant(entry, "Edit", 1019), text));
    ASSERT_TRUE(ClickControl(entry, IDOK));
    ASSERT_TRUE(WaitClosed(entry));
}

// The same in the second client, by the places the first client's showed.
void FillSecondEntry(const SheetSpots& spots, int category, int genre, const std::string& text) {
    ASSERT_TRUE(WaitForLook(spots.entryCaption, spots.activeCaption, true, "11-second-entry"));
    // The dialog starts with the category list focused; keys pick items of
    // closed lists, and Tab into the edit selects its text for the paste.
    std::string keys;
    if (category >= 0) {
        keys = "Home";
        for (int i = 0; i < category; ++i) keys += " Down";
        keys += " Tab Home";
        for (int i = 0; i < genre; ++i) keys += " Down";
        keys += " Tab";
    } else {
        keys = "Tab Tab";
    }
    ASSERT_TRUE(Keys(keys));
    ASSERT_TRUE(PutOnClipboard(text));
    ASSERT_TRUE(Keys("ctrl+v"));
    Screen::Capture(RDZ_SHOT_FOLDER, "11-second-entry-filled");
    ASSERT_TRUE(Click(spots.entryOk));
    ASSERT_TRUE(WaitForLook(spots.entryCaption, spots.activeCaption, false, "11-second-entry"));
}

TEST_F(EndToEnd, TwoClientsOnOneServerSeeEachOthersChangesAndNeitherOverwritesTheOther) {
    if (!client_ || !client_->Running()) {
        ASSERT_TRUE(StartClient());
    }
    ASSERT_TRUE(ToolbarDrawn("10-first-client"));
    // A Thursday of the editing month, without schedules.
    const int column = kEditColumn + 1, row = kEditRow;
    const Day month = EditMonth();
    const int32_t day = static_cast<int32_t>(DayKey(CellDays(month.year, month.month, column, row)));
    const std::string date = StatusDate(month.year, month.month, column, row);
    ASSERT_TRUE(HeldSchedules(day).empty());
    const std::string firstText = "表示ソフトの打合せ";
    const std::string firstChanged = "表示ソフトの打合せ(Ａ社)";
    const std::string secondChanged = "表示ソフトの打合せ(Ｂ社)";
    const std::string firstOther = "十周年の記念表";
    // A schedule the first client changes and the second leaves as it was:
    // the second sends it back unchanged, which must not undo the change.
    const std::string kept = "ソフト表彰式";
    const std::string keptChanged = "ソフト表彰式(延期)";
    const std::string secondOther = "ソフト部の練習";

    size_t loads = Occurrences(server_->Log(), " GET 3 ");
    SecondClient second;
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(server_->Log(), " GET 3 ") > loads; }, kStartMs))
        << server_->Log();
    ASSERT_TRUE(ToolbarDrawn("10-second-client")) << "the second client's frame is not where the first's is";

    // The first client adds a schedule through its day sheet, noting where
    // the sheet's parts are.
    ASSERT_TRUE(second.Lower());
    ASSERT_TRUE(Click(CellCentre(column, row)));
    ASSERT_TRUE(Keys("ctrl+Home ctrl+Next ctrl+Next ctrl+Next"));
    ASSERT_TRUE(StatusShows(month, column, row)) << StatusText();
    ASSERT_TRUE(Keys("Return"));
    HWND sheet = WaitForWindow(kDaySheet);
    ASSERT_NE(sheet, nullptr);
    SheetSpots spots{};
    spots.sheetCaption = CaptionPoint(sheet);
    spots.add = Middle(ScreenRect(FindDescendant(sheet, nullptr, 1009)));
    spots.change = Middle(ScreenRect(FindDescendant(sheet, nullptr, 1015)));
    spots.ok = Middle(ScreenRect(FindDescendant(sheet, "Button", IDOK)));
    HWND list = FindDescendant(sheet, "SysListView32", 1010);
    ASSERT_TRUE(ClickControl(sheet, 1009));
    HWND entry = WaitForWindow(kEntryDialog);
    ASSERT_NE(entry, nullptr);
    spots.entryCaption = CaptionPoint(entry);
    spots.entryOk = Middle(ScreenRect(FindDescendant(entry, "Button", IDOK)));
    spots.activeCaption = Shot("11-first-entry").At(spots.entryCaption.x, spots.entryCaption.y);
    FillEntry(entry, 1, 1, firstText);  // 社内行事, イベント
    if (HasFatalFailure()) return;
    ASSERT_TRUE(ClickControl(sheet, 1009));
    ASSERT_NE(entry = WaitForWindow(kEntryDialog), nullptr);
    FillEntry(entry, 0, 1, kept);  // 業務, 出張
    if (HasFatalFailure()) return;
    spots.firstRow = Middle(ListViewRowRect(list, 0));
    ASSERT_TRUE(ConfirmSheet(sheet));
    std::vector<ScheduleRecord> held;
    ASSERT_TRUE(WaitUntil([&] { return (held = HeldSchedules(day)).size() == 2; }, kStepMs));
    const int32_t firstId = held[0].id;

    // The second client, loaded before, shows the day empty until F5.
    ASSERT_TRUE(second.Raise());
    ASSERT_TRUE(Click(CellCentre(column, row)));
    ASSERT_TRUE(Keys("ctrl+Home ctrl+Next ctrl+Next ctrl+Next"));
    EXPECT_FALSE(CellListsText(Shot("12-second-before-refresh"), column, row));
    loads = Occurrences(server_->Log(), " GET 3 ");
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(server_->Log(), " GET 3 ") > loads; }, kStepMs));
    EXPECT_TRUE(WaitUntil([&] { return CellListsText(Shot("12-second-after-refresh"), column, row); }, kStepMs));

    // Both open the day. The first changes the schedule and adds another,
    // and keeps its sheet open.
    ASSERT_TRUE(second.Lower());
    ASSERT_TRUE(Click(CellCentre(column, row)));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    list = FindDescendant(sheet, "SysListView32", 1010);
    ASSERT_TRUE(Click(Middle(ListViewRowRect(list, 0))));
    ASSERT_TRUE(ClickControl(sheet, 1015));
    ASSERT_NE(entry = WaitForWindow(kEntryDialog), nullptr);
    FillEntry(entry, -1, -1, firstChanged);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(ClickControl(sheet, 1009));
    ASSERT_NE(entry = WaitForWindow(kEntryDialog), nullptr);
    FillEntry(entry, 2, 0, firstOther);  // 個人, 記念日
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Click(Middle(ListViewRowRect(list, 1))));
    ASSERT_TRUE(ClickControl(sheet, 1015));
    ASSERT_NE(entry = WaitForWindow(kEntryDialog), nullptr);
    FillEntry(entry, -1, -1, keptChanged);
    if (HasFatalFailure()) return;
    EXPECT_EQ(ListViewRows(list, 3), (std::vector<std::string>{"社内|ｲﾍﾞﾝﾄ|" + firstChanged, "業務|出張|" + keptChanged,
                                                               "個人|記念日|" + firstOther}));

    // The second changes the same schedule, adds one of its own and leaves
    // the other as it was.
    ASSERT_TRUE(second.Raise());
    ASSERT_TRUE(Click(CellCentre(column, row)));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_TRUE(WaitForLook(spots.sheetCaption, spots.activeCaption, true, "13-second-sheet"));
    ASSERT_TRUE(Click(spots.firstRow));
    ASSERT_TRUE(Click(spots.change));
    FillSecondEntry(spots, -1, -1, secondChanged);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Click(spots.add));
    FillSecondEntry(spots, 2, 1, secondOther);  // 個人, 趣味
    if (HasFatalFailure()) return;
    Shot("13-second-sheet-edited");

    // The second confirms first. Then the first, whose change of the same
    // schedule the server refuses: one box says that another person changed
    // it; the first's other changes are stored, its reload shows the second's
    // text, and nobody's other schedule is lost.
    ASSERT_TRUE(Click(spots.ok));
    ASSERT_TRUE(WaitForLook(spots.sheetCaption, spots.activeCaption, false, "14-second-confirmed"));
    ASSERT_TRUE(WaitUntil([&] { return (held = HeldSchedules(day)).size() == 3; }, kStepMs));
    EXPECT_EQ(FieldText(held[0].text), secondChanged);
    ASSERT_TRUE(second.Lower());
    size_t sets = server_->Logged("SET 1");
    loads = Occurrences(server_->Log(), " GET 3 ");
    ASSERT_TRUE(ClickControl(sheet, IDOK));
    HWND box = WaitForWindow("SET失敗");
    ASSERT_NE(box, nullptr);
    const std::string refusal = WindowText(FindDescendant(box, "Static", 0xFFFF));
    EXPECT_NE(refusal.find("ほかの人が変更しました"), std::string::npos) << refusal;
    WaitUntil([] { return ShownWithTitle("SET失敗") > 1; }, 1500);
    Shot("14-first-refused");
    EXPECT_EQ(ShownWithTitle("SET失敗"), 1u);
    ASSERT_TRUE(ClickControl(box, IDOK));
    ASSERT_TRUE(WaitClosed(sheet));
    ASSERT_TRUE(ReloadEnded(loads));
    EXPECT_EQ(ShownWithTitle("SET失敗"), 0u) << "one box for the one refused schedule";
    EXPECT_EQ(server_->Logged("SET 1") - sets, 3u);
    std::vector<std::string> texts;
    auto heldTexts = [&] {
        held = HeldSchedules(day);
        texts.clear();
        for (const ScheduleRecord& record : held) texts.emplace_back(FieldText(record.text));
        return texts;
    };
    EXPECT_EQ(heldTexts(), (std::vector<std::string>{secondChanged, keptChanged, secondOther, firstOther}));
    EXPECT_EQ(held[0].id, firstId);
    ASSERT_TRUE(Click(CellCentre(column, row)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == date + " " + secondChanged + " 他"; }, kStepMs))
        << StatusText();
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    EXPECT_EQ(ListViewRows(FindDescendant(sheet, "SysListView32", 1010), 3),
              (std::vector<std::string>{"社内|ｲﾍﾞﾝﾄ|" + secondChanged, "業務|出張|" + keptChanged,
                                        "個人|趣味|" + secondOther, "個人|記念日|" + firstOther}));
    Shot("15-first-after-refusal");
    ASSERT_TRUE(ClickControl(sheet, IDCANCEL));
    ASSERT_TRUE(WaitClosed(sheet));

    // Its own confirmation raises no notice, also after a check.
    const DWORD ownChange = GetTickCount();
    WaitUntil([] { return !NoticeText().empty(); }, ChangeCheckMs + 5000);
    EXPECT_EQ(NoticeText(), "") << "own change noticed " << (GetTickCount() - ownChange) << " ms after it";

    // The second adds a schedule; the first, in the foreground, says so
    // within a minute, in the status bar and the tray icon's tip, until F5.
    // (Where the day lies on the screen, from this frame while it is shown.)
    const POINT dayCell = CellCentre(column, row);
    auto secondAdds = [&](const std::string& text, size_t count) {
        ASSERT_TRUE(second.Raise());
        ASSERT_TRUE(Click(dayCell));
        ASSERT_TRUE(Keys("Return"));
        ASSERT_TRUE(WaitForLook(spots.sheetCaption, spots.activeCaption, true, "16-second-sheet"));
        ASSERT_TRUE(Click(spots.add));
        FillSecondEntry(spots, 2, 1, text);  // 個人, 趣味
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Click(spots.ok));
        ASSERT_TRUE(WaitForLook(spots.sheetCaption, spots.activeCaption, false, "16-second-confirmed"));
        ASSERT_TRUE(WaitUntil([&] { return HeldSchedules(day).size() == count; }, kStepMs));
        ASSERT_TRUE(second.Lower());
    };
    auto tipSays = [](const std::string& text) {
        for (const std::string& tip : ToolTipTexts()) {
            if (tip == text) return true;
        }
        return false;
    };
    secondAdds("ソフトの発表会", 5);
    if (HasFatalFailure()) return;
    DWORD changed = GetTickCount();
    EXPECT_TRUE(WaitUntil([] { return NoticeText() == kChangedElsewhere; }, 60000));
    const DWORD noticedMs = GetTickCount() - changed;
    std::printf("[ notice ] in the foreground after %lu ms\n", static_cast<unsigned long>(noticedMs));
    EXPECT_LE(noticedMs, 60000u);
    EXPECT_TRUE(WaitUntil([&] { return tipSays(kChangedElsewhere); }, kStepMs));
    EXPECT_EQ(StatusText(), date + " " + secondChanged + " 他") << "the day's text stays in the first part";
    Shot("16-notice");
    ASSERT_TRUE(Refresh());
    EXPECT_EQ(NoticeText(), "");
    EXPECT_TRUE(WaitUntil([&] { return tipSays(kTitle); }, kStepMs));

    // Hidden in the tray, the same within a minute; brought back, the
    // client loads the change by itself.
    const POINT icon = TrayIcon(Shot("17-tray"));
    ASSERT_GE(icon.x, 0) << "no tray icon in the taskbar";
    ASSERT_TRUE(Click(icon, 2));
    ASSERT_TRUE(WaitUntil([] { return !IsWindowVisible(Frame()); }, kStepMs));
    secondAdds("ソフトの発表会(二日目)", 6);
    if (HasFatalFailure()) return;
    changed = GetTickCount();
    EXPECT_TRUE(WaitUntil([&] { return tipSays(kChangedElsewhere); }, 60000));
    std::printf("[ notice ] in the tray after %lu ms\n", static_cast<unsigned long>(GetTickCount() - changed));
    EXPECT_LE(GetTickCount() - changed, 60000u);
    EXPECT_EQ(NoticeText(), kChangedElsewhere);
    Shot("17-notice-in-tray");
    const size_t scheduleLoads = server_->Logged("GET 1");
    ASSERT_TRUE(Click(TrayIcon(Shot("17-tray-again")), 2));
    ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(Frame()) && !IsIconic(Frame()); }, kStepMs));
    EXPECT_TRUE(WaitUntil([&] { return server_->Logged("GET 1") > scheduleLoads; }, kStepMs)) << "no refresh by itself";
    EXPECT_TRUE(WaitUntil([] { return NoticeText().empty() && IsWindowEnabled(Frame()); }, kStepMs));
    ASSERT_TRUE(Click(CellCentre(column, row)));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_NE(sheet = WaitForWindow(kDaySheet), nullptr);
    EXPECT_EQ(ListViewRows(FindDescendant(sheet, "SysListView32", 1010), 3).size(), 6u);
    Shot("18-back-from-tray");
    ASSERT_TRUE(ClickControl(sheet, IDCANCEL));
    ASSERT_TRUE(WaitClosed(sheet));
}

}  // namespace
