// One request and reply through real sockets on 127.0.0.1: the request
// bytes, how replies are read and judged, and what the user is shown.
#include "protocol/ProtocolClient.h"
#include "protocol/ScheduleSet.h"
#include "protocol/VersionCheck.h"
#include "protocol/WireFormat.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TestServerContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class ProtocolClientTest : public ::testing::Test {
protected:
    MessageBoxRecorder boxes;
};

TEST_F(ProtocolClientTest, HelloSendsTheExactLineAndAcceptsASuccessReply) {
    ScriptedPeer peer({Whole("+OK RDZVP/0.0\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 1);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), std::vector<std::string>{"HELLO RDZVP/0.0\r\n"});
    EXPECT_TRUE(boxes.Shown().empty());
}

// The background question of the data sets' versions: one VERSIONS line,
// the answer posted to a window with its ticket, and no message box whatever
// happens (an answer, a server that does not know the request, noise, no
// server at all).
TEST_F(ProtocolClientTest, VersionCheckAsksQuietlyAndPostsWhatItLearned) {
    ScriptedPeer peer({Whole("+OK RDZVP/0.0 4 0 9\r\n"), Whole("-unknown-request\r\n"), Whole("HTTP/1.1 400\r\n")});
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    constexpr UINT kChecked = WM_APP + 1;
    auto check = [&](DWORD port, uint32_t ticket) {
        std::unique_ptr<VersionCheckResult> result;
        EXPECT_TRUE(StartVersionCheck("127.0.0.1", port, window, kChecked, ticket));
        for (const DWORD until = GetTickCount() + 15000; !result && GetTickCount() < until; Sleep(10)) {
            MSG message;
            if (!PeekMessageA(&message, window, kChecked, kChecked, PM_REMOVE)) continue;
            EXPECT_EQ(message.wParam, ticket);
            result.reset(reinterpret_cast<VersionCheckResult*>(message.lParam));
            if (!result) ADD_FAILURE() << "posted without a result";
        }
        return result;
    };
    auto answered = check(peer.Port(), 7);
    ASSERT_TRUE(answered);
    EXPECT_TRUE(answered->answered);
    EXPECT_EQ(answered->versions[0], 4);
    EXPECT_EQ(answered->versions[1], 0);
    EXPECT_EQ(answered->versions[2], 9);
    for (uint32_t ticket : {8u, 9u}) {
        auto refused = check(peer.Port(), ticket);
        ASSERT_TRUE(refused);
        EXPECT_FALSE(refused->answered);
    }
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), std::vector<std::string>(3, "VERSIONS RDZVP/0.0\r\n"));
    auto down = check(1, 10);  // nothing listens there
    ASSERT_TRUE(down);
    EXPECT_FALSE(down->answered);
    EXPECT_TRUE(boxes.Shown().empty());
    DestroyWindow(window);
}

TEST_F(ProtocolClientTest, GetLineCarriesTheEscapedCondition) {
    ScriptedPeer peer({Whole("\r\n"), Whole("+OK\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    EXPECT_TRUE(client.Exchange(BuildGetLine(1, ""), kCaptionGetSchedules).success);
    EXPECT_TRUE(client.Exchange(BuildGetLine(1, "schedule like '%it''s%' "), kCaptionGetSchedules).success);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), (std::vector<std::string>{"GET RDZVP/0.0 1 \r\n",
                                                         "GET RDZVP/0.0 1 schedule+20like+20'+25it''s+25'+20\r\n"}));
}

TEST_F(ProtocolClientTest, ReplyOverManyChunksArrivesWhole) {
    std::string body;
    for (int i = 0; i < 40; ++i) body += "DATA:" + std::to_string(20260100 + i) + ":" + std::to_string(i) + ":会議+20室\r\n";
    ASSERT_GT(body.size(), 3 * 255u);
    // Sent in pieces that do not line up with the client's 255-byte reads.
    ScriptedPeer peer({{"+OK\r\n", body.substr(0, 300), body.substr(300, 1), body.substr(301)}});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    ExchangeResult result = client.Exchange(BuildGetLine(1, ""), kCaptionGetSchedules);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.reply, "+OK\r\n" + body);
}

// The system's text for a WinSock error, as the client shows it.
std::string SystemText(int code) {
    char text[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text,
                   sizeof text, nullptr);
    return text;
}

TEST_F(ProtocolClientTest, ZeroBytesAreKeptAndEndOnlyTheFieldTheyStandIn) {
    const std::string reply = "+OK\r\nDATA:20261201:1:a\0b:5\r\nDATA:20261202:2:c:6\r\n"s;
    // However TCP cuts the bytes, the same two records arrive.
    ScriptedPeer peer({Whole(reply), {reply.substr(0, 14), reply.substr(14)}, Whole(reply)});
    TestServerContext context("127.0.0.1", peer.Port());
    for (int split = 0; split < 2; ++split) {
        ScheduleSet set(context);
        ASSERT_EQ(set.Get(""), 1);
        ASSERT_EQ(set.records.size(), 2u) << "split " << split;
        EXPECT_STREQ(set.records[0]->text, "a");
        EXPECT_EQ(set.records[0]->genreId, 5);
        EXPECT_EQ(set.records[1]->date, 20261202);
        EXPECT_STREQ(set.records[1]->text, "c");
        EXPECT_EQ(set.records[1]->genreId, 6);
    }
    ProtocolClient client(context);
    ExchangeResult result = client.Exchange(BuildGetLine(1, ""), kCaptionGetSchedules);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.reply, reply);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(ProtocolClientTest, ResetBeforeTheReplyEndsIsAFailedRequest) {
    ScriptedPeer peer({
        Whole("+OK\r\nDATA:20261201:7:old:3\r\n"),
        // Genre 12 was meant; the line breaks off after its first digit.
        {"+OK\r\nDATA:20261201:7:first:12\r\n", "DATA:20261202:8:second:1", ResetHere()},
        {"+OK", ResetHere()},
        {ResetHere()},
    });
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleSet set(context);
    ASSERT_EQ(set.Get(""), 1);
    ASSERT_EQ(set.records.size(), 1u);
    const ScheduleRecord* kept = set.records[0].get();

    EXPECT_EQ(set.Get(""), 0);
    EXPECT_EQ(set.Set(*kept), 0);
    EXPECT_EQ(ProtocolClient(context).Hello(), 0);
    ASSERT_EQ(set.records.size(), 1u);
    EXPECT_EQ(set.records[0].get(), kept);
    EXPECT_STREQ(kept->text, "old");

    const std::string reset = SystemText(WSAECONNRESET);
    ASSERT_FALSE(reset.empty());
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "GetScheduleに失敗");
    EXPECT_EQ(shown[1].caption, "SET失敗");
    EXPECT_EQ(shown[2].caption, "HELLO失敗");
    for (const auto& box : shown) EXPECT_EQ(box.text, reset);
    EXPECT_EQ(set.Socket().Handle(), 0u);
}

