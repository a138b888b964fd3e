#include "shell/MainFrame.h"

#include "editing/CategoryDialog.h"
#include "editing/CategoryTree.h"
#include "editing/DateInfoSheet.h"
#include "protocol/ProgressDialog.h"
#include "protocol/SearchDialog.h"
#include "protocol/VersionCheck.h"
#include "resources/Resource.h"
#include "shell/AboutDialog.h"
#include "shell/CalendarGrid.h"
#include "shell/CalendarSplit.h"
#include "shell/ClientPane.h"
#include "shell/FrameRules.h"
#include "shell/MainStatusBar.h"
#include "shell/MainToolBar.h"
#include "shell/MonthTabs.h"
#include "settings/SettingsSheet.h"
#include "toolkit/Application.h"
#include "toolkit/Dialog.h"

#include <shellapi.h>

namespace {

MainFrame* g_mainFrame = nullptr;

// The frame's timer that asks whether a background check is due; the
// tracker keeps the checks at least its interval apart.
constexpr UINT_PTR kChangeCheckTimer = 1;
constexpr UINT kChangeCheckTickMs = 5000;

// The window's own WS_VISIBLE: right while the frame itself is still hidden.
bool HasVisibleStyle(HWND window) {
    return window && (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

// Shows or hides (and enables or disables) a pane. A pane hidden while it or
// one of its children holds the focus hands it to `focusAfter` (the grid):
// left to the system, it would fall to a window that passes no keys on.
void ShowPane(HWND window, bool visible, HWND focusAfter) {
    if (!window) return;
    HWND focus = ::GetFocus();
    const bool hadFocus = !visible && focus && (focus == window || ::IsChild(window, focus));
    ::ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    ::EnableWindow(window, visible);
    if (hadFocus && focusAfter) ::SetFocus(focusAfter);
}

}  // namespace

MainFrame* GetMainFrame() { return g_mainFrame; }

MainFrame::MainFrame() : store_(*this) { g_mainFrame = this; }

MainFrame::~MainFrame() {
    // Children first: their objects may still reach the frame.
    pane_.reset();
    statusBar_.reset();
    if (g_mainFrame == this) g_mainFrame = nullptr;
}

HWND MainFrame::ToolBarWindow() const {
    return pane_ && pane_->ToolBar() ? pane_->ToolBar()->Handle() : nullptr;
}

MonthTabs* MainFrame::Tabs() const { return pane_ ? pane_->Tabs() : nullptr; }

HWND MainFrame::TreeWindow() const {
    MonthTabs* tabs = Tabs();
    if (!tabs || !tabs->Split() || !tabs->Split()->Tree()) return nullptr;
    return tabs->Split()->Tree()->Handle();
}

HWND MainFrame::StatusBarWindow() const { return statusBar_ ? statusBar_->Handle() : nullptr; }

HWND MainFrame::GridWindow() const {
    MonthTabs* tabs = Tabs();
    return tabs && tabs->Grid() ? tabs->Grid()->Handle() : nullptr;
}

bool MainFrame::LastNormalRect(RECT* rect) const {
    if (hasLastNormal_ && rect) *rect = lastNormal_;
    return hasLastNormal_;
}

// ---------------------------------------------------------------------------
// Operations other windows call

void MainFrame::SetDaySelected(bool selected) {
    if (pane_ && pane_->ToolBar()) pane_->ToolBar()->EnableButton(ID_SCHEDULE_NEW, selected);
    ::EnableMenuItem(GetMenu(), ID_SCHEDULE_NEW, MF_BYCOMMAND | (selected ? MF_ENABLED : MF_GRAYED));
}

void MainFrame::Reload(uint32_t mask) {
    MonthTabs* tabs = Tabs();
    if ((mask & LOAD_SCHEDULES) && tabs && tabs->Grid()) tabs->Grid()->KeepOwnCopies();
    changes_.LoadStarted();
    RunLoadWithProgress(store_, hwnd, mask);
    if (changes_.LoadFinished(mask)) ShowChangeNotice();
}

void MainFrame::Refresh() {
    Reload(kLoadRefresh);
    if (MonthTabs* tabs = Tabs()) tabs->Rebuild();
}

void MainFrame::SetStatusText(const std::string& text) {
    if (statusBar_ && statusBar_->Handle()) statusBar_->SetStatusText(text);
}

std::unique_ptr<WindowBase> MainFrame::CreateCategoryTree(HWND split, CalendarGrid& grid) {
    auto tree = std::make_unique<CategoryTree>(store_.categories, settings_, grid, hwnd);
    tree->CreateIn(split);
    tree_ = tree.get();
    return tree;
}

void MainFrame::RebuildCategoryTree() {
    if (tree_) tree_->Rebuild();
}

void MainFrame::UpdateCategoryCounts() {
    if (tree_) tree_->UpdateCounts();
}

int MainFrame::RunDaySheet(HWND owner, DayCell& day, int startPage) {
    DaySheetSource source{day.Date(), day.Schedules(), day.DateInfo(), store_.categories, *this};
    DateInfoSheet sheet(source);
    return sheet.DoModal(owner, startPage) == 1 ? 1 : 0;
}

void MainFrame::SetToolBarVisible(bool visible) {
    ShowPane(ToolBarWindow(), visible, GridWindow());
    Relayout();
    ::CheckMenuItem(GetMenu(), ID_VIEW_TOOLBAR, MF_BYCOMMAND | (visible ? MF_CHECKED : MF_UNCHECKED));
}

void MainFrame::SetTreeVisible(bool visible) {
    ShowPane(TreeWindow(), visible, GridWindow());
    Relayout();
    if (pane_ && pane_->ToolBar()) pane_->ToolBar()->SetChecked(ID_VIEW_CATEGORY_TREE, visible);
    ::CheckMenuItem(GetMenu(), ID_VIEW_CATEGORY_TREE, MF_BYCOMMAND | (visible ? MF_CHECKED : MF_UNCHECKED));
}

void MainFrame::SetStatusBarVisible(bool visible) {
    if (pane_ && pane_->ToolBar()) pane_->ToolBar()->SetChecked(ID_VIEW_STATUSBAR, visible);
    ShowPane(StatusBarWindow(), visible, GridWindow());
    Relayout();
    ::CheckMenuItem(GetMenu(), ID_VIEW_STATUSBAR, MF_BYCOMMAND | (visible ? MF_CHECKED : MF_UNCHECKED));
}

void MainFrame::SetTopMost(bool on) {
    SetWindowPos(on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    const UINT check = MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED);
    ::CheckMenuItem(GetMenu(), ID_VIEW_TOPMOST, check);
    popupMenu_.CheckMenuItem(ID_VIEW_TOPMOST, check);
}

void MainFrame::Relayout() {
    SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(), ClientHeight()));
}

