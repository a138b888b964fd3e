// The client under server faults, driven from outside like the main
// end-to-end program: a server stopped in the middle of a load and started
// again, a server killed while the day sheet's schedules are being sent, a
// server that answers slowly, and one that answers with garbage. Every time
// the client must show exactly one clear message box per failed request,
// neither crash nor hang, and come back once the server does; nothing the
// server acknowledged may be lost. The real calendar-server serves the data;
// a relay in front of it (FaultRelay) times the faults it cannot show on cue.
#include "tests/e2e/FaultRelay.h"
#include "tests/e2e/ClientFixture.h"
#include "tests/support/CalendarServerProcess.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#ifndef RDZ_SEED_PROGRAM
#error "RDZ_SEED_PROGRAM must name the native program that seeds a large schedule set"
#endif

namespace {

const unsigned kLoadMs = 120000;  // a load of the large set on a busy machine
const int kColumn = 3, kRow = 2;  // a Wednesday in the middle of the month

const char kLoadingSchedules[] = "スケジュール を取得中...";
const char kReplyCut[] = "サーバーからの応答が途中で切れました。";

// The system's text for a WinSock error, as the client formats it.
std::string SystemText(DWORD code) {
    char text[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x400, text, sizeof text, nullptr);
    return text;
}

std::string Caption(HWND box) { return WindowText(box); }

struct Found {
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM lParam) {
    Found& found = *reinterpret_cast<Found*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (process == found.process && IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0) {
        found.windows.push_back(window);
    }
    return TRUE;
}

struct Children {
    int buttons = 0;
    int okButtons = 0;
    int others = 0;
    std::string text;
};

BOOL CALLBACK CountChild(HWND window, LPARAM lParam) {
    Children& children = *reinterpret_cast<Children*>(lParam);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, "Button") == 0) {
        ++children.buttons;
        if (GetDlgCtrlID(window) == IDOK) ++children.okButtons;
    } else if (lstrcmpiA(name, "Static") == 0) {
        children.text += WindowText(window);
    } else {
        ++children.others;
    }
    return TRUE;
}

Children ChildrenOf(HWND dialog) {
    Children children;
    EnumChildWindows(dialog, CountChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

class Faults : public ClientFixture {
protected:
    static void SetUpTestSuite() {
        server_ = new CalendarServerProcess({{"demo"}});
        relay_ = new FaultRelay(server_->Port());
    }
    static void TearDownTestSuite() {
        client_.reset();
        delete relay_;
        relay_ = nullptr;
        delete server_;
        server_ = nullptr;
        ResetSettings(0);
    }

    // The client's top-level dialogs: message boxes, the progress dialog,
    // the sheets.
    static std::vector<HWND> Dialogs() {
        Found found{client_ ? client_->Id() : 0, {}};
        if (found.process) EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
        return found.windows;
    }
    // The message boxes with only an OK button: how the client reports a
    // failure.
    static std::vector<HWND> FailureBoxes() {
        std::vector<HWND> boxes;
        for (HWND dialog : Dialogs()) {
            Children children = ChildrenOf(dialog);
            if (children.buttons == 1 && children.okButtons == 1 && children.others == 0) boxes.push_back(dialog);
        }
        return boxes;
    }
    static std::string BoxText(HWND box) { return ChildrenOf(box).text; }

    // The load's progress dialog: the dialog with the status static 1050.
    static HWND Progress() {
        for (HWND dialog : Dialogs()) {
            if (GetDlgItem(dialog, 1050)) return dialog;
        }
        return nullptr;
    }
    static std::string ProgressText() {
        HWND progress = Progress();
        return progress ? WindowText(GetDlgItem(progress, 1050)) : std::string();
    }

    // Waits for the next failure box, checks that it is the only one and
    // that it reads `caption` and `text`, then presses its OK button as a
    // person would and waits until it has gone.
    static void ExpectOneBoxThenDismiss(const std::string& caption, const std::string& text) {
        std::vector<HWND> boxes;
        ASSERT_TRUE(WaitUntil([&] { return !(boxes = FailureBoxes()).empty(); }, kLoadMs))
            << "no message box for " << caption;
        ASSERT_EQ(boxes.size(), 1u) << "more than one message box at once";
        EXPECT_EQ(Caption(boxes[0]), caption);
        EXPECT_EQ(BoxText(boxes[0]), text) << "caption " << Caption(boxes[0]);
        Dismiss(boxes[0]);
    }
    static void Dismiss(HWND box) {
        const RECT ok = ScreenRect(GetDlgItem(box, IDOK));
        ASSERT_TRUE(Click(POINT{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2}));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kStepMs))
            << "the message box stayed";
    }

    // The user-interface thread answers a message sent from outside.
    static bool Answers(HWND window) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) != 0;
    }
    // The frame is back for the user: enabled, no load running, no dialog.
    static bool Idle() {
        return IsWindowVisible(Frame()) && IsWindowEnabled(Frame()) && Dialogs().empty() && Answers(Frame());
    }

    // The status bar's text of a day with no schedule, or with `first` as
    // its first schedule (and " 他" if there are more).
    static std::string DayStatus(Day month, const std::string& first, bool more = false) {
        return StatusDate(month.year, month.month, kColumn, kRow) + " " + first + (more ? " 他" : "");
    }

    static CalendarServerProcess* server_;
    static FaultRelay* relay_;
};

