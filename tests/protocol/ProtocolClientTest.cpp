// One request and reply through real sockets on 127.0.0.1: the request
// bytes, how replies are read and judged, and what the user is shown.
#include "protocol/ProtocolClient.h"
#include "protocol/WireFormat.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TestServerContext.h"

#include <gtest/gtest.h>

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

TEST_F(ProtocolClientTest, ZeroByteCutsOnlyTheRestOfItsChunk) {
    ScriptedPeer peer({{"+OK\r\nab\0cd"s, "ef\r\n"}});
    TestServerContext context("127.0.0.1", peer.Port());
    ProtocolClient client(context);
    ExchangeResult result = client.Exchange(BuildGetLine(3, ""), kCaptionGetDateInfo);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.reply, "+OK\r\nabef\r\n");
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
    char refused[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, WSAECONNREFUSED, 0x400,
                   refused, sizeof refused, nullptr);
    EXPECT_EQ(shown[0].text, refused);
    EXPECT_FALSE(shown[0].text.empty());
    EXPECT_EQ(client.Socket().Handle(), 0u);
}

TEST_F(ProtocolClientTest, PortZeroFailsAtConnect) {
    TestServerContext context("127.0.0.1", 0);
    ProtocolClient client(context);
    EXPECT_EQ(client.Hello(), 0);
    EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"Connect失敗"});
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
