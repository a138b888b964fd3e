// Modal dialogs and property sheets run on the tests' own templates, driven
// from inside by posted messages: how dialogs end, how their objects attach,
// which pages get PSN_APPLY and where PSN_QUERYCANCEL goes. Also the
// attaching control wrappers on real dialog items.
#include "toolkit/Dialog.h"

#include "tests/support/WindowTestSupport.h"
#include "tests/toolkit/ToolkitTestResource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using window_test::ModalWatchdog;

namespace {

const UINT WM_TEST_STEP = WM_APP + 10;

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_EQ(WindowBase::FirstInList(), nullptr);
    }
    void TearDown() override {
        EXPECT_FALSE(ModalWatchdog::Fired()) << "a modal loop had to be closed by the watchdog";
        EXPECT_EQ(WindowBase::ObjectBeingCreated(), nullptr);
    }
    ModalWatchdog watchdog;
};

// A dialog that does one scripted thing once it is up.
class ScriptedDialog : public DialogBase {
public:
    enum class Script { CloseWindow, PressEscape, PressEscapeThenClose, StayOpen, UseWrappers };

    explicit ScriptedDialog(Script script) : script_(script) {}

    LRESULT OnAttach() override {
        handleAtAttach = hwnd;
        order.push_back("attach");
        return 0;
    }
    LRESULT OnInitDialog() override {
        order.push_back("init");
        PostMessage(WM_TEST_STEP, 0, 0);
        return initDialogResult;
    }
    LRESULT OnCommand(UINT, UINT id, HWND) override {
        commands.push_back(id);
        if (id == IDCANCEL && handlesCancel) {
            EndDialog(IDCANCEL);
            return 1;
        }
        return 0;
    }
    LRESULT OnMessage(HWND, UINT message, WPARAM wParam, LPARAM) override {
        if (message != WM_TEST_STEP) return 0;
        RunStep(wParam);
        return 1;
    }

    void RunStep(WPARAM step) {
        HWND edit = GetDlgItem(IDC_TEST_EDIT);
        switch (script_) {
        case Script::CloseWindow:
            PostMessage(WM_CLOSE, 0, 0);
            break;
        case Script::PressEscape:
            // What the keyboard would deliver to the focused item.
            ::PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            break;
        case Script::PressEscapeThenClose:
            if (step == 0) {
                ::PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                PostMessage(WM_TEST_STEP, 1, 0);
            } else {
                stillOpenAfterEscape = ::IsWindow(hwnd) != FALSE;
                PostMessage(WM_CLOSE, 0, 0);
            }
            break;
        case Script::StayOpen:
            break;
        case Script::UseWrappers:
            UseWrappers();
            EndDialog(IDOK);
            break;
        }
    }

    void UseWrappers() {
        ButtonCtrl check(GetDlgItem(IDC_TEST_CHECK));
        check.SetCheck(BST_CHECKED);
        checkState = check.GetCheck();

        ListBoxCtrl list(GetDlgItem(IDC_TEST_LIST));
        list.InsertString(-1, "一");
        list.InsertString(-1, "三");
        list.InsertString(1, "二");
        list.SetItemData(2, 300);
        list.DeleteString(0);
        char text[16] = {};
        ::SendMessageA(list.Handle(), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text));
        listFirst = text;
        listData = list.GetItemData(1);
        listSelection = list.GetCurSel();

        ComboBoxCtrl combo(GetDlgItem(IDC_TEST_COMBO));
        combo.InsertString(-1, "月");
        combo.InsertString(-1, "火");
        combo.SetItemData(1, 42);
        combo.SetCurSel(1);
        comboCount = combo.GetCount();
        comboSelection = combo.GetCurSel();
        comboData = combo.GetItemData(1);
        combo.DeleteString(0);
        comboCountAfterDelete = combo.GetCount();

