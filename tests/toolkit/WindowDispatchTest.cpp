// Window objects on real windows: the window list, attachment at creation,
// dispatch and default processing, the quit rule, notification reflection
// and superclassed controls.
#include "toolkit/Dialog.h"
#include "toolkit/Services.h"
#include "toolkit/Window.h"

#include "tests/support/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using window_test::PumpPending;
using window_test::PumpUntil;
using window_test::TakeQuitMessage;

namespace {

HWND CreateToolkitWindow(WindowBase& object, HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW) {
    if (parent) style = WS_CHILD | WS_VISIBLE;
    return object.Create(0, "QxKit_Window", "test", style, 10, 10, 300, 200, parent, nullptr, GetInstance(), nullptr);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_test::RegisterWindowClassOnce();
        // Nothing from an earlier test may head the window list.
        ASSERT_EQ(WindowBase::FirstInList(), nullptr);
        TakeQuitMessage();
    }
    void TearDown() override {
        PumpPending();
        TakeQuitMessage();
    }
};

// Records what reached it.
class ProbeWindow : public WindowBase {
public:
    LRESULT OnCreate(CREATESTRUCTA*) override {
        handleAtCreate = hwnd;
        return 0;
    }
    LRESULT OnDestroy() override {
        ++destroyCalls;
        return destroyResult;
    }
    LRESULT OnMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER) timers.push_back({wParam, lParam, lastDispatchResult});
        if (message == WM_APP + 1) PostQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        lastDispatchResult = WindowBase::Dispatch(window, message, wParam, lParam);
        return lastDispatchResult;
    }
    LRESULT OnCommand(UINT, UINT id, HWND) override {
        if (id != 77) return 0;
        result = 12345;
        return 1;
    }
    LRESULT OnMouseMove(UINT keys, int x, int y) override {
        mouse = {static_cast<int>(keys), x, y};
        return 1;
    }

    struct Timer {
        WPARAM wParam;
        LPARAM lParam;
        LRESULT dispatchResult;
    };
    HWND handleAtCreate = nullptr;
    int destroyCalls = 0;
    LRESULT destroyResult = 1;
    LRESULT lastDispatchResult = -1;
    std::vector<Timer> timers;
    struct {
        int keys, x, y;
    } mouse{-1, 0, 0};
};

// ---------------------------------------------------------------------------

TEST_F(WindowTest, WindowListKeepsConstructionOrderAndUnlinksAnywhere) {
    auto first = std::make_unique<ProbeWindow>();
    auto second = std::make_unique<ProbeWindow>();
    auto third = std::make_unique<ProbeWindow>();
    EXPECT_EQ(WindowBase::FirstInList(), first.get());

    HWND secondWindow = CreateToolkitWindow(*second);
    HWND thirdWindow = CreateToolkitWindow(*third);
    ASSERT_TRUE(secondWindow);
    EXPECT_EQ(WindowBase::FromHandle(secondWindow), second.get());
    EXPECT_EQ(WindowBase::FromHandle(thirdWindow), third.get());
    EXPECT_EQ(WindowBase::FromHandle(nullptr), nullptr);

    // Unlinking the middle keeps the ends reachable; unlinking the head makes
    // the next one the main window object.
    DestroyWindow(secondWindow);
    second.reset();
    EXPECT_EQ(WindowBase::FromHandle(secondWindow), nullptr);
    EXPECT_EQ(WindowBase::FromHandle(thirdWindow), third.get());
    first.reset();
    EXPECT_EQ(WindowBase::FirstInList(), third.get());
    DestroyWindow(thirdWindow);
    EXPECT_TRUE(TakeQuitMessage());  // third was the head by then
    third.reset();
    EXPECT_EQ(WindowBase::FirstInList(), nullptr);
}

TEST_F(WindowTest, ObjectIsAttachedBeforeWindowCreateAndCreateReturnsTheHandle) {
    ProbeWindow window;
    HWND handle = CreateToolkitWindow(window);
    ASSERT_TRUE(handle);
    EXPECT_EQ(window.handleAtCreate, handle);
    EXPECT_EQ(window.Handle(), handle);
    EXPECT_EQ(WindowBase::ObjectBeingCreated(), nullptr);
    DestroyWindow(handle);
}

