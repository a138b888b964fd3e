// The day sheet and the schedule entry dialog driven as a user drives them,
// against the real calendar server: what the pages show on the way, what
// the server holds after OK, and that nothing reaches it before or after
// Cancel.
#include "editing/DateInfoSheet.h"
#include "protocol/DateInfoSet.h"
#include "protocol/ScheduleSet.h"
#include "resources/DaySheetResource.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalScript.h"
#include "tests/support/SeededCalendar.h"
#include "tests/support/TestServerContext.h"
#include "tests/support/WindowTestSupport.h"
#include "text/ShiftJis.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace window_test;
using Strings = std::vector<std::string>;

const std::string kEntryCaption = "スケジュールの登録・更新";
constexpr int32_t kSunday = 20060709;
constexpr int32_t kMonday = 20060710;
constexpr int32_t kTuesday = 20060711;

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// The rows of the day page's list as "category|genre|text".
Strings Rows(HWND page) {
    HWND list = GetDlgItem(page, IDC_DAY_SCHEDULES);
    Strings rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        rows.push_back(ListViewCell(list, row, 0) + "|" + ListViewCell(list, row, 1) + "|" + ListViewCell(list, row, 2));
    }
    return rows;
}

// Selects exactly the given rows, as clicks with Ctrl would.
void SelectRows(HWND page, std::initializer_list<int> rows) {
    HWND list = GetDlgItem(page, IDC_DAY_SCHEDULES);
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (int row : rows) SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// The selected item's text, "" when none is selected.
std::string ComboChoice(HWND dialog, int id) {
    int index = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
    if (index < 0) return "";
    return ComboItems(dialog, id)[static_cast<size_t>(index)];
}

// Picks an item and tells the dialog, as the drop-down list does.
void Choose(HWND dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool EntryGone() { return FindShownWindow(kEntryCaption) == nullptr; }

class DaySheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        calendar = std::make_unique<SeededCalendar>(Strings{"業務", "私用"});
        ASSERT_EQ(calendar->Categories().size(), 2u);
        context = std::make_unique<TestServerContext>("127.0.0.1", calendar->Port());
        const int32_t work = calendar->Categories()[0];
        for (const char* name : {"会議", "出張"}) ASSERT_NE(calendar->AddGenre(work, name), 0);
        ASSERT_NE(calendar->AddGenre(calendar->Categories()[1], "通院"), 0);
        categories = std::make_unique<CategorySet>(*context);
        ASSERT_EQ(categories->Get(""), 1);
    }

    int32_t GenreId(const std::string& name) const {
        for (const auto& record : categories->records) {
            if (record->level == LEVEL_GENRE && FieldText(record->name) == name) return record->id;
        }
        return 0;
    }

    void AddSchedule(int32_t date, const std::string& text, const std::string& genre) {
        ASSERT_EQ(calendar->AddSchedule(date, GenreId(genre), text), 1);
    }

    // The schedules the server holds for a day, in its order.
    std::vector<ScheduleRecord> Held(int32_t date) {
        ScheduleSet set(*context);
        EXPECT_EQ(set.Get(""), 1);
        std::vector<ScheduleRecord> day;
        for (const auto& record : set.records) {
            if (record->date == date) day.push_back(*record);
        }
        return day;
    }

    static Strings Texts(const std::vector<ScheduleRecord>& records) {
        Strings texts;
        for (const ScheduleRecord& record : records) texts.emplace_back(FieldText(record.text));
        return texts;
    }

    // The date information the server holds for a day, or null.
    std::unique_ptr<DateInfoRecord> HeldInfo(int32_t date) {
        DateInfoSet set(*context);
        EXPECT_EQ(set.Get(""), 1);
        for (const auto& record : set.records) {
            if (record->date == date) return std::make_unique<DateInfoRecord>(*record);
        }
        return nullptr;
    }

    // Requests of one kind ("SET 1", "SET 3") the server has logged.
    size_t Logged(const std::string& kind) const { return calendar->Server().Logged(kind); }

    // The requests of a kind logged since `before`, once the log has caught
    // up with `expected` of them (or a while has passed).
    size_t LoggedSince(const std::string& kind, size_t before, size_t expected) {
        PumpUntil([&] { return Logged(kind) >= before + expected; }, std::chrono::milliseconds(3000));
        return Logged(kind) - before;
    }

    // Takes the day as the grid holds it: its schedules and its date
    // information from the server, kept until the test ends.
    DaySheetSource Day(int32_t key) {
        HeldDay& day = days.emplace_back();
        day.schedules = Held(key);
        day.info = HeldInfo(key);
        DateValue date;
        date.SetDate(key / 10000, key / 100 % 100, key % 100);
        return DaySheetSource{date, day.schedules, day.info.get(), *categories, *context};
    }

    // `parent` as the grid passes itself; the stand-in frame when null.
    INT_PTR Run(DateInfoSheet& sheet, int startPage, std::vector<ModalScript::Step> steps, HWND parent = nullptr) {
        return RunScripted(std::move(steps),
                           [&] { return sheet.DoModal(parent ? parent : frame.Handle(), startPage); });
    }

    // Opens the sheet on the date page, lets `fill` check and change the
    // page, and confirms with OK; returns the sheet's outcome.
    INT_PTR ConfirmDatePage(DaySheetSource& day, const std::function<void(DateInfoSheet&, HWND)>& fill) {
        DateInfoSheet sheet(day);
        return Run(sheet, DateInfoSheet::kDatePage, {[&] {
            HWND date = sheet.DatePage().Handle();
            if (!date) return false;
            fill(sheet, date);
            return PressSheet(sheet, PSBTN_OK);
        }});
    }

    // A step that waits for the sheet's schedule page, keeps its handle in
    // `page` and then acts on it.
    static ModalScript::Step OnSchedulePage(DateInfoSheet& sheet, HWND& page, std::function<bool()> act) {
        return [&sheet, &page, act] {
            page = sheet.SchedulePage().Handle();
            return page && act();
        };
    }

    static bool PressSheet(DateInfoSheet& sheet, int button) {
        if (!sheet.Handle()) return false;
        return PostMessageA(sheet.Handle(), PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0) != 0;
    }

    // Waits for the entry dialog, fills it (category and genre by index) and
    // confirms.
    static ModalScript::Step Enter(int category, int genre, const std::string& text) {
        return [=] {
            HWND entry = FindShownWindow(kEntryCaption);
            if (!entry) return false;
            Choose(entry, IDC_ENTRY_CATEGORY, category);
            Choose(entry, IDC_ENTRY_GENRE, genre);
            SetDlgItemTextA(entry, IDC_ENTRY_TEXT, text.c_str());
            EXPECT_TRUE(PressButton(entry, IDOK));
            return true;
        };
    }

    StandInFrame frame;
    MessageBoxRecorder boxes;
    std::unique_ptr<SeededCalendar> calendar;
    std::unique_ptr<TestServerContext> context;
    std::unique_ptr<CategorySet> categories;
    struct HeldDay {
        std::vector<ScheduleRecord> schedules;
        std::unique_ptr<DateInfoRecord> info;
    };
    std::deque<HeldDay> days;
};

