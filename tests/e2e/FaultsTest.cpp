// The client under server faults, driven from outside like the main
// end-to-end program: a server stopped or killed in the middle of a load and
// started again, a server killed while the day sheet's schedules are sent, a
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

// One request straight to a server, as the client sends it; the whole reply.
std::string AskServer(unsigned short port, const std::string& line) {
    std::string reply;
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    address.sin_port = htons(port);
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(s, line.data(), static_cast<int>(line.size()), 0) == static_cast<int>(line.size())) {
        char buffer[4096];
        int received;
        while ((received = recv(s, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, static_cast<size_t>(received));
    }
    if (s != INVALID_SOCKET) closesocket(s);
    return reply;
}

std::string DateKey(long days) {
    const Day d = CivilFromDays(days);
    return std::to_string(d.year * 10000 + d.month * 100 + d.day);
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
    // failure. A box counts once its caption is set.
    static std::vector<HWND> FailureBoxes() {
        std::vector<HWND> boxes;
        for (HWND dialog : Dialogs()) {
            Children children = ChildrenOf(dialog);
            if (children.buttons == 1 && children.okButtons == 1 && children.others == 0 &&
                !Caption(dialog).empty()) {
                boxes.push_back(dialog);
            }
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

TEST_F(Faults, ServerStoppedOrKilledDuringTheLargeLoadThenRefreshLoadsEverything) {
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
    // Either the schedules' reply is cut (reset by the stopping server, or
    // ended short of the records it announced), or they arrived and the
    // next request meets the stopping server's refusal or a closed port.
    const std::string caption = Caption(boxes[0]), text = BoxText(boxes[0]);
    const bool cut = caption == "GetScheduleに失敗" && (text == SystemText(WSAECONNRESET) || text == kReplyCut);
    const bool refused = (caption == "GetScheduleに失敗" && text.rfind("-", 0) == 0) ||
                         (caption == "Connect失敗" && text == SystemText(WSAECONNREFUSED));
    EXPECT_TRUE(cut || refused) << caption << ": " << text;
    EXPECT_NE(Progress(), nullptr) << "the progress dialog stays up behind the message";
    Shot("11-stopped-during-load");
    Dismiss(boxes[0]);

    // No further step runs: the frame comes up, with no other message; after
    // a cut it is empty.
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    const Day today = Today();
    EXPECT_TRUE(StatusShows(today, kColumn, kRow));
    if (cut) {
        EXPECT_EQ(StatusText(), DayStatus(today, ""));
    }

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
    const std::string loaded = StatusText();

    // Killed in the middle of the schedules: the reply ends short, which
    // fails GET 1 alone; the schedules shown before stay.
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([] { return ProgressText() == kLoadingSchedules; }, kStepMs)) << ProgressText();
    ASSERT_TRUE(WaitUntil([&] { return large.IsSending(); }, kLoadMs));
    large.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !(boxes = FailureBoxes()).empty(); }, kLoadMs)) << "no message box";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Caption(boxes[0]), "GetScheduleに失敗");
    EXPECT_TRUE(BoxText(boxes[0]) == kReplyCut || BoxText(boxes[0]) == SystemText(WSAECONNRESET))
        << BoxText(boxes[0]);
    Shot("13-killed-during-load");
    Dismiss(boxes[0]);
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == loaded; }, kStepMs)) << StatusText();

    ASSERT_TRUE(large.Restart());
    const size_t logAgain = large.Log().size();
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([&] { return large.Log().find(" GET 3 ", logAgain) != std::string::npos && Idle(); },
                          kLoadMs));
    EXPECT_TRUE(FailureBoxes().empty());

    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0) << "the client did not end cleanly";
    client_.reset();
}

// ---- through the relay, on the demo data ----

