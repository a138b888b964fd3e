// The running client against the real calendar server: the start-up load
// behind its progress dialog, the frame's panes, tray and closing with the
// settings they leave behind (frames made in this process, as the client
// makes them), and the client's executable for single instance, the
// uninstall switch and exit codes.
#include "protocol/ProgressDialog.h"
#include "resources/Resource.h"
#include "settings/Settings.h"
#include "shell/CalendarApp.h"
#include "shell/CalendarGrid.h"
#include "shell/FrameRules.h"
#include "shell/MainFrame.h"
#include "shell/MainToolBar.h"
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TestServerContext.h"
#include "tests/support/WindowTestSupport.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

using window_test::PumpUntil;

namespace {

const char kDataKey[] = "Software\\Sorano\\Mimosa";
const char kMakerKey[] = "Software\\Sorano";

bool KeyExists(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(const char* path) {
    if (!KeyExists(path)) return;
    RegKey key;
    key.CreateKey(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE);
    key.DeleteTree();
}

// Points the client's settings at `port` on loopback; other values as given.
void WriteSettings(unsigned short port, const std::vector<std::pair<const char*, DWORD>>& numbers = {}) {
    RegKey key;
    key.CreateKey(HKEY_CURRENT_USER, kDataKey, KEY_READ | KEY_WRITE);
    key.WriteString("szAddress", "127.0.0.1");
    key.WriteDword("dwPortNo", port);
    for (const auto& [name, value] : numbers) key.WriteDword(name, value);
}

std::unique_ptr<Settings> SavedSettings() {
    auto settings = std::make_unique<Settings>();
    settings->Load();
    return settings;
}

// Texts written into the progress dialog's status line, and every way a user
// tries to close it (Esc, Alt+F4, the system menu's close, WM_CLOSE) at its
// first texts, seen from this thread's window procedures.
struct ProgressWatch {
    static inline std::vector<std::string> texts;
    static inline bool pressEscape = false;
    static inline int cancelCommands = 0;
    static inline HHOOK hook = nullptr;

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        auto* message = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_SETTEXT &&
            GetDlgCtrlID(message->hwnd) == IDC_PROGRESS_STATUS) {
            texts.emplace_back(reinterpret_cast<const char*>(message->lParam));
            if (pressEscape && texts.size() <= 3) {
                HWND dialog = GetParent(message->hwnd);
                PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                // Alt held: the context bit 29.
                PostMessageA(dialog, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
                PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            }
        }
        if (code == HC_ACTION && message->message == WM_COMMAND && LOWORD(message->wParam) == IDCANCEL) {
            ++cancelCommands;
        }
        return CallNextHookEx(hook, code, wParam, lParam);
    }
    explicit ProgressWatch(bool escape) {
        texts.clear();
        pressEscape = escape;
        cancelCommands = 0;
        hook = SetWindowsHookExA(WH_CALLWNDPROC, &Hook, nullptr, GetCurrentThreadId());
    }
    ~ProgressWatch() { UnhookWindowsHookEx(hook); }
};

const std::vector<std::string> kFullLoadTexts = {
    "サーバーとの接続を確認中...",   "サーバーとの接続を確認中... 完了",
    "スケジュール を取得中...",       "スケジュール を取得中... 完了",
    "スケジュール区分 を取得中...",   "スケジュール区分 を取得中... 完了",
    "祝日マスタ を取得中...",         "祝日マスタ を取得中... 完了",
};

// The request kinds in the server's log, in order ("HELLO", "GET 1", ...).
std::vector<std::string> RequestsLogged(const std::string& log, size_t from) {
    std::vector<std::string> requests;
    size_t position = from;
    while (true) {
        size_t end = log.find('\n', position);
        if (end == std::string::npos) break;
        std::string line = log.substr(position, end - position);
        position = end + 1;
        for (const char* kind : {" HELLO ", " GET 1 ", " GET 2 ", " GET 3 "}) {
            if (line.find(kind) != std::string::npos) requests.emplace_back(std::string(kind + 1, strlen(kind) - 2));
        }
    }
    return requests;
}

bool MenuChecked(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
bool MenuGrayed(HMENU menu, UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
int ButtonState(HWND toolBar, int id) { return static_cast<int>(SendMessageA(toolBar, TB_GETSTATE, id, 0)); }
bool HasStyle(HWND window, LONG_PTR style) { return (GetWindowLongPtrA(window, GWL_STYLE) & style) == style; }

// Writes what the screen shows of `window` into a 24-bit BMP; returns the
// number of distinct colours seen.
size_t SaveScreenshot(HWND window, const std::string& path) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = (width * 3 + 3) & ~3;
    const DWORD size = stride * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    std::ofstream out(WindowsPathOf(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    std::set<DWORD> colours;
    const auto* bytes = static_cast<const BYTE*>(bits);
    for (int y = 0; y < height; y += 3) {
        for (int x = 0; x < width; x += 3) {
            const BYTE* p = bytes + y * stride + x * 3;
            colours.insert(p[0] | (p[1] << 8) | (p[2] << 16));
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colours.size();
}

// A client application in this process, as the executable runs it up to
// its message loop.
class InProcessClient {
public:
    InProcessClient() : app_(std::make_unique<CalendarApp>()) {
        app_->Initialize(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
    }
    ~InProcessClient() {
        if (Frame() && IsWindow(Window())) {
            SetCtrl(true);
            SendMessageA(Window(), WM_CLOSE, 0, 0);
            SetCtrl(false);
        }
        window_test::TakeQuitMessage();
        app_.reset();
        UnregisterClassA(CalendarApp::kInstanceName, GetModuleHandleA(nullptr));
    }

    int Start() {
        int code = app_->StartFrame();
        window_test::PumpUntil([] { return false; }, std::chrono::milliseconds(200));
        return code;
    }
    CalendarApp& App() { return *app_; }
    MainFrame* Frame() const { return app_->Frame(); }
    HWND Window() const { return Frame()->Handle(); }
    HWND ToolBar() const { return Frame()->ToolBarWindow(); }
    HMENU FrameMenu() const { return GetMenu(Window()); }
    void Command(UINT id) { SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    static void SetCtrl(bool down) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    }

private:
    std::unique_ptr<CalendarApp> app_;
};

class ShellTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new CalendarServerProcess({{"demo"}}); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(server_->Port(), 0) << server_->Log();
        DeleteKeyTree(kMakerKey);
    }
    void TearDown() override { DeleteKeyTree(kMakerKey); }

    static inline CalendarServerProcess* server_ = nullptr;
    window_test::ModalWatchdog watchdog_{60000};
};

TEST_F(ShellTest, StartUpLoadsEverythingInOrderAndNoCloseEndsItsProgress) {
    WriteSettings(server_->Port());
    MessageBoxRecorder boxes;
    const size_t logBefore = server_->Log().size();
    InProcessClient client;
    {
        ProgressWatch watch(true);
        ASSERT_EQ(client.Start(), 0);
        // A dialog closed early would have missed the later steps' texts.
        EXPECT_EQ(ProgressWatch::texts, kFullLoadTexts);
        EXPECT_GE(ProgressWatch::cancelCommands, 1) << "Esc never reached the progress dialog";
    }
    EXPECT_FALSE(window_test::ModalWatchdog::Fired());
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_EQ(RequestsLogged(server_->Log(), logBefore),
              (std::vector<std::string>{"HELLO", "GET 1", "GET 2", "GET 3"}));
    ScheduleStore& store = client.Frame()->Store();
    EXPECT_EQ(store.schedules.records.size(), 300u);
    EXPECT_FALSE(store.categories.records.empty());
    EXPECT_FALSE(store.dateInfo.records.empty());

    // The window tree under the frame, and the defaults' panes.
    HWND frame = client.Window();
    EXPECT_TRUE(IsWindowVisible(frame));
    HWND pane = GetDlgItem(frame, 3);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(GetDlgItem(pane, 2), client.ToolBar());
    HWND tabs = GetDlgItem(pane, 4);
    ASSERT_NE(tabs, nullptr);
    EXPECT_NE(GetDlgItem(GetDlgItem(tabs, 100), 1), nullptr);
    EXPECT_TRUE(IsWindowVisible(client.ToolBar()));
    EXPECT_TRUE(IsWindowVisible(client.Frame()->StatusBarWindow()));
    EXPECT_FALSE(IsWindowVisible(client.Frame()->TreeWindow()));
    EXPECT_EQ(SendMessageA(client.ToolBar(), TB_BUTTONCOUNT, 0, 0), 17);
    EXPECT_NE(SendMessageA(client.ToolBar(), TB_GETTOOLTIPS, 0, 0), 0);
    EXPECT_EQ(client.Frame()->Tray().data.uCallbackMessage, WM_USER + 100u);
    EXPECT_STREQ(client.Frame()->Tray().data.szTip, MainFrame::kTitle);

    // The grid selected its first day while it was made: 40005 is enabled;
    // the frame grays and enables it in toolbar and menu alike.
    EXPECT_TRUE(ButtonState(client.ToolBar(), ID_SCHEDULE_NEW) & TBSTATE_ENABLED);
    EXPECT_FALSE(MenuGrayed(client.FrameMenu(), ID_SCHEDULE_NEW));
    client.Frame()->SetDaySelected(false);
    EXPECT_FALSE(ButtonState(client.ToolBar(), ID_SCHEDULE_NEW) & TBSTATE_ENABLED);
    EXPECT_TRUE(MenuGrayed(client.FrameMenu(), ID_SCHEDULE_NEW));
    client.Frame()->SetDaySelected(true);
    EXPECT_TRUE(ButtonState(client.ToolBar(), ID_SCHEDULE_NEW) & TBSTATE_ENABLED);
    EXPECT_FALSE(MenuGrayed(client.FrameMenu(), ID_SCHEDULE_NEW));

    // F5 refreshes: schedules, categories and date information, no check.
    const size_t logBeforeRefresh = server_->Log().size();
    SendMessageA(frame, WM_KEYDOWN, VK_F5, 0);
    EXPECT_TRUE(PumpUntil([&] { return RequestsLogged(server_->Log(), logBeforeRefresh).size() == 3; }));
    EXPECT_EQ(RequestsLogged(server_->Log(), logBeforeRefresh),
              (std::vector<std::string>{"GET 1", "GET 2", "GET 3"}));

    const std::string shot = std::string(RDZ_TEST_TMP) + "/client-after-start-up.bmp";
    CreateDirectoryA(WindowsPathOf(RDZ_TEST_TMP).c_str(), nullptr);
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_GT(SaveScreenshot(frame, shot), 8u);
    std::printf("screenshot of the client: %s\n", shot.c_str());
}

TEST_F(ShellTest, UnreachableServerShowsOneMessageAndTheFrameStillComesUp) {
    // Port 1 on loopback: nothing listens, the server check fails at once.
    WriteSettings(1);
    MessageBoxRecorder boxes;
    InProcessClient client;
    ProgressWatch watch(false);
    ASSERT_EQ(client.Start(), 0);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, "Connect失敗");
    EXPECT_EQ(boxes.Shown()[0].owner, client.Window());
    EXPECT_EQ(ProgressWatch::texts,
              (std::vector<std::string>{"サーバーとの接続を確認中...", "サーバーとの接続を確認中... 完了"}));
    EXPECT_FALSE(window_test::ModalWatchdog::Fired());
    EXPECT_TRUE(IsWindowVisible(client.Window()));
    EXPECT_TRUE(client.Frame()->Store().schedules.records.empty());
    EXPECT_NE(client.ToolBar(), nullptr);
}

// A load whose worker thread cannot start.
class UnstartableLoad : public ProgressDialog {
public:
    using ProgressDialog::ProgressDialog;

protected:
    HANDLE StartWorker() override {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
};

TEST_F(ShellTest, ALoadWhoseThreadCannotStartSaysSoAndItsDialogCloses) {
    MessageBoxRecorder boxes;
    TestServerContext context("127.0.0.1", server_->Port());
    ScheduleStore store(context);
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    UnstartableLoad dialog(store);
    EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), owner), 0);
    // The dialog was the process's first window object: its end posted WM_QUIT.
    window_test::TakeQuitMessage();
    EXPECT_FALSE(window_test::ModalWatchdog::Fired()) << "the dialog stayed up";
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, kCaptionThreadStart);
    EXPECT_EQ(boxes.Shown()[0].text.rfind(std::string(kTextThreadStart) + "\n", 0), 0u) << boxes.Shown()[0].text;
    EXPECT_GT(boxes.Shown()[0].text.size(), std::strlen(kTextThreadStart) + 1) << "no reason given";
    EXPECT_EQ(boxes.Shown()[0].owner, dialog.Handle());
    EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner stays disabled";
    DestroyWindow(owner);
}

TEST_F(ShellTest, PanesTrayAndClosingKeepSettingsInStep) {
    WriteSettings(server_->Port());
    const RECT placed{40, 30, 40 + 700, 30 + 500};
    {
        InProcessClient client;
        ASSERT_EQ(client.Start(), 0);
        HWND frame = client.Window();
        HWND toolBar = client.ToolBar();
        HMENU menu = client.FrameMenu();
        HMENU popup = client.Frame()->PopupMenu();

        // The grid's day menu: プロパティ is its default (bold) item, grayed.
        auto* grid = dynamic_cast<CalendarGrid*>(WindowBase::FromHandle(client.Frame()->GridWindow()));
        ASSERT_NE(grid, nullptr);
        HMENU days = GetSubMenu(grid->DayMenu(), 0);
        ASSERT_NE(days, nullptr);
        EXPECT_EQ(GetMenuDefaultItem(days, FALSE, GMDI_USEDISABLED), static_cast<UINT>(ID_DAY_PROPERTIES));
        EXPECT_TRUE(GetMenuState(days, ID_DAY_PROPERTIES, MF_BYCOMMAND) & MF_GRAYED);

        // Defaults: toolbar and status bar shown, tree hidden, not topmost.
        EXPECT_TRUE(MenuChecked(menu, ID_VIEW_TOOLBAR));
        EXPECT_TRUE(MenuChecked(menu, ID_VIEW_STATUSBAR));
        EXPECT_FALSE(MenuChecked(menu, ID_VIEW_CATEGORY_TREE));
        EXPECT_TRUE(ButtonState(toolBar, ID_VIEW_STATUSBAR) & TBSTATE_CHECKED);
        EXPECT_FALSE(ButtonState(toolBar, ID_VIEW_CATEGORY_TREE) & TBSTATE_CHECKED);
        EXPECT_FALSE(MenuChecked(popup, ID_VIEW_TOPMOST));

        // Toggles through menu and toolbar commands.
        client.Command(ID_VIEW_CATEGORY_TREE);
        client.Command(ID_VIEW_TOOLBAR);
        client.Command(ID_VIEW_STATUSBAR);
        client.Command(ID_VIEW_STATUSBAR);
        client.Command(ID_VIEW_TOPMOST);
        HWND tree = client.Frame()->TreeWindow();
        EXPECT_TRUE(HasStyle(tree, WS_VISIBLE) && IsWindowEnabled(tree));
        // Hidden while it has the focus, the tree hands it to the grid, which
        // takes the keys; shown again, it leaves the focus where it is.
        SetFocus(tree);
        ASSERT_EQ(GetFocus(), tree);
        client.Command(ID_VIEW_CATEGORY_TREE);
        EXPECT_EQ(GetFocus(), client.Frame()->GridWindow());
        client.Command(ID_VIEW_CATEGORY_TREE);
        EXPECT_EQ(GetFocus(), client.Frame()->GridWindow());
        EXPECT_TRUE(MenuChecked(menu, ID_VIEW_CATEGORY_TREE));
        EXPECT_TRUE(ButtonState(toolBar, ID_VIEW_CATEGORY_TREE) & TBSTATE_CHECKED);
        EXPECT_FALSE(HasStyle(toolBar, WS_VISIBLE) || IsWindowEnabled(toolBar));
        EXPECT_FALSE(MenuChecked(menu, ID_VIEW_TOOLBAR));
        EXPECT_TRUE(MenuChecked(menu, ID_VIEW_STATUSBAR));
        EXPECT_TRUE(ButtonState(toolBar, ID_VIEW_STATUSBAR) & TBSTATE_CHECKED);
        EXPECT_TRUE(MenuChecked(menu, ID_VIEW_TOPMOST));
        EXPECT_TRUE(MenuChecked(popup, ID_VIEW_TOPMOST));
        EXPECT_TRUE(GetWindowLongPtrA(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
        // Without the toolbar the month tabs start at the top of the pane.
        RECT tabs{};
        GetWindowRect(GetDlgItem(GetDlgItem(frame, 3), 4), &tabs);
        POINT paneOrigin{0, 0};
        ClientToScreen(GetDlgItem(frame, 3), &paneOrigin);
        EXPECT_EQ(tabs.top, paneOrigin.y);

        // Placement, then maximize: the rectangle from before is the one kept.
        SetWindowPos(frame, nullptr, placed.left, placed.top, placed.right - placed.left,
                     placed.bottom - placed.top, SWP_NOZORDER);
        ShowWindow(frame, SW_MAXIMIZE);
        window_test::PumpPending();

        // This build names no support forum: a message instead of a browser
        // on a dead address.
        {
            MessageBoxRecorder boxes;
            client.Command(ID_TOOLS_SUPPORT_FORUM);
            ASSERT_EQ(boxes.Shown().size(), 1u);
            EXPECT_EQ(boxes.Shown()[0].text, kTextNoSupportForum);
            EXPECT_EQ(boxes.Shown()[0].caption, "ｻﾎﾟｰﾄ掲示板");
            EXPECT_EQ(boxes.Shown()[0].owner, frame);
        }

        // The close button with the defaults hides the frame instead.
        SendMessageA(frame, WM_CLOSE, 0, 0);
        window_test::PumpPending();
        EXPECT_TRUE(IsWindow(frame));
        EXPECT_TRUE(IsIconic(frame));
        EXPECT_FALSE(window_test::TakeQuitMessage());
        // The deactivation that minimizing brings (Xvfb has no window manager
        // to activate the frame first) hides it in the tray.
        SendMessageA(frame, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
        EXPECT_FALSE(IsWindowVisible(frame));
        EXPECT_EQ(SavedSettings()->dwWindowLeft, Settings::kDefaultPlacement);

        // Tray double-click restores it.
        SendMessageA(frame, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(frame) && !IsIconic(frame); }, std::chrono::seconds(5)))
            << IsWindowVisible(frame) << IsIconic(frame);

        // Ctrl with the close button really closes and saves.
        InProcessClient::SetCtrl(true);
        SendMessageA(frame, WM_CLOSE, 0, 0);
        InProcessClient::SetCtrl(false);
        EXPECT_FALSE(IsWindow(frame));
        EXPECT_TRUE(window_test::TakeQuitMessage());
    }
    std::unique_ptr<Settings> saved = SavedSettings();
    EXPECT_EQ(saved->dwWindowLeft, placed.left);
    EXPECT_EQ(saved->dwWindowTop, placed.top);
    EXPECT_EQ(saved->dwWindowWidth, placed.right - placed.left);
    EXPECT_EQ(saved->dwWindowHeight, placed.bottom - placed.top);
    EXPECT_EQ(saved->dwParam1, (Settings::kDefaultParam1 & ~DWORD{P1_SHOW_TOOLBAR}) | P1_SHOW_CATEGORY_TREE | P1_TOPMOST);

    // The next start comes back as it was left; the exit command closes for
    // real although the tray options are on, also while minimized.
    {
        InProcessClient client;
        ASSERT_EQ(client.Start(), 0);
        HWND frame = client.Window();
        RECT rect{};
        GetWindowRect(frame, &rect);
        EXPECT_EQ(rect.left, placed.left);
        EXPECT_EQ(rect.top, placed.top);
        EXPECT_EQ(rect.right, placed.right);
        EXPECT_EQ(rect.bottom, placed.bottom);
        EXPECT_FALSE(HasStyle(client.ToolBar(), WS_VISIBLE));
        EXPECT_TRUE(HasStyle(client.Frame()->TreeWindow(), WS_VISIBLE));
        EXPECT_TRUE(MenuChecked(client.FrameMenu(), ID_VIEW_CATEGORY_TREE));
        EXPECT_TRUE(MenuChecked(client.Frame()->PopupMenu(), ID_VIEW_TOPMOST));
        EXPECT_TRUE(GetWindowLongPtrA(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);

        SetWindowPos(frame, nullptr, 60, 50, 640, 480, SWP_NOZORDER);
        client.Command(ID_VIEW_TOOLBAR);
        client.Command(ID_VIEW_TOPMOST);
        ShowWindow(frame, SW_MINIMIZE);
        window_test::PumpPending();
        client.Command(ID_APP_EXIT);
        EXPECT_FALSE(IsWindow(frame));
    }
    saved = SavedSettings();
    EXPECT_EQ(saved->dwWindowLeft, 60);
    EXPECT_EQ(saved->dwWindowTop, 50);
    EXPECT_EQ(saved->dwWindowWidth, 640);
    EXPECT_EQ(saved->dwWindowHeight, 480);
    EXPECT_EQ(saved->dwParam1, Settings::kDefaultParam1 | P1_SHOW_CATEGORY_TREE);

    // With the close-to-tray option but no tray icon, the close button ends
    // the program.
    WriteSettings(server_->Port(), {{"dwParam1", P1_CLOSE_TO_TRAY | P1_SHOW_TOOLBAR}});
    {
        InProcessClient client;
        ASSERT_EQ(client.Start(), 0);
        HWND frame = client.Window();
        SendMessageA(frame, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(frame));
    }
}

HHOOK g_refuseFrameHook = nullptr;

LRESULT CALLBACK RefuseFrameWindow(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        const char* name = create->lpcs->lpszClass;
        if (!IS_INTRESOURCE(name) && strcmp(name, CalendarApp::kInstanceName) == 0) return 1;
    }
    return CallNextHookEx(g_refuseFrameHook, code, wParam, lParam);
}

TEST_F(ShellTest, FrameThatCannotComeUpEndsTheRunWithAnErrorCode) {
    WriteSettings(server_->Port());
    {
        // Another window class under the frame's name: registration fails.
        WNDCLASSEXA decoy{};
        decoy.cbSize = sizeof decoy;
        decoy.lpfnWndProc = &DefWindowProcA;
        decoy.hInstance = GetModuleHandleA(nullptr);
        decoy.lpszClassName = CalendarApp::kInstanceName;
        ASSERT_NE(RegisterClassExA(&decoy), 0);
        InProcessClient client;
        EXPECT_EQ(client.App().Run(), CalendarApp::kExitClassNotRegistered);
    }
    {
        // Windows refuses to create the frame's window.
        g_refuseFrameHook = SetWindowsHookExA(WH_CBT, &RefuseFrameWindow, nullptr, GetCurrentThreadId());
        InProcessClient client;
        EXPECT_EQ(client.App().Run(), CalendarApp::kExitFrameNotCreated);
        UnhookWindowsHookEx(g_refuseFrameHook);
    }
}

// ---------------------------------------------------------------------------
// The executable

class ClientProcess {
public:
    explicit ClientProcess(const std::string& arguments) {
        std::string command = "\"" + WindowsPathOf(RDZ_CLIENT_EXE) + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &process_) != 0;
    }
    ~ClientProcess() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    // The exit code, or -1 when it did not end in time.
    int Wait(DWORD ms = 30000) {
        if (!started_ || WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<int>(code);
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

HWND WaitForFrame() {
    HWND frame = nullptr;
    PumpUntil([&] { return (frame = FindWindowA(CalendarApp::kInstanceName, nullptr)) && IsWindowVisible(frame); },
              std::chrono::seconds(30));
    return frame;
}

struct FoundBox {
    HWND window = nullptr;
    std::string text;
};

BOOL CALLBACK TakeStaticText(HWND child, LPARAM out) {
    char text[512] = {};
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) {
        reinterpret_cast<FoundBox*>(out)->text = text;
        return FALSE;
    }
    return TRUE;
}

// Waits for the message box captioned "アンインストール" and reads its text.
FoundBox WaitForUninstallBox() {
    FoundBox found;
    PumpUntil([&] { return (found.window = FindWindowA("#32770", "アンインストール")) != nullptr; },
              std::chrono::seconds(30));
    if (!found.window) return found;
    EnumChildWindows(found.window, &TakeStaticText, reinterpret_cast<LPARAM>(&found));
    return found;
}

void PressOk(HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }

TEST_F(ShellTest, ExecutableKeepsOneInstanceAndUninstalls) {
    WriteSettings(server_->Port());
    // "/u" only as second argument starts the client.
    ClientProcess first("x /u");
    HWND frame = WaitForFrame();
    ASSERT_NE(frame, nullptr);

    // A second start brings the first forward (restored from the tray) and ends.
    ShowWindow(frame, SW_MINIMIZE);
    PumpUntil([&] { return !IsWindowVisible(frame) || IsIconic(frame); });
    {
        ClientProcess second("");
        EXPECT_EQ(second.Wait(), 0);
    }
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(frame) && !IsIconic(frame); }));

