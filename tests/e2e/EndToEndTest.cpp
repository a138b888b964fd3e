// The client as a person uses it: the real calendar-server with its demo data
// and the real RendezClient.exe in Wine's virtual desktop, driven only by X
// input (xdotool). The steps run in order on one client and check what the
// server logged, what the client's windows say (read from outside its
// process) and pixels of the screen. Screenshots of every step stay in the
// build folder (tests/e2e/shots).
#include "tests/e2e/ClientFixture.h"
#include "tests/support/CalendarServerProcess.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

namespace {

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

    static CalendarServerProcess* server_;
};

CalendarServerProcess* EndToEnd::server_ = nullptr;

// The cell every step selects: a Wednesday in the middle of the month.
const int kColumn = 3, kRow = 2;

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
}

// ---- the settings sheet points the client at another server ----

// Opens 編集 → 設定, writes `port` into the port field and confirms.
bool SetPortThroughSettings(POINT cell, unsigned short port) {
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

    ASSERT_TRUE(SetPortThroughSettings(CellCentre(kColumn, kRow), other.Port()));
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

TEST_F(EndToEnd, ExitSavesThePlacementAndTheNextStartRestoresIt) {
    ASSERT_TRUE(client_ && client_->Running());
    const RECT before = ScreenRect(Frame());
    const POINT caption{before.left + 120, before.top + GetSystemMetrics(SM_CYFRAME) + 8};
    ASSERT_TRUE(Drag(caption, POINT{caption.x + 90, caption.y + 60}));
    ASSERT_TRUE(WaitUntil([&] { return ScreenRect(Frame()).left != before.left; }, kStepMs)) << "not moved";
    const RECT moved = ScreenRect(Frame());

    // ﾌｧｲﾙ → ｱﾌﾟﾘｹｰｼｮﾝの終了: a real close, the process ends.
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowLeft")), moved.left);
    EXPECT_EQ(static_cast<LONG>(ReadSetting("dwWindowTop")), moved.top);

    ASSERT_TRUE(StartClient());
    EXPECT_TRUE(ToolbarDrawn("06-restarted")) << "toolbar pictures not drawn";
    EXPECT_TRUE(IsWindowVisible(StatusBar()));
    const RECT restored = ScreenRect(Frame());
    EXPECT_EQ(restored.left, moved.left);
    EXPECT_EQ(restored.top, moved.top);
    EXPECT_EQ(restored.right - restored.left, moved.right - moved.left);
    EXPECT_EQ(restored.bottom - restored.top, moved.bottom - moved.top);

    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0);
}

}  // namespace