TEST_F(DaySheetTest, AddedSchedulesFollowTheDaysOwnInTheOrderAdded) {
    AddSchedule(kSunday, "朝会", "会議");
    AddSchedule(kSunday, "大阪", "出張");
    AddSchedule(kMonday, "別の日", "会議");
    const std::vector<ScheduleRecord> before = Held(kSunday);
    const size_t setsBefore = Logged("SET 1");
    const std::string longText = Repeat("あ", 128);  // 256 bytes

    DaySheetSource day = Day(kSunday);
    DateInfoSheet sheet(day);
    HWND page = nullptr;
    INT_PTR outcome = Run(sheet, DateInfoSheet::kSchedulePage, {
        OnSchedulePage(sheet, page, [&] {
            EXPECT_EQ(ItemText(page, IDC_DAY_PROMPT), "2006年7月9日(日)の予定を入力してください。");
            EXPECT_EQ(Rows(page), (Strings{"業務|会議|朝会", "業務|出張|大阪"}));
            EXPECT_TRUE(ItemEnabled(page, IDC_DAY_ADD));
            for (int id : {IDC_DAY_CHANGE, IDC_DAY_DELETE, IDC_DAY_UP, IDC_DAY_DOWN}) EXPECT_FALSE(ItemEnabled(page, id));
            EXPECT_TRUE(PressButton(page, IDC_DAY_ADD));
            return true;
        }),
        [&] {
            HWND entry = FindShownWindow(kEntryCaption);
            if (!entry) return false;
            // A new schedule: nothing chosen, no OK.
            EXPECT_EQ(ComboItems(entry, IDC_ENTRY_CATEGORY), (Strings{"業務", "私用"}));
            EXPECT_EQ(ComboChoice(entry, IDC_ENTRY_CATEGORY), "");
            EXPECT_TRUE(ComboItems(entry, IDC_ENTRY_GENRE).empty());
            EXPECT_FALSE(ItemEnabled(entry, IDOK));
            Choose(entry, IDC_ENTRY_CATEGORY, 0);
            EXPECT_EQ(ComboItems(entry, IDC_ENTRY_GENRE), (Strings{"会議", "出張"}));
            Choose(entry, IDC_ENTRY_GENRE, 1);
            SetDlgItemTextA(entry, IDC_ENTRY_TEXT, "歯医者");
            EXPECT_TRUE(ItemEnabled(entry, IDOK));
            // Another category empties the genre list, and OK goes with it.
            Choose(entry, IDC_ENTRY_CATEGORY, 1);
            EXPECT_EQ(ComboItems(entry, IDC_ENTRY_GENRE), (Strings{"通院"}));
            EXPECT_EQ(ComboChoice(entry, IDC_ENTRY_GENRE), "");
            EXPECT_FALSE(ItemEnabled(entry, IDOK));
            SendMessageA(entry, WM_COMMAND, IDOK, 0);  // Enter
            EXPECT_EQ(FindShownWindow(kEntryCaption), entry);
            Choose(entry, IDC_ENTRY_GENRE, 0);
            EXPECT_TRUE(ItemEnabled(entry, IDOK));
            SetDlgItemTextA(entry, IDC_ENTRY_TEXT, "");
            EXPECT_FALSE(ItemEnabled(entry, IDOK));
            SetDlgItemTextA(entry, IDC_ENTRY_TEXT, "歯医者");
            EXPECT_TRUE(PressButton(entry, IDOK));
            return true;
        },
        [&] {
            if (!EntryGone()) return false;
            EXPECT_EQ(Rows(page), (Strings{"業務|会議|朝会", "業務|出張|大阪", "私用|通院|歯医者"}));
            EXPECT_TRUE(PressButton(page, IDC_DAY_ADD));
            return true;
        },
        Enter(0, 0, longText),
        [&] {
            if (!EntryGone()) return false;
            EXPECT_EQ(Rows(page).size(), 4u);
            EXPECT_EQ(Logged("SET 1"), setsBefore);
            return PressSheet(sheet, PSBTN_OK);
        },
    });
    EXPECT_EQ(outcome, 1);

    // The day's own schedules as they were, then the two new ones.
    const auto& working = sheet.SchedulePage().WorkingList();
    ASSERT_EQ(working.size(), 4u);
    const int32_t ops[] = {OP_NONE, OP_NONE, OP_ADD, OP_ADD};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(working[i]->op, ops[i]) << i;
        EXPECT_EQ(working[i]->date, kSunday) << i;
    }
    EXPECT_EQ(working[0]->id, before[0].id);
    EXPECT_EQ(working[2]->id, 0);
    EXPECT_EQ(working[2]->genreId, GenreId("通院"));

    EXPECT_EQ(LoggedSince("SET 1", setsBefore, 4), 4u);
    EXPECT_TRUE(boxes.Shown().empty());
    const std::vector<ScheduleRecord> after = Held(kSunday);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(Texts(after), (Strings{"朝会", "大阪", "歯医者", Repeat("あ", 127)}));
    EXPECT_EQ(after[0].id, before[0].id);
    EXPECT_EQ(after[1].id, before[1].id);
    EXPECT_LT(after[2].id, after[3].id);
    EXPECT_STREQ(after[2].categoryName, "私用");
    EXPECT_STREQ(after[2].genreName, "通院");
    EXPECT_EQ(Texts(Held(kMonday)), (Strings{"別の日"}));
    // The grid's copies are the caller's; the page worked on its own.
    EXPECT_EQ(day.schedules.size(), 2u);
    EXPECT_STREQ(day.schedules[1].text, "大阪");
}

