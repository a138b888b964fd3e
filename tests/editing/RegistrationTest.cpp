// The genre registration dialogs driven as a user drives them, against the
// real calendar server: what the dialogs show on the way, what the server
// holds after OK, and that nothing reaches it before.
#include "editing/CategoryDialog.h"
#include "resources/RegistrationResource.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalScript.h"
#include "tests/support/SeededCalendar.h"
#include "tests/support/TestServerContext.h"
#include "tests/support/WindowTestSupport.h"
#include "text/ShiftJis.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace window_test;
using Strings = std::vector<std::string>;

const std::string kCategoryCaption = "ｶﾃｺﾞﾘの登録・更新";
const std::string kGenreCaption = "ｼﾞｬﾝﾙの登録";

// Waits for the genre dialog, checks what it shows, types `name` and
// confirms.
ModalScript::Step NameGenre(const std::string& category, const std::string& before, const std::string& name) {
    return [=] {
        HWND genre = FindShownWindow(kGenreCaption);
        if (!genre) return false;
        EXPECT_EQ(ItemText(genre, IDC_GENRE_CATEGORY_NAME), category);
        EXPECT_EQ(ItemText(genre, IDC_GENRE_NAME), before);
        EXPECT_EQ(ItemEnabled(genre, IDOK), !before.empty());
        SetDlgItemTextA(genre, IDC_GENRE_NAME, name.c_str());
        EXPECT_TRUE(PressButton(genre, IDOK));
        return true;
    };
}

bool GenreDialogGone() { return FindShownWindow(kGenreCaption) == nullptr; }

class RegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        calendar = std::make_unique<SeededCalendar>(Strings{"業務", "私用"});
        ASSERT_EQ(calendar->Categories().size(), 2u);
        context = std::make_unique<TestServerContext>("127.0.0.1", calendar->Port());
        work = calendar->Categories()[0];
        personal = calendar->Categories()[1];
        for (const char* name : {"会議", "出張", "来客"}) ASSERT_NE(calendar->AddGenre(work, name), 0);
        ASSERT_NE(calendar->AddGenre(personal, "通院"), 0);

        store = Held();
        setsBefore = SetRequests();
    }

    // What the server holds now.
    std::unique_ptr<CategorySet> Held() {
        auto set = std::make_unique<CategorySet>(*context);
        EXPECT_EQ(set->Get(""), 1);
        return set;
    }

    static const CategoryRecord* Named(const CategorySet& set, const std::string& name) {
        for (const auto& record : set.records) {
            if (FieldText(record->name) == name) return record.get();
        }
        return nullptr;
    }

    Strings HeldGenres(int32_t categoryId, bool shortNames = false) {
        Strings names;
        auto held = Held();
        for (CategoryRecord* genre : held->ListByParent(categoryId)) {
            names.emplace_back(shortNames ? FieldText(genre->shortName) : FieldText(genre->name));
        }
        return names;
    }

    // SET requests of data set 2 the server has logged so far.
    size_t SetRequests() const { return calendar->Server().Logged("SET 2"); }

    // The number of SETs once the server's log has caught up with `expected`.
    size_t SetRequestsAfterOk(size_t expected) {
        PumpUntil([&] { return SetRequests() >= setsBefore + expected; }, std::chrono::milliseconds(3000));
        return SetRequests() - setsBefore;
    }

    INT_PTR Run(CategoryDialog& dialog, std::vector<ModalScript::Step> steps) {
        return RunScripted(std::move(steps), [&] { return dialog.DoModal(frame.Handle()); });
    }

    StandInFrame frame;
    MessageBoxRecorder boxes;
    std::unique_ptr<SeededCalendar> calendar;
    std::unique_ptr<TestServerContext> context;
    std::unique_ptr<CategorySet> store;
    int32_t work = 0;
    int32_t personal = 0;
    size_t setsBefore = 0;
};