class ParentMakingChild : public WindowBase {
public:
    LRESULT OnCreate(CREATESTRUCTA*) override {
        child = std::make_unique<ProbeWindow>();
        childWindow = child->Create(0, "QxKit_Window", "", WS_CHILD, 0, 0, 10, 10, hwnd, nullptr, GetInstance(),
                                    nullptr);
        return 0;
    }
    std::unique_ptr<ProbeWindow> child;
    HWND childWindow = nullptr;
};

TEST_F(WindowTest, ChildCreatedWhileItsParentIsBeingCreatedGetsItsOwnObject) {
    ParentMakingChild parent;
    HWND handle = CreateToolkitWindow(parent);
    ASSERT_TRUE(handle && parent.childWindow);
    EXPECT_EQ(WindowBase::FromHandle(handle), &parent);
    EXPECT_EQ(WindowBase::FromHandle(parent.childWindow), parent.child.get());
    EXPECT_EQ(parent.child->handleAtCreate, parent.childWindow);
    EXPECT_EQ(::GetParent(parent.childWindow), handle);
    DestroyWindow(handle);
}

TEST_F(WindowTest, FailedCreateLeavesNoObjectMarkedForTheNextWindow) {
    ProbeWindow failed;
    HWND none = failed.Create(0, "NoSuchWindowClass", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              GetInstance(), nullptr);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(failed.Handle(), nullptr);
    EXPECT_EQ(WindowBase::ObjectBeingCreated(), nullptr);

    // A window made without an object must stay without one.
    HWND unrelated = CreateWindowExA(0, "QxKit_Window", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                     GetInstance(), nullptr);
    ASSERT_TRUE(unrelated);
    EXPECT_EQ(WindowBase::FromHandle(unrelated), nullptr);
    EXPECT_EQ(failed.Handle(), nullptr);
    DestroyWindow(unrelated);

    // The same for a window whose class never asks for an object.
    ProbeWindow notToolkit;
    HWND stat = notToolkit.Create(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, GetInstance(),
                                  nullptr);
    ASSERT_TRUE(stat);
    EXPECT_EQ(WindowBase::ObjectBeingCreated(), nullptr);
    DestroyWindow(stat);
    EXPECT_FALSE(TakeQuitMessage());  // `failed` heads the list but never had a window
}

TEST_F(WindowTest, DestroyingTheHeadObjectsWindowEndsTheLoopWithExitCodeZero) {
    ProbeWindow head;
    ProbeWindow other;
    // The other window exists first on screen: the list order decides.
    HWND otherWindow = CreateToolkitWindow(other);
    HWND headWindow = CreateToolkitWindow(head);
    ASSERT_TRUE(otherWindow && headWindow);

    DestroyWindow(otherWindow);
    EXPECT_EQ(other.destroyCalls, 1);
    EXPECT_FALSE(TakeQuitMessage());

    PostMessageA(headWindow, WM_CLOSE, 0, 0);  // default processing destroys it
    EXPECT_EQ(RunMessageLoop(), 0);
    EXPECT_EQ(head.destroyCalls, 1);
    EXPECT_FALSE(IsWindow(headWindow));
    // Exactly one quit: nothing is left behind for a later loop.
    EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(WindowTest, HeadWhoseOnDestroyReturnsZeroKeepsTheLoopRunning) {
    ProbeWindow head;
    head.destroyResult = 0;
    ProbeWindow other;
    HWND headWindow = CreateToolkitWindow(head);
    HWND otherWindow = CreateToolkitWindow(other);

    PostMessageA(headWindow, WM_CLOSE, 0, 0);
    // The loop outlives the main window and ends only on the quit that the
    // other window posts afterwards, with that quit's code.
    PostMessageA(otherWindow, WM_APP + 1, 7, 0);
    EXPECT_EQ(RunMessageLoop(), 7);
    EXPECT_EQ(head.destroyCalls, 1);
    EXPECT_FALSE(IsWindow(headWindow));
    DestroyWindow(otherWindow);
    EXPECT_FALSE(TakeQuitMessage());
}

TEST_F(WindowTest, HandledMessageReturnsResultAndUnhandledGetsDefaultProcessing) {
    ProbeWindow window;
    HWND handle = CreateToolkitWindow(window);
    EXPECT_EQ(SendMessageA(handle, WM_COMMAND, MAKEWPARAM(77, 0), 0), 12345);
    EXPECT_EQ(SendMessageA(handle, WM_COMMAND, MAKEWPARAM(78, 0), 0), 0);
    // Unhandled WM_SETTEXT/WM_GETTEXT reach DefWindowProcA.
    SetWindowTextA(handle, "abc");
    EXPECT_EQ(window.GetText(), "abc");
    DestroyWindow(handle);
}

TEST_F(WindowTest, MouseCoordinatesLeftOfAndAboveTheWindowArriveNegative) {
    ProbeWindow window;
    HWND handle = CreateToolkitWindow(window);
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, -7));
    EXPECT_EQ(window.mouse.keys, MK_LBUTTON);
    EXPECT_EQ(window.mouse.x, -5);
    EXPECT_EQ(window.mouse.y, -7);
    DestroyWindow(handle);
}