TEST_F(DaySheetTest, CancelSendsNothingAndChangeAndDeleteTakeTheFirstSelectedRow) {
    AddSchedule(kSunday, "朝会", "会議");
    AddSchedule(kSunday, "大阪", "出張");
    AddSchedule(kSunday, "定例", "会議");
    const std::vector<ScheduleRecord> before = Held(kSunday);
    const size_t setsBefore = Logged("SET 1");
    const size_t datesBefore = Logged("SET 3");
    DaySheetSource day = Day(kSunday);

    // Edits on both pages, then Cancel.
    {
        DateInfoSheet sheet(day);
        HWND page = nullptr;
        INT_PTR outcome = Run(sheet, DateInfoSheet::kSchedulePage, {
            OnSchedulePage(sheet, page, [&] {
                SelectRows(page, {0});
                return PressButton(page, IDC_DAY_DELETE);
            }),
            [&] {
                if (Rows(page).size() != 2) return false;
                return PressButton(page, IDC_DAY_ADD);
            },
            Enter(1, 0, "歯医者"),
            [&] {
                if (!EntryGone()) return false;
                SendMessageA(sheet.Handle(), PSM_SETCURSEL, DateInfoSheet::kDatePage, 0);
                HWND date = sheet.DatePage().Handle();
                if (!date) return false;
                SetDlgItemTextA(date, IDC_DATE_NAME, "休業日");
                CheckDlgButton(date, IDC_DATE_HOLIDAY, BST_CHECKED);
                return PressSheet(sheet, PSBTN_CANCEL);
            },
        });
        EXPECT_EQ(outcome, 0);
        EXPECT_EQ(LoggedSince("SET 1", setsBefore, 0), 0u);
        EXPECT_EQ(Logged("SET 3"), datesBefore);
    }

    // The same day again, as it was.
    DateInfoSheet sheet(day);
    HWND page = nullptr;
    INT_PTR outcome = Run(sheet, DateInfoSheet::kSchedulePage, {
        OnSchedulePage(sheet, page, [&] {
            EXPECT_EQ(Rows(page), (Strings{"業務|会議|朝会", "業務|出張|大阪", "業務|会議|定例"}));
            SelectRows(page, {0, 1});
            EXPECT_TRUE(ItemEnabled(page, IDC_DAY_CHANGE));
            EXPECT_TRUE(ItemEnabled(page, IDC_DAY_DELETE));
            EXPECT_FALSE(ItemEnabled(page, IDC_DAY_UP));
            EXPECT_TRUE(PressButton(page, IDC_DAY_CHANGE));
            return true;
        }),
        [&] {
            HWND entry = FindShownWindow(kEntryCaption);
            if (!entry) return false;
            EXPECT_EQ(ComboChoice(entry, IDC_ENTRY_CATEGORY), "業務");
            EXPECT_EQ(ComboChoice(entry, IDC_ENTRY_GENRE), "会議");
            EXPECT_EQ(ItemText(entry, IDC_ENTRY_TEXT), "朝会");
            EXPECT_TRUE(ItemEnabled(entry, IDOK));
            SetDlgItemTextA(entry, IDC_ENTRY_TEXT, "朝会(延期)");
            Choose(entry, IDC_ENTRY_GENRE, 1);
            EXPECT_TRUE(PressButton(entry, IDOK));
            return true;
        },
        [&] {
            if (!EntryGone()) return false;
            EXPECT_EQ(Rows(page), (Strings{"業務|出張|朝会(延期)", "業務|出張|大阪", "業務|会議|定例"}));
            SelectRows(page, {1, 2});
            boxes.QueueAnswers({IDCANCEL});
            EXPECT_TRUE(PressButton(page, IDC_DAY_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().empty()) return false;
            const RecordedMessageBox box = boxes.Shown().back();
            EXPECT_EQ(box.text, "「大阪」を削除します。よろしいですか？");
            EXPECT_EQ(box.caption, "確認");
            EXPECT_EQ(box.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
            EXPECT_EQ(box.owner, page);
            EXPECT_EQ(Rows(page).size(), 3u);
            EXPECT_TRUE(PressButton(page, IDC_DAY_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().size() < 2) return false;
            EXPECT_EQ(Rows(page), (Strings{"業務|出張|朝会(延期)", "業務|会議|定例"}));
            return PressSheet(sheet, PSBTN_OK);
        },
    });
    EXPECT_EQ(outcome, 1);

    const auto& working = sheet.SchedulePage().WorkingList();
    ASSERT_EQ(working.size(), 3u);
    EXPECT_EQ(working[0]->op, OP_CHANGE);
    EXPECT_EQ(working[1]->op, OP_DELETE);
    EXPECT_EQ(working[2]->op, OP_NONE);

    EXPECT_EQ(LoggedSince("SET 1", setsBefore, 3), 3u);
    const std::vector<ScheduleRecord> after = Held(kSunday);
    EXPECT_EQ(Texts(after), (Strings{"朝会(延期)", "定例"}));
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].id, before[0].id);
    EXPECT_EQ(after[0].genreId, GenreId("出張"));
    EXPECT_EQ(after[1].id, before[2].id);
    EXPECT_FALSE(HeldInfo(kSunday));
}

TEST_F(DaySheetTest, AFailedSetIsShownAndTheOtherRecordsStillGo) {
    AddSchedule(kSunday, "朝会", "会議");
    AddSchedule(kSunday, "大阪", "出張");
    AddSchedule(kSunday, "定例", "会議");
    DaySheetSource day = Day(kSunday);
    // Someone else deletes the second schedule while the sheet is open.
    ScheduleRecord gone = day.schedules[1];
    gone.op = OP_DELETE;
    {
        ScheduleSet set(*context);
        ASSERT_EQ(set.Set(gone), 1);
    }
    const size_t setsBefore = Logged("SET 1");
    // The failures are the frame's to show, as in the program; the sheet is
    // opened from a child of the frame, as the grid opens it.
    context->owner = frame.Handle();
    HWND grid = CreateWindowExA(0, "STATIC", "grid", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, frame.Handle(), nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(grid, nullptr);

    DateInfoSheet sheet(day);
    HWND page = nullptr;
    INT_PTR outcome = Run(sheet, DateInfoSheet::kSchedulePage, {
        OnSchedulePage(sheet, page, [&] {
            // The whole frame is held under the sheet, not only the grid.
            EXPECT_FALSE(IsWindowEnabled(frame.Handle()));
            EXPECT_EQ(GetWindow(sheet.Handle(), GW_OWNER), frame.Handle());
            SelectRows(page, {1});
            return PressButton(page, IDC_DAY_CHANGE);
        }),
        [&] {
            HWND entry = FindShownWindow(kEntryCaption);
            if (!entry) return false;
            // Over the sheet, which it holds; the frame stays held.
            EXPECT_EQ(GetWindow(entry, GW_OWNER), sheet.Handle());
            EXPECT_FALSE(IsWindowEnabled(sheet.Handle()));
            EXPECT_FALSE(IsWindowEnabled(frame.Handle()));
            return true;
        },
        Enter(0, 1, "京都"),
        [&] {
            if (!EntryGone()) return false;
            EXPECT_FALSE(IsWindowEnabled(frame.Handle()));
            return PressButton(page, IDC_DAY_ADD);
        },
        Enter(0, 0, "振り返り"),
        [&] {
            if (!EntryGone()) return false;
            return PressSheet(sheet, PSBTN_OK);
        },
    }, grid);
    EXPECT_EQ(outcome, 1);
    EXPECT_TRUE(IsWindowEnabled(frame.Handle()));
    DestroyWindow(grid);

    EXPECT_EQ(LoggedSince("SET 1", setsBefore, 4), 4u);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, "SET失敗");
    // Over the sheet that is sending, not the frame: the sheet takes no
    // second OK while the box is up.
    EXPECT_EQ(boxes.Shown()[0].owner, sheet.Handle());
    EXPECT_NE(boxes.Shown()[0].text.find("変更するスケジュール"), std::string::npos)
        << boxes.Shown()[0].text;
    EXPECT_EQ(Texts(Held(kSunday)), (Strings{"朝会", "定例", "振り返り"}));
}

TEST_F(DaySheetTest, TheDatePageSendsOnlyAChangeAndOnlyWhenShown) {
    {
        DateInfoRecord named;
        named.date = kSunday;
        CopyToField(named.name, "創立記念日");
        named.holiday = 1;
        DateInfoSet set(*context);
        ASSERT_EQ(set.Set(named), 1);
    }
    const size_t setsBefore = Logged("SET 3");
    const size_t schedulesBefore = Logged("SET 1");

    // Shown as held, confirmed untouched.
    DaySheetSource sunday = Day(kSunday);
    EXPECT_EQ(ConfirmDatePage(sunday, [](DateInfoSheet& sheet, HWND date) {
                  EXPECT_EQ(ItemText(date, IDC_DATE_NAME), "創立記念日");
                  EXPECT_EQ(IsDlgButtonChecked(date, IDC_DATE_HOLIDAY), static_cast<UINT>(BST_CHECKED));
                  EXPECT_FALSE(sheet.SchedulePage().Handle());
              }),
              1);
    // A day without an entry: a name typed and deleted again.
    DaySheetSource tuesday = Day(kTuesday);
    EXPECT_EQ(ConfirmDatePage(tuesday, [](DateInfoSheet&, HWND date) {
                  EXPECT_EQ(ItemText(date, IDC_DATE_NAME), "");
                  EXPECT_EQ(IsDlgButtonChecked(date, IDC_DATE_HOLIDAY), static_cast<UINT>(BST_UNCHECKED));
                  SetDlgItemTextA(date, IDC_DATE_NAME, "休");
                  SetDlgItemTextA(date, IDC_DATE_NAME, "");
              }),
              1);
    // The date page never shown; a day without schedules: nothing to send.
    {
        DateInfoSheet sheet(tuesday);
        EXPECT_EQ(Run(sheet, DateInfoSheet::kSchedulePage, {[&] {
            HWND page = sheet.SchedulePage().Handle();
            if (!page) return false;
            EXPECT_EQ(ItemText(page, IDC_DAY_PROMPT), "2006年7月11日(火)の予定を入力してください。");
            EXPECT_TRUE(Rows(page).empty());
            EXPECT_TRUE(ItemEnabled(page, IDC_DAY_ADD));
            EXPECT_FALSE(ItemEnabled(page, IDC_DAY_CHANGE));
            EXPECT_FALSE(ItemEnabled(page, IDC_DAY_DELETE));
            return PressSheet(sheet, PSBTN_OK);
        }}), 1);
        EXPECT_FALSE(sheet.DatePage().Handle());
    }
    EXPECT_EQ(Logged("SET 3"), setsBefore);

    // The holiday mark alone: an empty name goes out as such.
    EXPECT_EQ(ConfirmDatePage(tuesday, [](DateInfoSheet&, HWND date) {
                  CheckDlgButton(date, IDC_DATE_HOLIDAY, BST_CHECKED);
              }),
              1);
    // A name longer than the field, cut where a character ends.
    EXPECT_EQ(ConfirmDatePage(sunday, [](DateInfoSheet&, HWND date) {
                  SetDlgItemTextA(date, IDC_DATE_NAME, Repeat("祝", 130).c_str());
              }),
              1);
    EXPECT_EQ(LoggedSince("SET 3", setsBefore, 2), 2u);
    EXPECT_EQ(Logged("SET 1"), schedulesBefore);
    EXPECT_TRUE(boxes.Shown().empty());

    auto marked = HeldInfo(kTuesday);
    ASSERT_TRUE(marked);
    EXPECT_STREQ(marked->name, "");
    EXPECT_EQ(marked->holiday, 1);
    auto renamed = HeldInfo(kSunday);
    ASSERT_TRUE(renamed);
    EXPECT_EQ(std::string(renamed->name), Repeat("祝", 127));
    EXPECT_EQ(renamed->holiday, 1);
}

}  // namespace