// Adds a schedule in the open day sheet through its entry dialog: the first
// category and its first genre, and `text` typed in.
void AddSchedule(HWND sheet, const std::string& text) {
    HWND add = FindDescendant(sheet, "Button", 1009);
    ASSERT_NE(add, nullptr);
    const RECT button = ScreenRect(add);
    ASSERT_TRUE(Click(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    HWND entry = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (entry = FindWindowA(nullptr, "スケジュールの登録・更新")) && IsWindowVisible(entry); },
                          kStepMs));
    HWND category = GetDlgItem(entry, 1021), genre = GetDlgItem(entry, 1022), field = GetDlgItem(entry, 1019);
    // The first control, the category list, has the focus.
    ASSERT_TRUE(Keys("Down"));
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(category, CB_GETCURSEL, 0, 0) == 0; }, kStepMs));
    ASSERT_TRUE(Keys("Tab Down"));
    ASSERT_TRUE(WaitUntil([&] { return SendMessageA(genre, CB_GETCURSEL, 0, 0) == 0; }, kStepMs));
    ASSERT_TRUE(Keys("Tab") && RunShell("xdotool type --delay 40 " + ShellQuote(text), 10000));
    ASSERT_TRUE(WaitUntil([&] { return WindowText(field) == text; }, kStepMs));
    ASSERT_TRUE(Keys("Return"));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(entry); }, kStepMs)) << "the entry dialog stayed";
}

TEST_F(Faults, ServerKilledWhileTheDaySheetIsSentKeepsWhatItAcknowledged) {
    ASSERT_NE(relay_->Port(), 0);
    ResetSettings(relay_->Port());
    // Started while nothing listens: the server check's one message, with
    // the system's text for the refused connection, then an empty calendar.
    relay_->Close();
    client_.reset(new ClientProcess());
    ASSERT_TRUE(client_->Started());
    ExpectOneBoxThenDismiss("Connect失敗", SystemText(WSAECONNREFUSED));
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    ASSERT_TRUE(relay_->Open());
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([] { return relay_->Requests().size() == 3 && Idle(); }, kLoadMs));
    EXPECT_TRUE(FailureBoxes().empty());

    // A day two months on, beyond the demo data: no schedules yet.
    const Day month = AddMonths(Today(), 2);
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    ASSERT_TRUE(Keys("ctrl+Next ctrl+Next"));
    ASSERT_TRUE(StatusShows(month, kColumn, kRow)) << StatusText();
    EXPECT_EQ(StatusText(), DayStatus(month, ""));
    const std::string date = DateKey(CellDays(month.year, month.month, kColumn, kRow));

    ASSERT_TRUE(Keys("Return"));
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (sheet = FindWindowA(nullptr, "日付情報の登録・修正")) && IsWindowVisible(sheet); },
                          kStepMs));
    for (const char* text : {"fault-1", "fault-2", "fault-3"}) {
        AddSchedule(sheet, text);
        if (HasFatalFailure()) return;
    }
    Shot("21-three-added");

    // The first SET is acknowledged; the server dies while the second is on
    // its way and stays down for the rest of the confirmation.
    relay_->HoldBefore("SET ", 2);
    const RECT ok = ScreenRect(FindDescendant(sheet, "Button", IDOK));
    ASSERT_TRUE(Click(POINT{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2}));
    ASSERT_TRUE(relay_->WaitHeld(kStepMs));
    server_->Kill();
    relay_->Close();
    relay_->Release();

    // One message per failed request: the second SET, the third, and the
    // reload's GET 1, after which the reload stops.
    ExpectOneBoxThenDismiss("SET失敗", SystemText(WSAECONNRESET));
    ExpectOneBoxThenDismiss("Connect失敗", SystemText(WSAECONNREFUSED));
    ExpectOneBoxThenDismiss("Connect失敗", SystemText(WSAECONNREFUSED));
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    const std::vector<std::string> sent = relay_->Requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], "SET RDZVP/0.0 1 1:" + date + ":0:fault-1:" +
                                         sent[sent.size() - 2].substr(sent[sent.size() - 2].rfind(':') + 1));
    EXPECT_EQ(sent.back().rfind("SET RDZVP/0.0 1 1:" + date + ":0:fault-2:", 0), 0u) << sent.back();

    // Restarted on its database, the server still holds the acknowledged
    // schedule, and a refresh shows it.
    ASSERT_TRUE(server_->Restart());
    ASSERT_TRUE(relay_->Open());
    const std::string stored = AskServer(server_->Port(), "GET RDZVP/0.0 1 \r\n");
    EXPECT_NE(stored.find("\nDATA:" + date + ":"), std::string::npos);
    EXPECT_NE(stored.find(":fault-1:"), std::string::npos) << stored.substr(0, 200);
    EXPECT_EQ(stored.find(":fault-2:"), std::string::npos);
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([] { return relay_->Requests().back().rfind("GET RDZVP/0.0 3 ", 0) == 0 && Idle(); },
                          kLoadMs));
    EXPECT_TRUE(FailureBoxes().empty());
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == DayStatus(month, "fault-1"); }, kStepMs)) << StatusText();
    Shot("22-acknowledged-after-restart");
}