// ---------------------------------------------------------------------------
// Creation and layout

LRESULT MainFrame::OnCreate(CREATESTRUCTA*) {
    settings_.Load();
    // The first server check and the whole load happen before any child exists.
    Reload(kLoadEverything);

    pane_ = std::make_unique<ClientPane>(*this);
    pane_->CreateIn(hwnd);
    statusBar_ = std::make_unique<MainStatusBar>();
    statusBar_->CreateIn(hwnd);

    tray_.data.hWnd = hwnd;
    tray_.data.uID = 0;
    tray_.data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray_.data.uCallbackMessage = WM_TRAYNOTIFY;
    // The icon's own small image, not its large one shrunk by the shell.
    tray_.data.hIcon = static_cast<HICON>(LoadImageA(GetInstance(), MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                     LR_SHARED));
    tray_.SetTip(GetText());
    if (settings_.dwParam1 & P1_USE_TRAY) tray_.Add();

    SetStatusBarVisible((settings_.dwParam1 & P1_SHOW_STATUSBAR) != 0);
    SetToolBarVisible((settings_.dwParam1 & P1_SHOW_TOOLBAR) != 0);
    SetTreeVisible((settings_.dwParam1 & P1_SHOW_CATEGORY_TREE) != 0);

    popupMenu_.LoadMenu(GetInstance(), MAKEINTRESOURCEA(IDR_POPUP));
    SetTopMost((settings_.dwParam1 & P1_TOPMOST) != 0);
    // The first check comes a whole interval after the first load.
    changes_.WaitFrom(::GetTickCount());
    ::SetTimer(hwnd, kChangeCheckTimer, kChangeCheckTickMs, nullptr);
    return 0;
}