TEST_F(ProtocolClientTest, ServerThatNeverAnswersFailsTheRequestAfterTheSilenceLimit) {
    TestServerContext context("127.0.0.1", 0);
    context.silenceLimitMs = 400;
    ScheduleSet set(context);  // its socket starts WinSock
    // A listener whose backlog takes the connection and the request, and
    // which never answers.
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_NE(listener, INVALID_SOCKET);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    int length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    context.settings.dwPortNo = ntohs(address.sin_port);

    EXPECT_EQ(set.Get(""), 0);
    EXPECT_EQ(ProtocolClient(context).Hello(), 0);
    closesocket(listener);

    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "GetScheduleに失敗");
    EXPECT_EQ(shown[1].caption, "HELLO失敗");
    for (const auto& box : shown) EXPECT_STREQ(box.text.c_str(), kTextServerSilent);
    EXPECT_TRUE(set.records.empty());
}

TEST_F(ProtocolClientTest, ReplyWithFewerRecordLinesThanAnnouncedFails) {
    const std::string two = "DATA:20261201:1:a:5\r\nDATA:20261202:2:b:6\r\n";
    ScriptedPeer peer({
        Whole("+OK RDZVP/0.0 2\r\n" + two),
        Whole("+OK RDZVP/0.0 3\r\n" + two),
        Whole("+OK RDZVP/0.0 99999999999999999999999\r\n" + two),
        Whole("+OK RDZVP/0.0 3x\r\nDATA:20261203:3:c:7\r\n"),  // no count: the plain framing
        Whole("+OK RDZVP/0.0 0\r\n"),
    });
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleSet set(context);
    ASSERT_EQ(set.Get(""), 1);
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.Get(""), 0);
    EXPECT_EQ(set.Get(""), 0);
    EXPECT_EQ(set.records.size(), 2u);
    EXPECT_STREQ(set.records[1]->text, "b");
    EXPECT_EQ(boxes.Captions(), (std::vector<std::string>{"GetScheduleに失敗", "GetScheduleに失敗"}));
    EXPECT_EQ(boxes.Shown()[0].text, "サーバーからの応答が途中で切れました。");

    ASSERT_EQ(set.Get(""), 1);
    ASSERT_EQ(set.records.size(), 1u);
    EXPECT_STREQ(set.records[0]->text, "c");
    ASSERT_EQ(set.Get(""), 1);
    EXPECT_TRUE(set.records.empty());
    EXPECT_EQ(boxes.Shown().size(), 2u);
}