    // "/U" while a client runs warns over its frame and keeps the settings.
    {
        ClientProcess uninstall("/U");
        FoundBox box = WaitForUninstallBox();
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), frame);
        EXPECT_EQ(box.text,
                  "ミモザ手帳が起動中のためアンインストールに失敗しました。\r\n"
                  "ミモザ手帳を終了させてからもう一度アンインストールを実行してください。");
        PressOk(box.window);
        EXPECT_EQ(uninstall.Wait(), 0);
        EXPECT_TRUE(KeyExists(kDataKey));
    }

    // The exit command ends the first client with code 0.
    PostMessageA(frame, WM_COMMAND, ID_APP_EXIT, 0);
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(SavedSettings()->dwParam1, Settings::kDefaultParam1);

    // Another product of the maker keeps the maker's key.
    {
        RegKey other;
        other.CreateKey(HKEY_CURRENT_USER, "Software\\Sorano\\Other", KEY_READ | KEY_WRITE);
    }
    {
        ClientProcess uninstall("/u");
        FoundBox box = WaitForUninstallBox();
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.text, "レジストリ情報を削除しました。");
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), nullptr);
        PressOk(box.window);
        EXPECT_EQ(uninstall.Wait(), 0);
        EXPECT_FALSE(KeyExists(kDataKey));
        EXPECT_TRUE(KeyExists("Software\\Sorano\\Other"));
    }
    // An empty maker key goes with the data; without any data the key is
    // made and removed, and the message is the same.
    DeleteKeyTree("Software\\Sorano\\Other");
    WriteSettings(server_->Port());
    for (int round = 0; round < 2; ++round) {
        ClientProcess uninstall("/u");
        FoundBox box = WaitForUninstallBox();
        ASSERT_NE(box.window, nullptr);
        EXPECT_EQ(box.text, "レジストリ情報を削除しました。");
        PressOk(box.window);
        EXPECT_EQ(uninstall.Wait(), 0);
        EXPECT_FALSE(KeyExists(kDataKey));
        EXPECT_FALSE(KeyExists(kMakerKey));
    }
}

}  // namespace