TEST_F(WindowTest, TimerReachesOnMessageWithItsRawParameters) {
    ProbeWindow window;
    HWND handle = CreateToolkitWindow(window);
    ASSERT_TRUE(SetTimer(handle, 42, 10, nullptr));
    EXPECT_TRUE(PumpUntil([&] { return !window.timers.empty(); }));
    KillTimer(handle, 42);
    ASSERT_FALSE(window.timers.empty());
    EXPECT_EQ(window.timers[0].wParam, 42u);
    EXPECT_EQ(window.timers[0].lParam, 0);
    EXPECT_EQ(window.timers[0].dispatchResult, 0);  // no handler of its own
    DestroyWindow(handle);
}

// Handlers that get argument objects built around the message's handles.
class ArgumentProbe : public WindowBase {
public:
    LRESULT OnEraseBkgnd(Dc& dc) override {
        erasedDc = dc.Handle();
        result = 1;
        return 1;
    }
    LRESULT OnInitMenuPopup(Menu& menu, UINT position, BOOL isWindowMenu) override {
        popup = menu.Handle();
        popupPosition = position;
        popupIsWindowMenu = isWindowMenu;
        return 1;
    }
    LRESULT OnPaint(PaintDc& dc) override {
        paintedDc = dc.Handle();
        return 1;
    }
    LRESULT OnToolTipText(NMHDR* header) override {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        lstrcpynA(info->szText, "ヒント", sizeof info->szText);
        return 1;
    }
    LRESULT OnNotify(WPARAM, NMHDR*) override {
        ++notifications;
        return 0;
    }
    HDC erasedDc = nullptr;
    HDC paintedDc = nullptr;
    HMENU popup = nullptr;
    UINT popupPosition = 0;
    BOOL popupIsWindowMenu = FALSE;
    int notifications = 0;
};