TEST_F(ProtocolClientTest, EmptyReplyFailsWithAnEmptyMessage) {
    ScriptedPeer peer({Whole("")});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "");
    EXPECT_EQ(shown[0].caption, "HELLO失敗");
    EXPECT_EQ(shown[0].style, static_cast<UINT>(MB_OK));
}

TEST_F(ProtocolClientTest, FailureReplyIsShownUnescapedUnderTheRequestsCaption) {
    ScriptedPeer peer({Whole("-ERR+20busy"), Whole("-"), Whole("-NG\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    EXPECT_FALSE(client.Exchange(BuildGetLine(3, ""), kCaptionGetDateInfo).success);
    EXPECT_FALSE(client.Exchange(BuildSetLine(1, "0:0:0::0"), kCaptionSet).success);
    EXPECT_EQ(client.Hello(), 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "-ERR busy");
    EXPECT_EQ(shown[0].caption, "Getに失敗");
    EXPECT_EQ(shown[1].text, "-");
    EXPECT_EQ(shown[1].caption, "SET失敗");
    EXPECT_EQ(shown[2].text, "-NG\r\n");
    EXPECT_EQ(shown[2].caption, "HELLO失敗");
}

TEST_F(ProtocolClientTest, EveryRequestUsesItsOwnConnectionAndClosesIt) {
    ScriptedPeer peer({Whole("+OK\r\n"), Whole("+OK\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 1);
    EXPECT_EQ(client.Socket().Handle(), 0u);
    EXPECT_EQ(client.Hello(), 1);
    EXPECT_EQ(client.Socket().Handle(), 0u);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests().size(), 2u);
    EXPECT_EQ(peer.ClientClosed(), (std::vector<bool>{true, true}));
}

TEST_F(ProtocolClientTest, HostNamesAreResolved) {
    ScriptedPeer peer({Whole("+OK\r\n")});
    TestServerContext context("localhost", peer.Port());
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 1);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(ProtocolClientTest, RefusedConnectionShowsTheSystemText) {
    TestServerContext context("127.0.0.1", UnusedPort());
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "Connect失敗");
    EXPECT_EQ(shown[0].text, SystemText(WSAECONNREFUSED));
    EXPECT_FALSE(shown[0].text.empty());
    EXPECT_EQ(client.Socket().Handle(), 0u);
}

TEST_F(ProtocolClientTest, PortOutsideItsRangeFailsNamingTheSettingWithoutConnecting) {
    // A peer on port P: a stored P + 65536 would reach it if cut to 16 bits.
    ScriptedPeer peer({Whole("+OK\r\n")});
    for (DWORD port : {DWORD{0}, DWORD{peer.Port() + 65536u}, static_cast<DWORD>(-5)}) {
        TestServerContext context("127.0.0.1", port);
        ProtocolClient client(context);
        EXPECT_EQ(client.Hello(), 0) << port;
        EXPECT_EQ(client.Socket().Handle(), 0u);
    }
    const std::vector<RecordedMessageBox> shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 3u);
    for (const RecordedMessageBox& box : shown) EXPECT_EQ(box.caption, "Connect失敗");
    EXPECT_EQ(shown[0].text, PortOutOfRangeText(0));
    EXPECT_NE(shown[1].text.find("(" + std::to_string(peer.Port() + 65536) + ")"), std::string::npos) << shown[1].text;
    EXPECT_NE(shown[2].text.find("ポート (-5)"), std::string::npos) << shown[2].text;
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(ProtocolClientTest, UnresolvableHostShowsTheLookupFailure) {
    TestServerContext context("nosuchhost.invalid", 54321);
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "gethostbyname失敗");
    EXPECT_FALSE(shown[0].text.empty());
}

TEST_F(ProtocolClientTest, MessageBoxesAreOwnedByTheContextsWindow) {
    TestServerContext context("127.0.0.1", UnusedPort());
    context.owner = GetDesktopWindow();
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 0);
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, GetDesktopWindow());
}

TEST(TcpSocketTest, FirstLiveSocketOwnsTheWinSockStartup) {
    // Every other test has destroyed its clients: no socket is alive.
    auto first = std::make_unique<TcpSocket>();
    TcpSocket second;
    EXPECT_TRUE(first->OwnsStartup());
    EXPECT_FALSE(second.OwnsStartup());
    first.reset();  // cleans WinSock up; the next socket starts it again
    TcpSocket third;
    EXPECT_TRUE(third.OwnsStartup());
    EXPECT_FALSE(second.OwnsStartup());
}

}  // namespace