void MainFrame::RememberNormalRect() {
    ::GetWindowRect(hwnd, &lastNormal_);
    hasLastNormal_ = true;
}

LRESULT MainFrame::OnSize(UINT type, int width, int height) {
    width &= 0xFFFF;
    height &= 0xFFFF;
    // The window's own state, not the message's type: the re-layout after a
    // pane toggle sends SIZE_RESTORED while the frame is maximized.
    if (!IsIconic() && !IsZoomed()) RememberNormalRect();
    HWND statusBar = StatusBarWindow();
    const bool statusShown = HasVisibleStyle(statusBar);
    const int statusHeight = statusShown ? statusBar_->WindowHeight() : 0;
    const int paneHeight = height > statusHeight ? height - statusHeight : 0;
    if (pane_ && pane_->Handle()) {
        pane_->SetWindowPos(nullptr, 0, 0, width, paneHeight, SWP_NOZORDER);
        pane_->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, paneHeight));
    }
    if (statusBar_ && statusBar_->Handle()) statusBar_->LayOut(width);
    if (statusShown) {
        statusBar_->SendMessage(WM_SIZE, type, MAKELPARAM(width, height));
        statusBar_->InvalidateRect(nullptr, TRUE);
    }
    return 0;
}

LRESULT MainFrame::OnMove(int, int) {
    if (IsWindowVisible() && !IsIconic() && !IsZoomed()) RememberNormalRect();
    return 0;
}

// ---------------------------------------------------------------------------
// Closing and the notification area

LRESULT MainFrame::OnClose() {
    const bool ctrlDown = GetKeyState(VK_CONTROL) < 0;
    if (ClosesToTray(settings_.dwParam1, ctrlDown, exitRequested_ != 0)) {
        // Hide at once as well: a desktop that reports no deactivation for
        // the minimizing would otherwise leave the frame on the taskbar.
        ShowWindow(SW_MINIMIZE);
        ShowWindow(SW_HIDE);
        return 1;
    }
    SaveOnRealClose();
    ::KillTimer(hwnd, kChangeCheckTimer);
    tray_.Delete();
    return 0;
}

void MainFrame::SaveOnRealClose() {
    StorePlacement(settings_, hasLastNormal_ ? &lastNormal_ : nullptr);
    PaneStates panes;
    panes.toolBar = ToolBarWindow() && ::IsWindowEnabled(ToolBarWindow());
    panes.tree = TreeWindow() && ::IsWindowEnabled(TreeWindow());
    panes.statusBar = StatusBarWindow() && ::IsWindowEnabled(StatusBarWindow());
    panes.topMost = (popupMenu_.GetItemState(ID_VIEW_TOPMOST, FALSE) & MFS_CHECKED) != 0;
    settings_.dwParam1 = WithPaneBits(settings_.dwParam1, panes);
    settings_.Save();
}

LRESULT MainFrame::OnActivate(WPARAM state, BOOL minimized, HWND) {
    // Only the deactivation that minimizing brings: a minimized frame being
    // activated is on its way back from the tray.
    if (LOWORD(state) == WA_INACTIVE && minimized && (settings_.dwParam1 & P1_USE_TRAY)) ShowWindow(SW_HIDE);
    // Handled once the activation, and a restore that comes with it, is over.
    if (LOWORD(state) != WA_INACTIVE) PostMessage(WM_CAME_BACK, 0, 0);
    return 0;
}

LRESULT MainFrame::OnMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TRAYNOTIFY: OnTrayNotify(lParam); break;
    case WM_TIMER:
        if (wParam == kChangeCheckTimer && ServerAnnouncesVersions() && changes_.MayCheck(::GetTickCount())) {
            StartVersionCheck();
        }
        break;
    case WM_VERSIONS_CHECKED: OnVersionsChecked(static_cast<uint32_t>(wParam), lParam); break;
    case WM_CAME_BACK: OnCameBack(); break;
    default: break;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Others' changes

bool MainFrame::ServerAnnouncesVersions() const {
    // A server that announced no version when the data were loaded would
    // not know the question either.
    int64_t loaded[3];
    store_.LoadedVersions(loaded);
    return loaded[0] >= 0 || loaded[1] >= 0 || loaded[2] >= 0;
}