TEST_F(Faults, SlowServerShowsTheProgressWhileTheWindowKeepsAnswering) {
    ASSERT_TRUE(client_ && client_->Running());
    const Day month = AddMonths(Today(), 2);
    const size_t before = relay_->Requests().size();
    // The schedules (about 25 KB) arrive 1 KB at a time, 150 ms apart.
    relay_->Slow("GET RDZVP/0.0 1 ", 1024, 150);
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([] { return ProgressText() == kLoadingSchedules; }, kStepMs)) << ProgressText();
    EXPECT_TRUE(IsWindowVisible(Progress()));
    EXPECT_FALSE(IsWindowEnabled(Frame())) << "the frame takes input during the load";
    EXPECT_TRUE(Answers(Frame()));
    EXPECT_TRUE(Answers(Progress()));
    Shot("31-slow-load");

    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kLoadMs));
    EXPECT_TRUE(FailureBoxes().empty());
    const std::vector<std::string> sent = relay_->Requests();
    ASSERT_EQ(sent.size(), before + 3);
    EXPECT_EQ(sent[before], "GET RDZVP/0.0 1 ");
    EXPECT_EQ(sent[before + 1], "GET RDZVP/0.0 2 ");
    EXPECT_EQ(sent[before + 2], "GET RDZVP/0.0 3 ");
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == DayStatus(month, "fault-1"); }, kStepMs)) << StatusText();
    relay_->PassOn();
}

TEST_F(Faults, GarbageFromTheServerIsOneMessageAndTheDataStays) {
    ASSERT_TRUE(client_ && client_->Running());
    const Day month = AddMonths(Today(), 2);
    // Another service on the server's port: no reply of this protocol.
    relay_->Answer("GET RDZVP/0.0 1 ", std::string("HTTP/1.1 400 Bad Request\r\nContent-Type: text/html\r\n\r\n"
                                                   "<html>\x89PNG\r\n\x1a\n") +
                                           std::string(1, '\0') + "\xff\xfe\x81:+zz\r\n");
    const size_t before = relay_->Requests().size();
    ASSERT_TRUE(Keys("F5"));
    std::vector<HWND> boxes;
    // Without a message the load would go on to GET 2 and GET 3.
    ASSERT_TRUE(WaitUntil(
        [&] { return !(boxes = FailureBoxes()).empty() || (relay_->Requests().size() >= before + 3 && Idle()); },
        kLoadMs));
    ASSERT_EQ(boxes.size(), 1u) << "no message for a reply that is not of this protocol";
    EXPECT_EQ(Caption(boxes[0]), "GetScheduleに失敗");
    EXPECT_EQ(BoxText(boxes[0]), "サーバーからの応答を読み取れません。");
    Shot("41-garbage");
    Dismiss(boxes[0]);
    ASSERT_TRUE(WaitUntil([] { return Idle(); }, kStartMs));
    EXPECT_TRUE(FailureBoxes().empty());
    EXPECT_EQ(relay_->Requests().size(), before + 1) << "the load went on after the failed step";
    ASSERT_TRUE(Click(CellCentre(kColumn, kRow)));
    EXPECT_TRUE(WaitUntil([&] { return StatusText() == DayStatus(month, "fault-1"); }, kStepMs)) << StatusText();

    // The real replies again: the next refresh works.
    relay_->PassOn();
    ASSERT_TRUE(Keys("F5"));
    ASSERT_TRUE(WaitUntil([&] { return relay_->Requests().size() == before + 4 && Idle(); }, kLoadMs));
    EXPECT_TRUE(FailureBoxes().empty());

    ASSERT_TRUE(Keys("alt+f x"));
    EXPECT_EQ(client_->WaitForExit(kStepMs), 0) << "the client did not end cleanly";
}

}  // namespace