TEST_F(RegistrationTest, AddEditDeleteAndEditThenDeleteReachTheServerOnlyOnOk) {
    // A schedule keeps 出張 in use: the server refuses its deletion, and the
    // records after it must still be sent.
    ASSERT_EQ(calendar->AddSchedule(20261207, Named(*store, "出張")->id, "大阪"), 1);
    const int32_t meetingId = Named(*store, "会議")->id;
    const int32_t visitorsId = Named(*store, "来客")->id;

    CategoryDialog dialog(*store, *context);
    HWND self = nullptr;
    INT_PTR outcome = Run(dialog, {
        [&] {
            self = dialog.Handle();
            EXPECT_EQ(ListItems(self, IDC_CATEGORY_LIST), (Strings{"業務", "私用"}));
            EXPECT_TRUE(ListItems(self, IDC_GENRE_LIST).empty());
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_ADD));
            SelectListItem(self, IDC_CATEGORY_LIST, 0);
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"会議", "出張", "来客"}));
            EXPECT_TRUE(ItemEnabled(self, IDC_GENRE_ADD));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_EDIT));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_DELETE));
            EXPECT_TRUE(PressButton(self, IDC_GENRE_ADD));
            return true;
        },
        NameGenre("業務", "", "研修"),
        [&] {
            if (!GenreDialogGone()) return false;
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"会議", "出張", "来客", "研修"}));
            SelectListItem(self, IDC_GENRE_LIST, 0);
            EXPECT_TRUE(ItemEnabled(self, IDC_GENRE_DELETE));
            EXPECT_TRUE(PressButton(self, IDC_GENRE_EDIT));
            return true;
        },
        NameGenre("業務", "会議", "定例会議"),
        [&] {
            if (!GenreDialogGone()) return false;
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"定例会議", "出張", "来客", "研修"}));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_EDIT));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_DELETE));
            // Asked first, and Cancel (the default button) keeps the genre.
            SelectListItem(self, IDC_GENRE_LIST, 1);
            boxes.QueueAnswers({IDCANCEL});
            EXPECT_TRUE(PressButton(self, IDC_GENRE_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().empty()) return false;
            const RecordedMessageBox box = boxes.Shown().back();
            EXPECT_EQ(box.text, "「出張」を削除します。よろしいですか？");
            EXPECT_EQ(box.caption, "確認");
            EXPECT_EQ(box.style, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
            EXPECT_EQ(box.owner, self);
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST).size(), 4u);
            EXPECT_TRUE(PressButton(self, IDC_GENRE_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().size() < 2) return false;
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"定例会議", "来客", "研修"}));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_DELETE));
            SelectListItem(self, IDC_GENRE_LIST, 1);
            EXPECT_TRUE(PressButton(self, IDC_GENRE_EDIT));
            return true;
        },
        NameGenre("業務", "来客", "来客対応"),
        [&] {
            if (!GenreDialogGone()) return false;
            SelectListItem(self, IDC_GENRE_LIST, 1);
            EXPECT_TRUE(PressButton(self, IDC_GENRE_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().size() < 3) return false;
            EXPECT_EQ(boxes.Shown().back().text, "「来客対応」を削除します。よろしいですか？");
            // Another category and back: its genres only, the deleted ones
            // left out, nothing selected.
            SelectListItem(self, IDC_CATEGORY_LIST, 1);
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"通院"}));
            SelectListItem(self, IDC_GENRE_LIST, 0);
            EXPECT_TRUE(ItemEnabled(self, IDC_GENRE_EDIT));
            SelectListItem(self, IDC_CATEGORY_LIST, 0);
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"定例会議", "研修"}));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_EDIT));
            EXPECT_FALSE(ItemEnabled(self, IDC_GENRE_DELETE));
            // Nothing has been sent yet.
            EXPECT_EQ(SetRequests(), setsBefore);
            EXPECT_TRUE(PressButton(self, IDOK));
            return true;
        },
    });
    EXPECT_EQ(outcome, IDOK);

    // The changed records only, in working-copy order; the refused deletion
    // is reported and the rest still go out.
    EXPECT_EQ(SetRequestsAfterOk(4), 4u);
    ASSERT_EQ(boxes.Shown().size(), 4u);
    EXPECT_EQ(boxes.Shown()[3].caption, "SET失敗");
    EXPECT_NE(boxes.Shown()[3].text.find("削除できません"), std::string::npos) << boxes.Shown()[3].text;

    EXPECT_EQ(HeldGenres(work), (Strings{"定例会議", "出張", "研修"}));
    EXPECT_EQ(HeldGenres(work, true), (Strings{"定例会議", "出張", "研修"}));
    EXPECT_EQ(HeldGenres(personal), (Strings{"通院"}));
    auto held = Held();
    ASSERT_TRUE(Named(*held, "定例会議"));
    EXPECT_EQ(Named(*held, "定例会議")->id, meetingId);

    // Edited, then deleted: one deletion carrying the new name.
    const CategorySet& copy = dialog.WorkingCopy();
    const CategoryRecord* visitors = copy.FindById(visitorsId);
    ASSERT_TRUE(visitors);
    EXPECT_EQ(visitors->op, OP_DELETE);
    EXPECT_STREQ(visitors->name, "来客対応");
    const CategoryRecord* added = Named(copy, "研修");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->op, OP_ADD);
    EXPECT_EQ(added->id, 0);
    EXPECT_EQ(added->level, LEVEL_GENRE);
    EXPECT_EQ(added->parentId, work);
    EXPECT_EQ(added->editState, 1);
    EXPECT_EQ(copy.records.back().get(), added);
    // The caller's set is not the dialog's copy.
    EXPECT_STREQ(store->FindById(meetingId)->name, "会議");
    EXPECT_EQ(store->FindById(meetingId)->op, OP_NONE);
}