TEST_F(WindowTest, HandlersGetArgumentObjectsAroundTheMessagesHandles) {
    ArgumentProbe window;
    HWND handle = window.Create(0, "QxKit_Window", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetInstance(), nullptr);
    ASSERT_TRUE(handle);

    HDC dc = GetDC(handle);
    EXPECT_EQ(SendMessageA(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    EXPECT_EQ(window.erasedDc, dc);
    ReleaseDC(handle, dc);

    HMENU menu = CreatePopupMenu();
    SendMessageA(handle, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(3, 1));
    EXPECT_EQ(window.popup, menu);
    EXPECT_EQ(window.popupPosition, 3u);
    EXPECT_TRUE(window.popupIsWindowMenu);
    EXPECT_TRUE(IsMenu(menu));  // borrowed, not destroyed
    DestroyMenu(menu);

    // (A hidden window is not painted by UpdateWindow: send the message.)
    InvalidateRect(handle, nullptr, FALSE);
    SendMessageA(handle, WM_PAINT, 0, 0);
    EXPECT_TRUE(window.paintedDc);
    EXPECT_FALSE(GetUpdateRect(handle, nullptr, FALSE));  // the paint DC validated it

    // A tool tip's text request is answered by OnToolTipText alone.
    NMTTDISPINFOA request{};
    request.hdr.hwndFrom = handle;
    request.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(handle, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&request));
    EXPECT_STREQ(request.szText, "ヒント");
    EXPECT_EQ(window.notifications, 0);
    DestroyWindow(handle);
}

// ---------------------------------------------------------------------------
// Notification reflection

class VetoingTree : public TreeViewCtrl {
public:
    LRESULT OnTvnSelChanging(NMHDR*) override {
        ++selChanging;
        if (!veto) return 0;
        result = 1;
        return 1;
    }
    // Sets its result first and then asks its own control, as a handler
    // that stops the tree expanding on a double-click does.
    LRESULT OnNmDblClk(NMHDR*) override {
        ++doubleClicks;
        result = 1;
        askedSelection = GetSelection();
        return 1;
    }
    int selChanging = 0;
    int doubleClicks = 0;
    HTREEITEM askedSelection = nullptr;
    bool veto = false;
};

class NotifiedParent : public ProbeWindow {
public:
    LRESULT OnNotify(WPARAM, NMHDR* header) override {
        if (!claimNotifications) return 0;
        ++ownNotifications;
        lastCode = header->code;
        result = 1;  // cannot reach the sender
        return 1;
    }
    bool claimNotifications = false;
    int ownNotifications = 0;
    UINT lastCode = 0;
};

class TreeFixture : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        parent = std::make_unique<NotifiedParent>();
        ASSERT_TRUE(CreateToolkitWindow(*parent));
        tree = std::make_unique<VetoingTree>();
        ASSERT_TRUE(tree->Create(0, "", WS_CHILD | WS_VISIBLE | TVS_HASLINES, 0, 0, 200, 150, parent->Handle(),
                                 reinterpret_cast<HMENU>(100), GetInstance(), nullptr));
        first = Insert("first");
        second = Insert("second");
        ASSERT_TRUE(first && second);
        ASSERT_TRUE(TreeView_SelectItem(tree->Handle(), first));
    }
    void TearDown() override {
        DestroyWindow(parent->Handle());
        tree.reset();
        parent.reset();
        WindowTest::TearDown();
    }
    HTREEITEM Insert(const char* text) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<char*>(text);
        return tree->InsertItem(&insert);
    }

    std::unique_ptr<NotifiedParent> parent;
    std::unique_ptr<VetoingTree> tree;
    HTREEITEM first = nullptr;
    HTREEITEM second = nullptr;
};

TEST_F(TreeFixture, ControlObjectsResultBecomesTheNotificationsReturnValue) {
    tree->veto = true;
    int before = tree->selChanging;
    TreeView_SelectItem(tree->Handle(), second);
    EXPECT_GT(tree->selChanging, before);
    EXPECT_EQ(tree->GetSelection(), first);

    NMHDR header{tree->Handle(), 100, static_cast<UINT>(NM_DBLCLK)};
    EXPECT_EQ(SendMessageA(parent->Handle(), WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&header)), 1);
    EXPECT_EQ(tree->doubleClicks, 1);
    EXPECT_EQ(tree->askedSelection, first);
}

TEST_F(TreeFixture, NotificationsOfTheControlsChildrenNeverReachItsHandlers) {
    // A child of the tree (its tool tip, say) notifies the tree itself.
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 10, 10, tree->Handle(), nullptr, GetInstance(),
                                 nullptr);
    ASSERT_TRUE(child);
    tree->selChanging = 0;
    std::vector<HWND> senders{child};
    if (HWND tip = TreeView_GetToolTips(tree->Handle())) senders.push_back(tip);
    for (HWND sender : senders) {
        for (UINT code : {static_cast<UINT>(NM_DBLCLK), static_cast<UINT>(TVN_SELCHANGINGA)}) {
            NMHDR header{sender, 0, code};
            SendMessageA(tree->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
            EXPECT_EQ(SendMessageA(parent->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), 0);
        }
    }
    EXPECT_EQ(tree->doubleClicks, 0);
    EXPECT_EQ(tree->selChanging, 0);
}