void MainFrame::StartVersionCheck() {
    const uint32_t ticket = changes_.CheckStarted(::GetTickCount());
    // Without a thread the check counts as gone out: the next one is due an
    // interval later, as after a server that did not answer.
    ::StartVersionCheck(settings_.szAddress, settings_.dwPortNo, hwnd, WM_VERSIONS_CHECKED, ticket);
}

void MainFrame::OnVersionsChecked(uint32_t ticket, LPARAM lParam) {
    std::unique_ptr<VersionCheckResult> result(reinterpret_cast<VersionCheckResult*>(lParam));
    int64_t loaded[3];
    store_.LoadedVersions(loaded);
    const bool answered = result && result->answered;
    if (changes_.CheckEnded(ticket, answered ? result->versions : nullptr, loaded)) ShowChangeNotice();
    if (changes_.RefreshAfterCheck(::GetTickCount())) RefreshChanged();
}

void MainFrame::OnCameBack() {
    // Not under a modal window (nobody's editing is reloaded away), nor
    // while the frame is still minimized or hidden.
    if (!IsWindowEnabled() || IsIconic() || !IsWindowVisible() || !ServerAnnouncesVersions()) return;
    switch (changes_.CameBack(::GetTickCount())) {
    case ChangeTracker::ComeBack::kRefresh: RefreshChanged(); break;
    case ChangeTracker::ComeBack::kCheck: StartVersionCheck(); break;
    case ChangeTracker::ComeBack::kNothing: break;
    }
}

void MainFrame::RefreshChanged() {
    const uint32_t mask = changes_.RefreshMask();
    if (mask == 0 || !IsWindowEnabled() || ::GetActiveWindow() != hwnd) return;
    HWND focus = ::GetFocus();
    Reload(mask);
    if (MonthTabs* tabs = Tabs()) tabs->Rebuild();
    if (focus && ::IsWindow(focus) && ::IsWindowVisible(focus) && ::GetActiveWindow() == hwnd) ::SetFocus(focus);
}

void MainFrame::ShowChangeNotice() {
    const bool notice = changes_.Notice();
    if (statusBar_) statusBar_->SetNotice(notice ? kTextChangedElsewhere : "");
    // The tip says it too, for a frame hidden in the tray.
    tray_.SetTip(notice ? std::string(kTextChangedElsewhere) : GetText());
    if (settings_.dwParam1 & P1_USE_TRAY) tray_.Modify();
}

void MainFrame::OnTrayNotify(LPARAM mouseMessage) {
    // A disabled frame has a modal window up: the icon neither hides the frame
    // nor offers its menu (exiting would destroy the frame under the dialog),
    // it only brings the dialog back to the front.
    if (!IsWindowEnabled()) {
        const UINT mouse = static_cast<UINT>(mouseMessage);
        if (mouse == WM_LBUTTONDBLCLK || mouse == WM_RBUTTONUP) ShowModalInFront();
        return;
    }
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
        if (IsWindowVisible()) {
            ShowWindow(SW_MINIMIZE);
            ShowWindow(SW_HIDE);
        } else {
            ShowWindow(SW_MINIMIZE);
            ShowWindow(SW_SHOW);
            ShowWindow(SW_RESTORE);
            SetForegroundWindow();
        }
        break;
    case WM_RBUTTONUP: {
        SetForegroundWindow();
        Point cursor;
        cursor.GetCursorPos();
        Menu trayMenu;
        trayMenu.GetSubMenu(popupMenu_.Handle(), 1);
        trayMenu.TrackPopupMenu(TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd, nullptr);
        // Lets the menu close when the user clicks elsewhere.
        PostMessage(WM_NULL, 0, 0);
        break;
    }
    default:
        break;
    }
}

void MainFrame::ShowModalInFront() {
    if (!IsWindowVisible()) ShowWindow(SW_SHOW);
    if (IsIconic()) ShowWindow(SW_RESTORE);
    HWND modal = ShownModalWindow();
    ::SetForegroundWindow(modal ? modal : ::GetLastActivePopup(hwnd));
}

// ---------------------------------------------------------------------------
// Commands and keys

LRESULT MainFrame::OnKeyDown(WPARAM virtualKey, LPARAM) {
    if (virtualKey == VK_F5) Refresh();
    return 0;
}