        ListViewCtrl view(GetDlgItem(IDC_TEST_LISTVIEW));
        view.SetExtendedStyle(LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        extendedStyle = static_cast<DWORD>(::SendMessageA(view.Handle(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 80;
        view.InsertColumn(0, &column);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.pszText = const_cast<char*>("予定");
        item.lParam = 7;
        view.InsertItem(&item);
        LVITEMA read{};
        read.mask = LVIF_PARAM;
        read.iItem = 0;
        view.GetItem(&read);
        viewParam = read.lParam;
        viewCount = view.GetItemCount();

        EditCtrl edit(GetDlgItem(IDC_TEST_EDIT));
        edit.SetText("日本語の名前");
        editText = edit.GetText();
    }

    Script script_;
    LRESULT initDialogResult = 1;
    bool handlesCancel = false;
    HWND handleAtAttach = nullptr;
    std::vector<std::string> order;
    std::vector<UINT> commands;
    bool stillOpenAfterEscape = false;

    int checkState = -1;
    std::string listFirst;
    LRESULT listData = 0;
    int listSelection = 0;
    int comboCount = 0, comboSelection = 0, comboCountAfterDelete = 0;
    LRESULT comboData = 0;
    DWORD extendedStyle = 0;
    LPARAM viewParam = 0;
    int viewCount = 0;
    std::string editText;
};

INT_PTR RunDialog(ScriptedDialog& dialog) {
    return dialog.DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_TEST_DIALOG), nullptr);
}

TEST_F(DialogTest, CloseEndsTheDialogWithZeroAfterAttachingItAtInitDialog) {
    ScriptedDialog dialog(ScriptedDialog::Script::CloseWindow);
    EXPECT_EQ(RunDialog(dialog), 0);
    EXPECT_TRUE(dialog.handleAtAttach);
    EXPECT_EQ(dialog.Handle(), dialog.handleAtAttach);
    EXPECT_EQ(dialog.order, (std::vector<std::string>{"attach", "init"}));
}

TEST_F(DialogTest, EscapeReachesCommandTwoWhichEndsTheDialogWhenHandled) {
    ScriptedDialog dialog(ScriptedDialog::Script::PressEscape);
    dialog.handlesCancel = true;
    EXPECT_EQ(RunDialog(dialog), IDCANCEL);
    EXPECT_EQ(std::count(dialog.commands.begin(), dialog.commands.end(), UINT{IDCANCEL}), 1);
}

TEST_F(DialogTest, EscapeDoesNotEndADialogThatIgnoresCommandTwo) {
    ScriptedDialog dialog(ScriptedDialog::Script::PressEscapeThenClose);
    EXPECT_EQ(RunDialog(dialog), 0);
    EXPECT_EQ(std::count(dialog.commands.begin(), dialog.commands.end(), UINT{IDCANCEL}), 1);
    EXPECT_TRUE(dialog.stillOpenAfterEscape);
}

TEST_F(DialogTest, InitDialogResultIsWhatTheDialogManagerGets) {
    // Nonzero asks the dialog manager for the default focus. (Focus itself
    // follows the X pointer under Xvfb, so the answer is checked instead.)
    for (LRESULT wanted : {LRESULT{1}, LRESULT{0}}) {
        ScriptedDialog dialog(ScriptedDialog::Script::StayOpen);
        dialog.initDialogResult = wanted;
        HWND window = CreateDialogParamA(GetInstance(), MAKEINTRESOURCEA(IDD_TEST_DIALOG), nullptr,
                                         &DialogBase::DialogProc, reinterpret_cast<LPARAM>(&dialog));
        ASSERT_TRUE(window);
        EXPECT_EQ(dialog.Handle(), window);
        EXPECT_EQ(SendMessageA(window, WM_INITDIALOG, 0, 0), wanted);
        DestroyWindow(window);
    }
}

TEST_F(DialogTest, MissingTemplateGivesMinusOne) {
    ScriptedDialog dialog(ScriptedDialog::Script::CloseWindow);
    EXPECT_EQ(dialog.DoModal(GetInstance(), MAKEINTRESOURCEA(4711), nullptr), -1);
    EXPECT_TRUE(dialog.order.empty());
}

TEST_F(DialogTest, InitialisationParameterThatIsNoObjectIsIgnored) {
    // The dialog procedure on a dialog started without an object: nothing is
    // attached and nothing crashes.
    int notAnObject = 0;
    HWND window = CreateDialogParamA(GetInstance(), MAKEINTRESOURCEA(IDD_TEST_DIALOG), nullptr,
                                     &DialogBase::DialogProc, reinterpret_cast<LPARAM>(&notAnObject));
    ASSERT_TRUE(window);
    EXPECT_EQ(WindowBase::FromHandle(window), nullptr);
    EXPECT_EQ(notAnObject, 0);
    DestroyWindow(window);
}

TEST_F(DialogTest, WindowObjectThatIsNoDialogKeepsItsOwnWindow) {
    RegisterToolkitWindowClass(GetInstance());
    WindowBase frame;
    HWND frameWindow = frame.Create(0, "QxKit_Window", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                    nullptr, GetInstance(), nullptr);
    ASSERT_TRUE(frameWindow);
    HWND window = CreateDialogParamA(GetInstance(), MAKEINTRESOURCEA(IDD_TEST_DIALOG), nullptr,
                                     &DialogBase::DialogProc, reinterpret_cast<LPARAM>(&frame));
    ASSERT_TRUE(window);
    EXPECT_EQ(frame.Handle(), frameWindow);
    EXPECT_EQ(WindowBase::FromHandle(frameWindow), &frame);
    EXPECT_EQ(WindowBase::FromHandle(window), nullptr);
    DestroyWindow(window);
    DestroyWindow(frameWindow);
    EXPECT_TRUE(window_test::TakeQuitMessage());  // the frame headed the window list
}

TEST_F(DialogTest, AttachingWrappersServeTheirDialogItems) {
    ScriptedDialog dialog(ScriptedDialog::Script::UseWrappers);
    EXPECT_EQ(RunDialog(dialog), IDOK);
    EXPECT_EQ(dialog.checkState, BST_CHECKED);
    EXPECT_EQ(dialog.listFirst, "二");
    EXPECT_EQ(dialog.listData, 300);
    EXPECT_EQ(dialog.listSelection, LB_ERR);
    EXPECT_EQ(dialog.comboCount, 2);
    EXPECT_EQ(dialog.comboSelection, 1);
    EXPECT_EQ(dialog.comboData, 42);
    EXPECT_EQ(dialog.comboCountAfterDelete, 1);
    EXPECT_TRUE(dialog.extendedStyle & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(dialog.viewParam, 7);
    EXPECT_EQ(dialog.viewCount, 1);
    EXPECT_EQ(dialog.editText, "日本語の名前");
}

// ---------------------------------------------------------------------------
// Property sheets

class TestSheet : public PropertySheetBase {
public:
    LRESULT OnSheetInitialized() override {
        ++initialized;
        handleAtInitialized = hwnd;
        return 0;
    }
    LRESULT OnAttach() override {
        ++attached;
        return 0;
    }
    LRESULT OnInitDialog() override {
        ++initDialogs;
        return 0;
    }
    LRESULT OnQueryCancel(NMHDR* header) override {
        ++queryCancels;
        queryCancelFrom = header->hwndFrom;
        return 1;  // asks to stay open; the sheet closes anyway
    }
    // Presses a sheet button once the messages queued so far are through.
    void Press(int button) { PostMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0); }

    int initialized = 0, attached = 0, initDialogs = 0, queryCancels = 0;
    HWND handleAtInitialized = nullptr;
    HWND queryCancelFrom = nullptr;
};

class TestPage : public PropertyPageBase {
public:
    // What the page does the first time it becomes active.
    enum class OnFirstShow { Nothing, PressOk, PressCancel, ShowNextPage };