TEST_F(TreeFixture, WithoutTheControlsVetoTheSelectionMoves) {
    TreeView_SelectItem(tree->Handle(), second);
    EXPECT_EQ(tree->GetSelection(), second);
}

TEST_F(TreeFixture, ParentHandlingTheNotificationItselfCannotSetTheReturnValue) {
    parent->claimNotifications = true;
    tree->veto = true;
    tree->selChanging = 0;
    TreeView_SelectItem(tree->Handle(), second);
    EXPECT_GT(parent->ownNotifications, 0);
    // The parent claimed it, so the tree object never saw it and the parent's
    // result was not returned: the selection moved.
    EXPECT_EQ(tree->selChanging, 0);
    EXPECT_EQ(tree->GetSelection(), second);

    NMHDR header{tree->Handle(), 100, static_cast<UINT>(NM_DBLCLK)};
    EXPECT_EQ(SendMessageA(parent->Handle(), WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&header)), 0);
}

TEST_F(TreeFixture, TreeOperationsWalkTheItems) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = first;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>("child");
    insert.item.lParam = 99;
    HTREEITEM child = tree->InsertItem(&insert);
    ASSERT_TRUE(child);
    EXPECT_EQ(tree->GetChild(first), child);
    EXPECT_EQ(tree->GetParentItem(child), first);
    EXPECT_TRUE(tree->Expand(TVE_EXPAND, first));
    RECT rect{};
    EXPECT_TRUE(tree->GetItemRect(TRUE, child, &rect));
    EXPECT_GT(rect.right, rect.left);

    char text[32] = {};
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_PARAM;
    item.hItem = child;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    ASSERT_TRUE(tree->GetItem(&item));
    EXPECT_STREQ(text, "child");
    EXPECT_EQ(item.lParam, 99);
    EXPECT_TRUE(tree->DeleteItem(child));
    EXPECT_EQ(tree->GetChild(first), nullptr);
}

class VetoingList : public ListViewCtrl {
public:
    using ListViewCtrl::ListViewCtrl;
    LRESULT OnLvnItemChanging(NMHDR*) override {
        ++changing;
        if (!veto) return 0;
        result = 1;
        return 1;
    }
    int changing = 0;
    bool veto = true;
};