namespace {

// A real close without any rectangle recorded while normal (say, started
// maximized and closed at once) keeps the placement the settings held.
TEST(FrameRulesTest, PlacementIsOnlyOverwrittenByARealRectangle) {
    Settings settings;
    settings.dwWindowLeft = 10;
    settings.dwWindowTop = 20;
    settings.dwWindowWidth = 300;
    settings.dwWindowHeight = 200;
    StorePlacement(settings, nullptr);
    const RECT empty{0, 0, 0, 0};
    StorePlacement(settings, &empty);
    EXPECT_EQ(settings.dwWindowLeft, 10);
    EXPECT_EQ(settings.dwWindowWidth, 300);
    const RECT offScreen{-50, -40, 590, 440};
    StorePlacement(settings, &offScreen);
    EXPECT_EQ(settings.dwWindowLeft, -50);
    EXPECT_EQ(settings.dwWindowTop, -40);
    EXPECT_EQ(settings.dwWindowWidth, 640);
    EXPECT_EQ(settings.dwWindowHeight, 480);

    EXPECT_TRUE(ClosesToTray(P1_USE_TRAY | P1_CLOSE_TO_TRAY, false, false));
    EXPECT_FALSE(ClosesToTray(P1_USE_TRAY | P1_CLOSE_TO_TRAY, true, false));
    EXPECT_FALSE(ClosesToTray(P1_USE_TRAY | P1_CLOSE_TO_TRAY, false, true));
    EXPECT_FALSE(ClosesToTray(P1_CLOSE_TO_TRAY, false, false));
    char program[] = "RendezClient.exe", lower[] = "/u", upper[] = "/U", other[] = "x";
    char* uninstall[] = {program, upper};
    char* second[] = {program, other, lower};
    EXPECT_TRUE(IsUninstallSwitch(2, uninstall));
    EXPECT_FALSE(IsUninstallSwitch(3, second));
    EXPECT_FALSE(IsUninstallSwitch(1, uninstall));
}

}  // namespace