TEST_F(RegistrationTest, CancelSendsNothingAndOkWithoutChangesSendsNothingButSaysOk) {
    CategoryDialog cancelled(*store, *context);
    INT_PTR outcome = Run(cancelled, {
        [&] {
            SelectListItem(cancelled.Handle(), IDC_CATEGORY_LIST, 1);
            EXPECT_TRUE(PressButton(cancelled.Handle(), IDC_GENRE_ADD));
            return true;
        },
        [&] {
            HWND genre = FindShownWindow(kGenreCaption);
            if (!genre) return false;
            // No name, no OK; a name, then the genre dialog's Cancel.
            SetDlgItemTextA(genre, IDC_GENRE_NAME, "x");
            EXPECT_TRUE(ItemEnabled(genre, IDOK));
            SetDlgItemTextA(genre, IDC_GENRE_NAME, "");
            EXPECT_FALSE(ItemEnabled(genre, IDOK));
            SetDlgItemTextA(genre, IDC_GENRE_NAME, "歯医者");
            EXPECT_TRUE(PressButton(genre, IDCANCEL));
            return true;
        },
        [&] {
            if (!GenreDialogGone()) return false;
            HWND self = cancelled.Handle();
            EXPECT_EQ(ListItems(self, IDC_GENRE_LIST), (Strings{"通院"}));
            SelectListItem(self, IDC_GENRE_LIST, 0);
            EXPECT_TRUE(PressButton(self, IDC_GENRE_DELETE));
            return true;
        },
        [&] {
            if (boxes.Shown().empty()) return false;
            EXPECT_TRUE(ListItems(cancelled.Handle(), IDC_GENRE_LIST).empty());
            EXPECT_TRUE(PressButton(cancelled.Handle(), IDCANCEL));
            return true;
        },
    });
    EXPECT_EQ(outcome, IDCANCEL);

    CategoryDialog untouched(*store, *context);
    outcome = Run(untouched, {[&] { return PressButton(untouched.Handle(), IDOK); }});
    EXPECT_EQ(outcome, IDOK);

    EXPECT_EQ(SetRequestsAfterOk(0), 0u);
    EXPECT_EQ(HeldGenres(personal), (Strings{"通院"}));
    EXPECT_EQ(HeldGenres(work), (Strings{"会議", "出張", "来客"}));
}

