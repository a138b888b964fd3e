// The client's top-level window: owns the settings, the store of the server's
// data sets, the window tree that shows the month, the menus, the toolbar,
// the status bar and the notification-area icon; carries out every command;
// keeps pane visibility and always-on-top in step between menu, toolbar and
// settings; decides whether closing ends the program or hides it in the tray.
#pragma once

#include "protocol/ChangeTracker.h"
#include "protocol/ScheduleStore.h"
#include "protocol/ServerContext.h"
#include "settings/Settings.h"
#include "shell/CalendarHost.h"
#include "toolkit/Services.h"
#include "toolkit/Window.h"

#include <cstdint>
#include <memory>

class CategoryTree;
class ClientPane;
class MonthTabs;
class MainStatusBar;

// Callback message of the notification-area icon.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;
// A background check of the server's versions has ended (VersionCheck).
inline constexpr UINT WM_VERSIONS_CHECKED = WM_APP + 20;
// The person has come back to the frame (posted on its activation).
inline constexpr UINT WM_CAME_BACK = WM_APP + 21;

class MainFrame : public WindowBase, public ServerContext, public CalendarHost {
public:
    static constexpr const char* kClassName = "RendezClient";
    static constexpr const char* kTitle = "ミモザ手帳 1.1.4";

    // Becomes the global frame.
    MainFrame();
    ~MainFrame() override;

    // ServerContext: the server named by the settings; message boxes over the frame.
    const Settings& ServerSettings() const override { return settings_; }
    HWND MessageOwner() const override { return hwnd; }
    // Changes go out conditional to a server that announced its versions.
    bool TakesConditionalChanges(int dataSet) const override { return store_.TakesConditionalChanges(dataSet); }
    // This client's own change: the next load shows it, and no check before
    // that load may take it for someone else's.
    void ChangeSent(int) const override { changes_.ChangeSent(); }

    Settings& GetSettings() { return settings_; }
    ScheduleStore& Store() override { return store_; }
    ClientPane* Pane() const { return pane_.get(); }
    MainStatusBar* StatusBar() const { return statusBar_.get(); }
    // The tool bar, tree and status bar windows (null before they exist).
    HWND ToolBarWindow() const;
    HWND TreeWindow() const;
    HWND StatusBarWindow() const;
    HWND GridWindow() const;
    // The popup menu 110 (day menu and notification-area menu).
    HMENU PopupMenu() const { return popupMenu_.Handle(); }
    const TrayIcon& Tray() const { return tray_; }

    // Enables or grays command 40005 in the toolbar and the frame menu.
    void SetDaySelected(bool selected) override;
    // Runs the load of `mask` behind the modal progress dialog; returns when
    // it is over. The data sets it loaded no longer count as changed.
    void Reload(uint32_t mask) override;
    // What is known of others' changes not loaded yet.
    const ChangeTracker& Changes() const { return changes_; }
    // Reloads schedules, categories and date information and redraws.
    void Refresh();
    void SetToolBarVisible(bool visible);
    void SetTreeVisible(bool visible);
    void SetStatusBarVisible(bool visible);
    void SetTopMost(bool on);

    // CalendarHost: what the calendar display asks of the frame.
    HWND FrameWindow() const override { return hwnd; }
    void SetStatusText(const std::string& text) override;
    std::unique_ptr<WindowBase> CreateCategoryTree(HWND split, CalendarGrid& grid) override;
    void RebuildCategoryTree() override;
    void UpdateCategoryCounts() override;
    int RunDaySheet(HWND owner, DayCell& day, int startPage) override;

    // The frame's window rectangle when it was last moved or sized while
    // neither minimized nor maximized (as the window is, whatever a WM_SIZE
    // says); false when that never happened.
    bool LastNormalRect(RECT* rect) const;

    LRESULT OnCreate(CREATESTRUCTA* create) override;
    LRESULT OnSize(UINT type, int width, int height) override;
    LRESULT OnMove(int x, int y) override;
    LRESULT OnClose() override;
    // Minimizing with the tray option hides the frame.
    LRESULT OnActivate(WPARAM state, BOOL minimized, HWND self) override;
    LRESULT OnCommand(UINT notifyCode, UINT id, HWND control) override;
    // F5 refreshes; other keys are ignored.
    LRESULT OnKeyDown(WPARAM virtualKey, LPARAM keyData) override;
    // The notification-area icon's callback.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Relayout();
    void RememberNormalRect();
    void SaveOnRealClose();
    void OnTrayNotify(LPARAM mouseMessage);
    // Shows the frame again if it was hidden and activates its modal window.
    void ShowModalInFront();

    // Others' changes: the background checks, the notice in the status bar
    // and the tray's tip, and the refresh when the person comes back.
    bool ServerAnnouncesVersions() const;
    void StartVersionCheck();
    void OnVersionsChecked(uint32_t ticket, LPARAM result);
    void OnCameBack();
    void ShowChangeNotice();
    // Loads what others changed, unless a modal window is up, and puts the
    // focus back where it was.
    void RefreshChanged();

    // Commands whose dialogs live elsewhere: each runs its dialog modally
    // over the frame and then does the frame's part.
    void OpenDaySheet(int startPage);
    void OpenCategoryDialog();
    void OpenSettings();
    void OpenSearch();
    void OpenSupportForum();
    void ShowAbout();
    void ShowMonthStep(UINT command);
    MonthTabs* Tabs() const;

    Settings settings_;
    ScheduleStore store_;
    std::unique_ptr<ClientPane> pane_;
    CategoryTree* tree_ = nullptr;  // owned by the split window
    std::unique_ptr<MainStatusBar> statusBar_;
    TrayIcon tray_;
    Menu popupMenu_;
    RECT lastNormal_{};
    bool hasLastNormal_ = false;
    UINT exitRequested_ = 0;
    // Changed by the protocol clients' ChangeSent, which the day sheet and
    // the category dialog reach through the const ServerContext.
    mutable ChangeTracker changes_;
};

// The one frame of the program, or null before it is constructed.
MainFrame* GetMainFrame();