TEST_F(WindowTest, ListViewObjectCanRefuseAnItemChange) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    NotifiedParent parent;
    ASSERT_TRUE(CreateToolkitWindow(parent));
    HWND listWindow = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 200, 150,
                                      parent.Handle(), reinterpret_cast<HMENU>(101), GetInstance(), nullptr);
    ASSERT_TRUE(listWindow);
    {
        VetoingList list(listWindow);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 100;
        column.pszText = const_cast<char*>("name");
        EXPECT_EQ(list.InsertColumn(0, &column), 0);
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<char*>("one");
        EXPECT_EQ(list.InsertItem(&item), 0);
        item.iItem = 1;
        item.pszText = const_cast<char*>("two");
        EXPECT_EQ(list.InsertItem(&item), 1);
        EXPECT_EQ(list.GetItemCount(), 2);

        ListView_SetItemState(listWindow, 1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_GT(list.changing, 0);
        EXPECT_EQ(list.GetSelectedCount(), 0u);

        list.veto = false;
        ListView_SetItemState(listWindow, 1, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(list.GetSelectedCount(), 1u);
        EXPECT_EQ(list.GetNextSelected(-1, LVNI_ALL), 1);
        EXPECT_TRUE(list.DeleteItem(0));
        EXPECT_EQ(list.GetItemCount(), 1);
    }
    DestroyWindow(parent.Handle());
}

// ---------------------------------------------------------------------------
// Superclassed controls

class EditProbe : public ControlWindow {
public:
    EditProbe() { Superclass(0, "Edit", "QXKIT_Edit"); }
    LRESULT OnKeyDown(WPARAM key, LPARAM) override {
        if (key != VK_END) return 0;
        DWORD end = 0;
        ::SendMessageA(hwnd, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
        caretSeenByHandler = static_cast<int>(end);
        return 1;  // does not stop the edit's own handling
    }
    int caretSeenByHandler = -1;
};

TEST_F(WindowTest, SuperclassedControlSeesKeyDownAfterItsOwnProcedure) {
    ProbeWindow parent;
    ASSERT_TRUE(CreateToolkitWindow(parent));
    auto edit = std::make_unique<EditProbe>();
    HWND editWindow = edit->Create(0, "abcdef", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 200, 24,
                                   parent.Handle(), reinterpret_cast<HMENU>(102), GetInstance(), nullptr);
    ASSERT_TRUE(editWindow);
    EXPECT_EQ(WindowBase::FromHandle(editWindow), edit.get());
    char className[64] = {};
    GetClassNameA(editWindow, className, sizeof className);
    EXPECT_STREQ(className, "QXKIT_Edit");
    EXPECT_EQ(edit->GetText(), "abcdef");

    SendMessageA(editWindow, EM_SETSEL, 0, 0);
    SendMessageA(editWindow, WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(edit->caretSeenByHandler, 6);
    DWORD end = 0;
    SendMessageA(editWindow, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(end, 6u);

    // A control that outlives its object still behaves as the control.
    edit.reset();
    EXPECT_GT(SendMessageA(editWindow, EM_GETLIMITTEXT, 0, 0), 0);
    DestroyWindow(parent.Handle());
}

TEST_F(WindowTest, AttachingWrapperLeavesTheItemsProcedureAlone) {
    ProbeWindow parent;
    ASSERT_TRUE(CreateToolkitWindow(parent));
    HWND button = CreateWindowExA(0, "Button", "check", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 80, 20, parent.Handle(),
                                  nullptr, GetInstance(), nullptr);
    LONG_PTR procedure = GetWindowLongPtrA(button, GWLP_WNDPROC);
    {
        ButtonCtrl wrapper(button);
        EXPECT_EQ(GetWindowLongPtrA(button, GWLP_WNDPROC), procedure);
        EXPECT_EQ(wrapper.GetCheck(), BST_UNCHECKED);
        wrapper.SetCheck(BST_CHECKED);
        EXPECT_EQ(SendMessageA(button, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_STREQ(wrapper.ClassName(), "QXKIT_Button");
        EXPECT_TRUE(wrapper.BaseProc());
    }
    // A wrapper of a missing item answers 0 and does no harm.
    ButtonCtrl missing(nullptr);
    EXPECT_EQ(missing.GetCheck(), 0);
    DestroyWindow(parent.Handle());
}

TEST_F(WindowTest, ToolBarSetCheckedChangesOnlyTheCheckedBit) {
    ProbeWindow parent;
    ASSERT_TRUE(CreateToolkitWindow(parent));
    {
        ToolBarCtrl toolbar;
        ASSERT_TRUE(toolbar.Create(0, "", WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 0, 0, parent.Handle(),
                                   reinterpret_cast<HMENU>(103), GetInstance(), nullptr));
        toolbar.ButtonStructSize(sizeof(TBBUTTON));
        TBBUTTON button{};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = 500;
        button.fsState = TBSTATE_ENABLED | TBSTATE_HIDDEN;
        button.fsStyle = BTNS_CHECK;
        ASSERT_TRUE(toolbar.InsertButton(0, &button));

        EXPECT_TRUE(toolbar.SetChecked(500, TRUE));
        EXPECT_EQ(toolbar.GetState(500), TBSTATE_ENABLED | TBSTATE_HIDDEN | TBSTATE_CHECKED);
        EXPECT_TRUE(toolbar.SetChecked(500, FALSE));
        EXPECT_EQ(toolbar.GetState(500), TBSTATE_ENABLED | TBSTATE_HIDDEN);
        EXPECT_TRUE(toolbar.EnableButton(500, FALSE));
        EXPECT_TRUE(toolbar.SetChecked(500, TRUE));
        EXPECT_EQ(toolbar.GetState(500), TBSTATE_HIDDEN | TBSTATE_CHECKED);
        // No such button: nothing is written.
        EXPECT_FALSE(toolbar.SetChecked(501, TRUE));
        DestroyWindow(toolbar.Handle());
    }
    DestroyWindow(parent.Handle());
}

class VetoingTabs : public TabCtrl {
public:
    LRESULT OnTcnSelChanging(NMHDR*) override {
        ++changing;
        result = 1;
        return 1;
    }
    int changing = 0;
};

TEST_F(WindowTest, CreatingWrappersMakeTheirControlsUnderToolkitClasses) {
    ProbeWindow parent;
    ASSERT_TRUE(CreateToolkitWindow(parent));
    {
        VetoingTabs tabs;
        ASSERT_TRUE(tabs.Create(0, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 100, parent.Handle(),
                                reinterpret_cast<HMENU>(104), GetInstance(), nullptr));
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>("1月");
        EXPECT_EQ(tabs.InsertItem(0, &item), 0);
        item.pszText = const_cast<char*>("2月");
        EXPECT_EQ(tabs.InsertItem(1, &item), 1);
        EXPECT_EQ(tabs.SetCurSel(1), 0);
        EXPECT_EQ(tabs.GetCurSel(), 1);

        // A click on the first tab asks the tab object, which refuses.
        RECT first{};
        ASSERT_TRUE(tabs.GetItemRect(0, &first));
        LPARAM at = MAKELPARAM((first.left + first.right) / 2, (first.top + first.bottom) / 2);
        SendMessageA(tabs.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(tabs.Handle(), WM_LBUTTONUP, 0, at);
        EXPECT_EQ(tabs.changing, 1);
        EXPECT_EQ(tabs.GetCurSel(), 1);

        StatusBarCtrl status;
        ASSERT_TRUE(status.Create(0, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent.Handle(),
                                  reinterpret_cast<HMENU>(105), GetInstance(), nullptr));
        status.SendMessage(SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("準備完了"));
        char text[32] = {};
        status.SendMessage(SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, "準備完了");

        ToolTipCtrl tips;
        ASSERT_TRUE(tips.Create(0, "", WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent.Handle(), nullptr,
                                GetInstance(), nullptr));
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = parent.Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(tabs.Handle());
        tool.lpszText = LPSTR_TEXTCALLBACKA;
        EXPECT_TRUE(tips.AddTool(&tool));
        EXPECT_EQ(tips.SendMessage(TTM_GETTOOLCOUNT, 0, 0), 1);

        for (WindowBase* control : std::initializer_list<WindowBase*>{&tabs, &status, &tips}) {
            char className[64] = {};
            GetClassNameA(control->Handle(), className, sizeof className);
            EXPECT_EQ(std::string(className), static_cast<ControlWindow*>(control)->ClassName());
            EXPECT_EQ(WindowBase::FromHandle(control->Handle()), control);
        }
        DestroyWindow(tips.Handle());
        DestroyWindow(parent.Handle());
    }
}

// ---------------------------------------------------------------------------
// Split window

class SplitFixture : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        frame = std::make_unique<ProbeWindow>();
        ASSERT_TRUE(CreateToolkitWindow(*frame));
        split = new SplitWindow;
        splitOwner.reset(split);
        ASSERT_TRUE(split->Create(0, "QxKit_SplitWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, 400, 300,
                                  frame->Handle(), nullptr, GetInstance(), nullptr));
        auto firstPane = std::make_unique<ProbeWindow>();
        auto secondPane = std::make_unique<ProbeWindow>();
        firstWindow = firstPane->Create(0, "QxKit_Window", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 80, split->Handle(),
                                        nullptr, GetInstance(), nullptr);
        secondWindow = secondPane->Create(0, "QxKit_Window", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                          split->Handle(), nullptr, GetInstance(), nullptr);
        ASSERT_TRUE(firstWindow && secondWindow);
        split->SetFirstPane(std::move(firstPane));
        split->SetSecondPane(std::move(secondPane));
    }
    void TearDown() override {
        DestroyWindow(frame->Handle());
        splitOwner.reset();
        frame.reset();
        WindowTest::TearDown();
    }
    // The pane's rectangle in the split window's client coordinates.
    RECT PaneRect(HWND pane) const {
        RECT rect{};
        GetWindowRect(pane, &rect);
        MapWindowPoints(HWND_DESKTOP, split->Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    void Layout() { SendMessageA(split->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 300)); }

    std::unique_ptr<ProbeWindow> frame;
    SplitWindow* split = nullptr;
    std::unique_ptr<SplitWindow> splitOwner;
    HWND firstWindow = nullptr;
    HWND secondWindow = nullptr;
};

TEST_F(SplitFixture, SideBySideKeepsTheFirstPanesWidthBehindAThreePixelBar) {
    Layout();
    RECT first = PaneRect(firstWindow);
    RECT second = PaneRect(secondWindow);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.right, 100);
    EXPECT_EQ(first.bottom - first.top, 300);
    EXPECT_EQ(second.left, 103);
    EXPECT_EQ(second.right, 400);
    EXPECT_EQ(second.bottom - second.top, 300);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(split->Handle(), GCLP_HCURSOR)),
              LoadCursorA(nullptr, IDC_SIZEWE));
}

TEST_F(SplitFixture, OneAboveTheOtherKeepsTheFirstPanesHeight) {
    EXPECT_EQ(split->SetVertical(0), 1);
    SetWindowPos(firstWindow, nullptr, 0, 0, 100, 80, SWP_NOZORDER | SWP_NOMOVE);
    Layout();
    RECT first = PaneRect(firstWindow);
    RECT second = PaneRect(secondWindow);
    EXPECT_EQ(first.right - first.left, 400);
    EXPECT_EQ(first.bottom, 80);
    EXPECT_EQ(second.top, 83);
    EXPECT_EQ(second.bottom, 300);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(split->Handle(), GCLP_HCURSOR)),
              LoadCursorA(nullptr, IDC_SIZENS));
}

TEST_F(SplitFixture, HiddenFirstPaneGivesTheSecondTheWholeArea) {
    ShowWindow(firstWindow, SW_HIDE);
    Layout();
    RECT second = PaneRect(secondWindow);
    EXPECT_EQ(second.left, 0);
    EXPECT_EQ(second.top, 0);
    EXPECT_EQ(second.right, 400);
    EXPECT_EQ(second.bottom, 300);
}

TEST_F(SplitFixture, DraggingTheBarMovesItOnlyWhileTheButtonIsHeld) {
    Layout();
    HWND handle = split->Handle();
    // Without a press nothing moves.
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 10));
    EXPECT_EQ(PaneRect(firstWindow).right, 100);

    SendMessageA(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(101, 10));
    EXPECT_TRUE(split->Dragging());
    EXPECT_EQ(GetCapture(), handle);
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 10));
    EXPECT_EQ(PaneRect(firstWindow).right, 150);
    EXPECT_EQ(PaneRect(secondWindow).left, 153);
    EXPECT_EQ(PaneRect(secondWindow).right, 400);

    // Moving with the button up changes nothing, even mid-drag.
    SendMessageA(handle, WM_MOUSEMOVE, 0, MAKELPARAM(200, 10));
    EXPECT_EQ(PaneRect(firstWindow).right, 150);

    // Dragged past the left edge: an empty pane, never a negative one.
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, 10));
    EXPECT_EQ(PaneRect(firstWindow).right, 0);
    EXPECT_EQ(PaneRect(secondWindow).left, 3);

    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 10));
    SendMessageA(handle, WM_LBUTTONUP, 0, MAKELPARAM(120, 10));
    EXPECT_FALSE(split->Dragging());
    EXPECT_NE(GetCapture(), handle);
    SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(180, 10));
    EXPECT_EQ(PaneRect(firstWindow).right, 120);
}

}  // namespace