LRESULT MainFrame::OnCommand(UINT, UINT id, HWND) {
    switch (id) {
    case ID_FILE_PRINT:
    case ID_DAY_PROPERTIES:
        break;  // no behaviour; grayed in the menus
    case ID_APP_EXIT:
        exitRequested_ = ID_APP_EXIT;
        SendMessage(WM_CLOSE, 0, 0);
        break;
    case ID_SCHEDULE_NEW:
        OpenDaySheet(0);
        break;
    case ID_DAY_HOLIDAY:
        OpenDaySheet(1);
        break;
    case ID_CATEGORY_REGISTER:
        OpenCategoryDialog();
        break;
    case ID_SETTINGS:
        OpenSettings();
        break;
    case ID_VIEW_TOOLBAR:
        SetToolBarVisible(!HasVisibleStyle(ToolBarWindow()));
        break;
    case ID_VIEW_CATEGORY_TREE:
        SetTreeVisible(!HasVisibleStyle(TreeWindow()));
        break;
    case ID_VIEW_STATUSBAR:
        SetStatusBarVisible(!HasVisibleStyle(StatusBarWindow()));
        break;
    case ID_VIEW_TOPMOST:
        SetTopMost((popupMenu_.GetItemState(ID_VIEW_TOPMOST, FALSE) & MFS_CHECKED) == 0);
        break;
    case ID_VIEW_PREVIOUS_YEAR:
    case ID_VIEW_PREVIOUS_MONTH:
    case ID_VIEW_TODAY:
    case ID_VIEW_NEXT_MONTH:
    case ID_VIEW_NEXT_YEAR:
        ShowMonthStep(id);
        break;
    case ID_VIEW_REFRESH:
        Refresh();
        break;
    case ID_TOOLS_SEARCH:
        OpenSearch();
        break;
    case ID_TOOLS_SUPPORT_FORUM:
        OpenSupportForum();
        break;
    case ID_APP_ABOUT:
        ShowAbout();
        break;
    default:
        return 0;
    }
    return 1;
}

void MainFrame::OpenDaySheet(int startPage) {
    MonthTabs* tabs = Tabs();
    if (tabs && tabs->Grid()) tabs->Grid()->OpenDaySheet(startPage);
}

void MainFrame::OpenCategoryDialog() {
    CategoryDialog dialog(store_.categories, *this);
    if (dialog.DoModal(hwnd) != IDOK) return;
    // The genres as the server now holds them (and the schedules, when they
    // may name a renamed or deleted genre); the tree and the grid are rebuilt
    // and drop every pointer into the old records.
    Reload(dialog.ReloadMask());
    if (MonthTabs* tabs = Tabs()) tabs->Rebuild();
}

void MainFrame::OpenSettings() {
    SettingsSheet sheet(settings_);
    sheet.DoModal(hwnd);
    // However the sheet was closed, the tray follows the settings.
    if (settings_.dwParam1 & P1_USE_TRAY) {
        tray_.Add();
    } else {
        tray_.Delete();
    }
}

void MainFrame::OpenSearch() { RunSearch(hwnd, store_.categories, *this); }

void MainFrame::ShowMonthStep(UINT command) {
    MonthTabs* tabs = Tabs();
    if (!tabs) return;
    switch (command) {
    case ID_VIEW_PREVIOUS_YEAR: tabs->PreviousYear(); break;
    case ID_VIEW_PREVIOUS_MONTH: tabs->PreviousMonth(); break;
    case ID_VIEW_TODAY: tabs->Today(); break;
    case ID_VIEW_NEXT_MONTH: tabs->NextMonth(); break;
    case ID_VIEW_NEXT_YEAR: tabs->NextYear(); break;
    default: break;
    }
}

void MainFrame::OpenSupportForum() {
    const char* address = SupportForumAddress();
    if (*address == '\0') {
        // A made-up address would open a browser on a page that never loads.
        MessageBox(kTextNoSupportForum, "ｻﾎﾟｰﾄ掲示板", MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void MainFrame::ShowAbout() {
    AboutDialog about;
    about.DoModal(GetInstance(), MAKEINTRESOURCEA(IDD_ABOUT), hwnd);
}