TEST_F(RegistrationTest, BlankNamesAndNamesTheCategoryHasAreRefusedWithAMessage) {
    CategoryDialog dialog(*store, *context);
    size_t expectedBoxes = 0;
    // Types `name` into the open genre dialog and presses its OK.
    auto type = [&](const std::string& name, bool refusedNext) {
        return [&, name, refusedNext] {
            HWND genre = FindShownWindow(kGenreCaption);
            if (!genre) return false;
            // The category's name is shown as it is ("&" no mnemonic).
            EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(genre, IDC_GENRE_CATEGORY_NAME), GWL_STYLE) & SS_NOPREFIX);
            SetDlgItemTextA(genre, IDC_GENRE_NAME, name.c_str());
            if (refusedNext) ++expectedBoxes;
            return PressButton(genre, IDOK);
        };
    };
    // One more box with `text`, the genre dialog still up, its name selected.
    auto refused = [&](const std::string& text) {
        return [&, text] {
            if (boxes.Shown().size() < expectedBoxes) return false;
            EXPECT_EQ(boxes.Shown().size(), expectedBoxes);
            const RecordedMessageBox box = boxes.Shown().back();
            EXPECT_EQ(box.text, text);
            EXPECT_EQ(box.caption, kGenreCaption);
            HWND genre = FindShownWindow(kGenreCaption);
            EXPECT_NE(genre, nullptr);
            EXPECT_EQ(box.owner, genre);
            EXPECT_EQ(GetFocus(), GetDlgItem(genre, IDC_GENRE_NAME));
            return true;
        };
    };
    const std::string blank = "ジャンル名を入力してください。空白だけの名前は登録できません。";
    auto taken = [](const std::string& name) {
        return "「" + name + "」というジャンルは「業務」にすでにあります。別の名前を入力してください。";
    };
    auto press = [&](int id, int genreIndex) {
        return [&, id, genreIndex] {
            if (!GenreDialogGone()) return false;
            SelectListItem(dialog.Handle(), IDC_CATEGORY_LIST, 0);
            if (genreIndex >= 0) SelectListItem(dialog.Handle(), IDC_GENRE_LIST, genreIndex);
            return PressButton(dialog.Handle(), id);
        };
    };
    INT_PTR outcome = Run(dialog, {
        press(IDC_GENRE_ADD, -1),
        type("　 ", true), refused(blank),
        type(" 会議　", true), refused(taken("会議")),
        type("研修", false),
        // A name added in this dialog is taken too.
        press(IDC_GENRE_ADD, -1),
        type("研修 ", true), refused(taken("研修")),
        [&] { return PressButton(FindShownWindow(kGenreCaption), IDCANCEL); },
        // Renamed: another genre's name is refused, its own (blanks aside) is not.
        press(IDC_GENRE_EDIT, 0),
        type("出張", true), refused(taken("出張")),
        type("会議 ", false),
        [&] {
            if (!GenreDialogGone()) return false;
            EXPECT_EQ(ListItems(dialog.Handle(), IDC_GENRE_LIST), (Strings{"会議 ", "出張", "来客", "研修"}));
            return PressButton(dialog.Handle(), IDOK);
        },
    });
    EXPECT_EQ(outcome, IDOK);
    EXPECT_EQ(boxes.Shown().size(), expectedBoxes);
    EXPECT_EQ(SetRequestsAfterOk(2), 2u);
    EXPECT_EQ(HeldGenres(work), (Strings{"会議 ", "出張", "来客", "研修"}));
}

TEST_F(RegistrationTest, LongNamesAreCutWhereACharacterEnds) {
    const std::string mixed = std::string(62, 'a') + "あ" + std::string(10, 'b');  // 75 bytes
    const std::string plain(100, 'c');
    std::string wide;
    for (int i = 0; i < 130; ++i) wide += "あ";  // 260 bytes
    std::string wide254, wide62;
    for (int i = 0; i < 127; ++i) wide254 += "あ";
    for (int i = 0; i < 31; ++i) wide62 += "あ";

    CategoryDialog dialog(*store, *context);
    ModalScript::Step add = [&dialog] {
        if (!GenreDialogGone()) return false;
        return PressButton(dialog.Handle(), IDC_GENRE_ADD);
    };
    INT_PTR outcome = Run(dialog, {
        [&] {
            SelectListItem(dialog.Handle(), IDC_CATEGORY_LIST, 1);
            return true;
        },
        add, NameGenre("私用", "", mixed),
        add, NameGenre("私用", "", plain),
        add, NameGenre("私用", "", wide),
        [&] {
            if (!GenreDialogGone()) return false;
            EXPECT_EQ(ListItems(dialog.Handle(), IDC_GENRE_LIST), (Strings{"通院", mixed, plain, wide254}));
            return PressButton(dialog.Handle(), IDOK);
        },
    });
    EXPECT_EQ(outcome, IDOK);
    EXPECT_EQ(SetRequestsAfterOk(3), 3u);
    EXPECT_EQ(HeldGenres(personal), (Strings{"通院", mixed, plain, wide254}));
    EXPECT_EQ(HeldGenres(personal, true), (Strings{"通院", std::string(62, 'a'), std::string(63, 'c'), wide62}));
}

}  // namespace