CalendarServerProcess* Faults::server_ = nullptr;
FaultRelay* Faults::relay_ = nullptr;

TEST_F(Faults, ServerStoppedDuringTheLargeFirstLoadThenRefreshLoadsEverything) {
    const std::string database = std::string(RDZ_TEST_TMP) + "/faults-large.db";
    ASSERT_TRUE(RunShell("mkdir -p " + ShellQuote(RDZ_TEST_TMP) + " && rm -f " + ShellQuote(database) + " && " +
                             ShellQuote(RDZ_SEED_PROGRAM) + " " + ShellQuote(database) + " 150000",
                         120000));
    CalendarServerProcess large(RDZ_CALENDAR_SERVER, database);
    ASSERT_NE(large.Port(), 0);
    ResetSettings(large.Port());
    client_.reset(new ClientProcess());
    ASSERT_TRUE(client_->Started());

    // The server stops while the schedules (about 15 MB) are on their way.
    ASSERT_TRUE(WaitUntil([] { return ProgressText() == kLoadingSchedules; }, kStartMs)) << ProgressText();
    ASSERT_TRUE(WaitUntil([&] { return large.IsSending(); }, kLoadMs));
    large.Stop();
    std::vector<HWND> boxes;
    ASSERT_TRUE(WaitUntil([&] { return !(boxes = FailureBoxes()).empty(); }, kLoadMs)) << "no message box";
    ASSERT_EQ(boxes.size(), 1u);
    // The cut reply fails the request: reset by the stopping server, or
    // ended short of the records it announced.
    const std::string caption = Caption(boxes[0]), text = BoxText(boxes[0]);
    EXPECT_EQ(caption, "GetScheduleに失敗") << text;
    EXPECT_TRUE(text == SystemText(WSAECONNRESET) || text == kReplyCut) << text;
    EXPECT_NE(Progress(), nullptr) << "the progress dialog stays up behind the message";
    Shot("11-stopped-during-load");
    Dismiss(boxes[0]);

    // No further step runs: the frame comes up empty, with no other message.
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    const Day today = Today();
    EXPECT_TRUE(StatusShows(today, kColumn, kRow));
    EXPECT_EQ(StatusText(), DayStatus(today, ""));

    // Back on the same database: a refresh loads all of it.
    ASSERT_TRUE(large.Restart());
    const size_t logBefore = large.Log().size();
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([&] { return large.Log().find(" GET 3 ", logBefore) != std::string::npos && Idle(); },
                          kLoadMs))
        << large.Log().substr(logBefore);
    EXPECT_TRUE(FailureBoxes().empty());
    const std::string log = large.Log().substr(logBefore);
    EXPECT_NE(log.find(" GET 1 "), std::string::npos) << log;
    EXPECT_EQ(log.find("error"), std::string::npos) << log;
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText().size() > DayStatus(today, "").size(); }, kStepMs));
    EXPECT_EQ(StatusText().substr(StatusText().size() - 3), " 他") << StatusText();
    Shot("12-refreshed-after-restart");

    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0) << "the client did not end cleanly";
    client_.reset();
}

}  // namespace