    explicit TestPage(OnFirstShow action) : action_(action) {}

    LRESULT OnSetActive(NMHDR*) override {
        if (activations++ > 0) return 0;
        auto* owner = dynamic_cast<TestSheet*>(Sheet());
        sheetFound = owner != nullptr;
        if (!owner) return 0;
        switch (action_) {
        case OnFirstShow::PressOk: owner->Press(PSBTN_OK); break;
        case OnFirstShow::PressCancel: owner->Press(PSBTN_CANCEL); break;
        case OnFirstShow::ShowNextPage: owner->PostMessage(PSM_SETCURSEL, 1, 0); break;
        case OnFirstShow::Nothing: break;
        }
        return 0;
    }
    LRESULT OnApply(NMHDR*) override {
        ++applies;
        return applyResult;
    }
    LRESULT OnReset(NMHDR*) override {
        ++resets;
        return 0;
    }

    HPROPSHEETPAGE Make(int templateId) {
        PROPSHEETPAGEA page{};
        page.dwSize = sizeof page;
        page.hInstance = GetInstance();
        page.pszTemplate = MAKEINTRESOURCEA(templateId);
        return CreatePage(page);
    }

    int activations = 0, applies = 0, resets = 0;
    LRESULT applyResult = 0;
    bool sheetFound = false;

private:
    OnFirstShow action_;
};

INT_PTR RunSheet(TestSheet& sheet, TestPage& first, TestPage& second) {
    HPROPSHEETPAGE pages[2] = {first.Make(IDD_TEST_PAGE_ONE), second.Make(IDD_TEST_PAGE_TWO)};
    if (!pages[0] || !pages[1]) return -2;
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_NOAPPLYNOW;
    header.hInstance = GetInstance();
    header.pszCaption = "テスト用シート";
    header.nPages = 2;
    header.phpage = pages;
    return sheet.DoModal(header);
}

TEST_F(DialogTest, OkAppliesOnlyThePagesThatWereShown) {
    TestSheet sheet;
    TestPage first(TestPage::OnFirstShow::PressOk);
    TestPage second(TestPage::OnFirstShow::Nothing);
    EXPECT_GT(RunSheet(sheet, first, second), 0);
    EXPECT_EQ(first.applies, 1);
    EXPECT_EQ(second.applies, 0);
    EXPECT_TRUE(first.Handle());
    EXPECT_EQ(second.Handle(), nullptr);
    EXPECT_TRUE(first.sheetFound);

    EXPECT_EQ(sheet.initialized, 1);
    EXPECT_EQ(sheet.attached, 1);
    EXPECT_EQ(sheet.initDialogs, 1);
    EXPECT_TRUE(sheet.handleAtInitialized);
    EXPECT_EQ(sheet.Handle(), sheet.handleAtInitialized);
    EXPECT_TRUE(sheet.BaseProc());
}

TEST_F(DialogTest, OkAppliesEveryPageOnceShownEvenWhenAPageObjects) {
    TestSheet sheet;
    TestPage first(TestPage::OnFirstShow::ShowNextPage);
    TestPage second(TestPage::OnFirstShow::PressOk);
    // The page's answer never reaches the sheet: it closes all the same.
    first.applyResult = PSNRET_INVALID;
    EXPECT_GT(RunSheet(sheet, first, second), 0);
    EXPECT_EQ(first.applies, 1);
    EXPECT_EQ(second.applies, 1);
    EXPECT_TRUE(second.Handle());
    EXPECT_TRUE(second.sheetFound);
}

TEST_F(DialogTest, CancelReachesTheSheetsQueryCancelWhichCannotKeepItOpen) {
    TestSheet sheet;
    TestPage first(TestPage::OnFirstShow::PressCancel);
    TestPage second(TestPage::OnFirstShow::Nothing);
    EXPECT_EQ(RunSheet(sheet, first, second), 0);
    EXPECT_EQ(sheet.queryCancels, 1);
    EXPECT_EQ(sheet.queryCancelFrom, sheet.Handle());
    EXPECT_EQ(first.applies, 0);
    EXPECT_EQ(second.applies, 0);
}

}  // namespace
