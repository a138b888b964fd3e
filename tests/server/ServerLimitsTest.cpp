// The real calendar-server under stress and abuse: over-long lines, silent
// and dribbling clients, a full server, binary bytes, half-closed
// connections, refused networks, concurrency, stopping and kill -9.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/CalendarStore.h"
#include "server/RequestParser.h"
#include "tests/server/ServerHarness.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

const std::string kHello = "HELLO RDZVP/0.0\r\n";

bool IsError(const std::string& reply) {
    return !reply.empty() && reply[0] == '-';
}

int AddCategoryAndGenre(const ServerProcess& server) {
    std::string output;
    EXPECT_EQ(RunServerCommand({"add-category", "--db", server.DatabasePath(), "Work"}, &output), 0);
    int category = std::atoi(output.c_str());
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), GenreSetLine(OP_ADD, 0, LEVEL_GENRE, category, "Meeting", "Mtg"))));
    int genre = 0;
    for (const std::string& line : RecordLines(Exchange(server.Port(), BuildGetLine(2, "")))) {
        if (RecordFields(line).Int(2) == LEVEL_GENRE) genre = RecordFields(line).Int(1);
    }
    return genre;
}

// Whether the server answers a HELLO again within about two seconds, once
// the connections that filled it are gone.
bool ServesAgainSoon(int port) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (IsSuccessReply(Exchange(port, kHello))) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(ServerLimits, LinesUpTo64KiBAreServedLongerOnesGetAnErrorReply) {
    ServerProcess server;
    const std::string prefix = "GET RDZVP/0.0 1 schedule+20like+20'";
    const std::string suffix = "'+20";
    std::string longest = prefix + std::string(64 * 1024 - prefix.size() - suffix.size(), 'x') + suffix;
    ASSERT_EQ(longest.size(), 64u * 1024);
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), longest + "\r\n")));

    // One byte more, and a flood without any line end: the reply arrives
    // whole although the client is still sending.
    std::string tooLong = prefix + std::string(64 * 1024 - prefix.size() - suffix.size() + 1, 'x') + suffix + "\r\n";
    std::string reply = Exchange(server.Port(), tooLong);
    EXPECT_TRUE(IsError(reply));
    EXPECT_NE(Unescape(reply).find("64 KiB"), std::string::npos);
    reply = Exchange(server.Port(), std::string(1 << 20, 'A'));
    EXPECT_TRUE(IsError(reply));
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
}

TEST(ServerLimits, SilentAndDribblingClientsTimeOutWithoutHoldingUpOthers) {
    ServerProcess server({"--request-timeout", "2", "--threads", "1"});
    auto started = std::chrono::steady_clock::now();
    TestConnection silent(server.Port());
    TestConnection dribbling(server.Port());
    dribbling.Send("HEL");
    // Meanwhile other clients are served, long before the two time out.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
    EXPECT_FALSE(silent.ClosedWithin(1ms));
    dribbling.Send("LO RD");
    std::string silentReply = silent.ReadAll(10s);
    std::string dribblingReply = dribbling.ReadAll(10s);
    EXPECT_TRUE(IsError(silentReply));
    EXPECT_NE(Unescape(silentReply).find("時間内に"), std::string::npos);
    EXPECT_TRUE(IsError(dribblingReply));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 1900ms);
}

TEST(ServerLimits, AFullServerSaysSoAndRecovers) {
    ServerProcess server({"--max-connections", "4"});
    std::vector<std::unique_ptr<TestConnection>> idle;
    for (int i = 0; i < 4; ++i) {
        idle.push_back(std::make_unique<TestConnection>(server.Port()));
        idle.back()->Send("H");
    }
    // The loop registers connections as it accepts them: wait until the
    // server is seen full.
    std::string reply;
    for (int attempt = 0; attempt < 200 && !IsError(reply); ++attempt) {
        reply = Exchange(server.Port(), kHello);
        if (!IsError(reply)) std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(IsError(reply));
    EXPECT_NE(Unescape(reply).find("混み合って"), std::string::npos);
    idle.clear();
    EXPECT_TRUE(ServesAgainSoon(server.Port()));
}

// Connections from `host` (a loopback address) that send part of a line
// and wait; returns how many of them the server turned away at once.
int OpenStalledConnections(int port, const char* host, int count,
                           std::vector<std::unique_ptr<TestConnection>>& held) {
    std::vector<std::unique_ptr<TestConnection>> opened;
    for (int i = 0; i < count; ++i) {
        opened.push_back(std::make_unique<TestConnection>(port, 0, host));
        opened.back()->Send("GET RDZ");
    }
    int turnedAway = 0;
    auto deadline = std::chrono::steady_clock::now() + 1500ms;
    std::vector<bool> closed(opened.size(), false);
    while (std::chrono::steady_clock::now() < deadline) {
        for (size_t i = 0; i < opened.size(); ++i) {
            if (!closed[i] && opened[i]->ClosedWithin(1ms)) {
                closed[i] = true;
                ++turnedAway;
            }
        }
    }
    for (size_t i = 0; i < opened.size(); ++i) {
        if (!closed[i]) held.push_back(std::move(opened[i]));
    }
    return turnedAway;
}

TEST(ServerLimits, OneHostCannotTakeEverySlotAndHundredsOfConnectionsLeaveTheServerWorking) {
    ServerProcess server({"--max-connections", "100", "--max-per-address", "30", "--request-timeout", "60"});
    std::vector<std::unique_ptr<TestConnection>> held;
    // A greedy host gets its share and no more; others are still served.
    EXPECT_EQ(OpenStalledConnections(server.Port(), "127.0.0.2", 80, held), 50);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello, "127.0.0.1")));
    std::string reply = Exchange(server.Port(), kHello, "127.0.0.2");
    ASSERT_TRUE(IsError(reply));
    EXPECT_NE(Unescape(reply).find("このアドレスからの接続が多すぎます"), std::string::npos);
    // Many hosts together fill the server: past the total, "busy".
    int turnedAway = 0;
    for (const char* host : {"127.0.0.3", "127.0.0.4", "127.0.0.5"}) {
        turnedAway += OpenStalledConnections(server.Port(), host, 30, held);
    }
    EXPECT_EQ(turnedAway, 30 * 3 - (100 - 30));
    EXPECT_EQ(held.size(), 100u);
    reply = Exchange(server.Port(), kHello, "127.0.0.1");
    EXPECT_NE(Unescape(reply).find("混み合って"), std::string::npos) << reply;
    held.clear();
    EXPECT_TRUE(ServesAgainSoon(server.Port()));
}

TEST(ServerLimits, NulAndBinaryBytesGetErrorRepliesAndTheServerGoesOn) {
    ServerProcess server;
    for (const std::string& request :
         {"HELLO RDZVP/0.0\0\r\n"s, "\0\0\0\0\r\n"s, "GET RDZVP/0.0 1 \0\r\n"s, "\xFF\xFE\xFD\x80\x00\x01\r\n"s}) {
        std::string reply = Exchange(server.Port(), request);
        EXPECT_TRUE(IsError(reply));
    }
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
    Exchange(server.Port(), garbage);
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
}

TEST(ServerLimits, HalfClosedAndVanishedClientsAreHandled) {
    ServerProcess server({"--request-timeout", "1"});
    {
        TestConnection halfClosed(server.Port());
        halfClosed.Send("HELLO RDZ");
        halfClosed.ShutdownSending();
        EXPECT_TRUE(IsError(halfClosed.ReadAll(5s)));
    }
    {
        // The request line complete, then the sending side closed: still answered.
        TestConnection halfClosed(server.Port());
        halfClosed.Send(kHello);
        halfClosed.ShutdownSending();
        EXPECT_TRUE(IsSuccessReply(halfClosed.ReadAll(5s)));
    }
    for (int i = 0; i < 20; ++i) {
        TestConnection vanished(server.Port());
        if (i % 2) vanished.Send("GET RDZVP/0.0 1 ");
    }
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
}

// The power-cut half of durability, which a kill -9 cannot show (the page
// cache survives it): every store connection syncs at each commit, through
// SQLite's WAL or PostgreSQL's synchronous commit.
TEST(ServerDurability, StoreConnectionsSyncEveryCommit) {
    TempDir folder;
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(FreshDatabase(folder));
    EXPECT_EQ(store->CommitDurability(),
              TestingOnPostgres() ? "synchronous_commit=on fsync=on" : "journal_mode=wal synchronous=2");
}

// A database whose GET 1 reply (several megabytes) is more than the socket
// buffers hold.
std::string LargeDatabase(const TempDir& folder, size_t schedules = 30000) {
    std::string database = FreshDatabase(folder);
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(database);
    ChangeStamp stamp = StampNow("127.0.0.1");
    int32_t genre = store->AddGenre(store->AddCategory("Work", "Work", stamp), "Meeting", "Mtg", stamp);
    store->ImportSchedules(std::vector<ScheduleRow>(schedules, ScheduleRow{20070101, std::string(200, 'x'), genre}), stamp);
    return database;
}

// Whether a reply of a whole data set is whole: as many record lines as
// its status line names.
bool WholeGetReply(const std::string& reply, size_t expectedRecords) {
    std::string status = "+OK RDZVP/0.0 " + std::to_string(expectedRecords) + " VERSION ";
    return reply.compare(0, status.size(), status) == 0 && RecordLines(reply).size() == expectedRecords &&
           reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0;
}

TEST(ServerLimits, AClientThatStopsReadingDoesNotHoldTheServer) {
    TempDir folder;
    std::string database = LargeDatabase(folder);
    ServerProcess server({"--threads", "1", "--reply-timeout", "1"}, database);
    TestConnection stalled(server.Port(), 4096);
    stalled.Send(BuildGetLine(1, ""));
    ASSERT_TRUE(stalled.ReadableWithin(20s)) << "the worker is sending the reply";
    // The next client is served meanwhile; the stalled reply is given up
    // after its one-second stall.
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
    auto deadline = std::chrono::steady_clock::now() + 20s;
    while (server.Log().find("reply cut off") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_NE(server.Log().find("reply cut off"), std::string::npos) << server.Log();
    // The client can tell: reading on ends in a reset, not in a close that
    // looks like the end of a whole reply.
    EXPECT_THROW(stalled.ReadAll(20s), std::runtime_error);
}

TEST(ServerLimits, AClientThatReadsSlowlyButSteadilyGetsTheWholeReply) {
    TempDir folder;
    // More than the kernel's socket buffers hold (about 5 MB).
    constexpr size_t kSchedules = 20000;
    std::string database = LargeDatabase(folder, kSchedules);
    // The stall limit is far shorter than the time the client needs to empty
    // the server's send queue, but the client never stops taking bytes
    // (1.6 MB/s).
    ServerProcess server({"--reply-timeout", "0.5"}, database);
    TestConnection slow(server.Port(), 16384);
    slow.Send(BuildGetLine(1, ""));
    std::string reply;
    auto deadline = std::chrono::steady_clock::now() + 30s;
    for (;;) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(20ms);
        char buffer[32768];
        ssize_t n = ::recv(slow.Fd(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) break;
        if (n < 0 && errno == EAGAIN) continue;
        ASSERT_GT(n, 0) << std::strerror(errno) << " after " << reply.size() << " bytes\n" << server.Log();
        reply.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_TRUE(WholeGetReply(reply, kSchedules)) << reply.size() << " bytes\n" << server.Log();
    EXPECT_EQ(server.Log().find("cut off"), std::string::npos) << server.Log();
}

TEST(ServerLimits, ClientsThatStopReadingDoNotHoldUpOthers) {
    TempDir folder;
    std::string database = LargeDatabase(folder);
    // One worker and a long stall allowance: a reply the client does not take
    // must not keep the worker from the next client.
    ServerProcess server({"--threads", "1", "--reply-timeout", "60"}, database);
    std::vector<std::unique_ptr<TestConnection>> stalled;
    for (int i = 0; i < 3; ++i) {
        stalled.push_back(std::make_unique<TestConnection>(server.Port(), 4096));
        stalled.back()->Send(BuildGetLine(1, ""));
        ASSERT_TRUE(stalled.back()->ReadableWithin(20s)) << "the reply has started";
    }
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), BuildGetLine(2, ""))));
    // Far below the 60 s a stalled reply may take: nobody waited for one.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
}

// A condition of `clauses` "like" clauses that each cost the matcher some
// 20,000 steps on each of the large database's texts and never match.
std::string CostlyCondition(size_t clauses) {
    std::string pattern = "%" + std::string(150, 'x') + "y%";
    std::string condition;
    for (size_t i = 0; i < clauses; ++i) condition += (i ? "and schedule like '" : "schedule like '") + pattern + "' ";
    return condition;
}

// Sends a request and closes with a reset before any reply.
void SendAndReset(int port, const std::string& line) {
    TestConnection connection(port);
    connection.Send(line);
    linger abortive{1, 0};
    ::setsockopt(connection.Fd(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}

TEST(ServerLimits, CostlyRequestsAreCutShortAndHoldUpNeitherOthersNorAStop) {
    TempDir folder;
    std::string database = LargeDatabase(folder);
    {
        ServerProcess server({"--threads", "1", "--query-timeout", "2", "--reply-memory", "1"}, database);
        std::string tooMany = Exchange(server.Port(), BuildGetLine(1, CostlyCondition(kMaxConditionClauses + 1)));
        EXPECT_NE(Unescape(tooMany).find("16 個まで"), std::string::npos) << Unescape(tooMany);

        TestConnection costly(server.Port());
        auto started = std::chrono::steady_clock::now();
        costly.Send(BuildGetLine(1, CostlyCondition(kMaxConditionClauses)));
        // Queued behind it on the one worker, from a client that resets: never built.
        SendAndReset(server.Port(), BuildGetLine(1, CostlyCondition(kMaxConditionClauses)));
        // The server check is answered at once meanwhile.
        EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 250ms);
        std::string reply = costly.ReadAll(10s);
        EXPECT_NE(Unescape(reply).find("時間がかかりすぎる"), std::string::npos) << Unescape(reply);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);

        // A search larger than the memory for search replies is told the
        // server is busy; the shared unconditioned reply is not limited.
        std::string search = Exchange(server.Port(), BuildGetLine(1, "schedule like '%x%' "));
        EXPECT_NE(Unescape(search).find("混み合って"), std::string::npos) << Unescape(search).substr(0, 200);
        EXPECT_TRUE(WholeGetReply(Exchange(server.Port(), BuildGetLine(1, "")), 30000));
        server.Stop();
        EXPECT_NE(server.Log().find("error(time-budget)"), std::string::npos) << server.Log();
        EXPECT_NE(server.Log().find("dropped(client gone"), std::string::npos) << server.Log();
    }
    // A stop waits neither for a costly request (it is cut short at once)
    // nor long for a client that does not take its reply.
    ServerProcess server({"--threads", "2", "--query-timeout", "120"}, database);
    TestConnection notReading(server.Port(), 4096);
    notReading.Send(BuildGetLine(1, ""));
    ASSERT_TRUE(notReading.ReadableWithin(20s));
    TestConnection costly(server.Port());
    costly.Send(BuildGetLine(1, CostlyCondition(kMaxConditionClauses)));
    std::this_thread::sleep_for(300ms);
    auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 4s);
    EXPECT_NE(Unescape(costly.ReadAll(5s)).find("停止しています"), std::string::npos);
}

TEST(ServerLimits, ClientsOutsideTheAllowedNetworksAreRefused) {
    ServerProcess refusing({"--allow", "10.0.0.0/8", "--allow", "192.168.1.0/24"});
    std::string reply = Exchange(refusing.Port(), kHello);
    ASSERT_TRUE(IsError(reply));
    EXPECT_NE(Unescape(reply).find("許可されていません"), std::string::npos);
    EXPECT_EQ(reply.find("DATA"), std::string::npos);
    // Also when the client is still sending a lot: the reply survives.
    EXPECT_TRUE(IsError(Exchange(refusing.Port(), BuildGetLine(1, std::string(60000, 'x')))));

    ServerProcess allowing({"--allow", "127.0.0.1/32"});
    EXPECT_TRUE(IsSuccessReply(Exchange(allowing.Port(), kHello)));
}

TEST(ServerConcurrency, DozensOfClientsInParallelGetExactResults) {
    ServerProcess server({"--threads", "4"});
    int genre = AddCategoryAndGenre(server);
    constexpr int kClients = 32;
    constexpr int kEach = 5;
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < kClients; ++client) {
        clients.emplace_back([&, client] {
            for (int i = 0; i < kEach; ++i) {
                std::string text = "client " + std::to_string(client) + " item " + std::to_string(i);
                if (!IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_ADD, 20070101 + i, 0, text, genre)))) ++failures;
                // Reads in between always see whole records.
                std::string reply = Exchange(server.Port(), BuildGetLine(1, ""));
                for (const std::string& line : RecordLines(reply)) {
                    if (RecordFields(line).Count() != 10) ++failures;
                }
            }
        });
    }
    for (std::thread& thread : clients) thread.join();
    EXPECT_EQ(failures.load(), 0);

    std::set<std::string> texts;
    std::set<int> ids;
    for (const std::string& line : RecordLines(Exchange(server.Port(), BuildGetLine(1, "")))) {
        ScheduleRecord record;
        ParseScheduleRecord(line, record);
        texts.emplace(FieldText(record.text));
        ids.insert(record.id);
    }
    EXPECT_EQ(texts.size(), static_cast<size_t>(kClients * kEach));
    EXPECT_EQ(ids.size(), static_cast<size_t>(kClients * kEach));
    EXPECT_EQ(texts.count("client 31 item 4"), 1u);
}

TEST(ServerDurability, AnAnsweredSetSurvivesKillNine) {
    TempDir folder;
    std::string database = FreshDatabase(folder);
    int genre = 0;
    {
        ServerProcess server({}, database);
        genre = AddCategoryAndGenre(server);
        for (int i = 0; i < 3; ++i) {
            std::string line = ScheduleSetLine(OP_ADD, 20070101, 0, "durable " + std::to_string(i), genre);
            ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), line)));
        }
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), DateInfoSetLine(20070101, "durable day", 1))));
        server.Kill();  // right after the last success reply
    }
    ServerProcess restarted({}, database);
    EXPECT_EQ(RecordLines(Exchange(restarted.Port(), BuildGetLine(1, ""))).size(), 3u);
    EXPECT_EQ(RecordLines(Exchange(restarted.Port(), BuildGetLine(3, ""))).size(), 1u);
    EXPECT_EQ(RecordLines(Exchange(restarted.Port(), BuildGetLine(2, ""))).size(), 2u);
}

TEST(ServerShutdown, SigtermFinishesTheRequestInFlightAndClosesTheDatabase) {
    ServerProcess server;
    TestConnection inFlight(server.Port());
    inFlight.Send("HELLO RDZ");
    // Connections are accepted in order: once a later one is answered, the
    // loop holds the first.
    ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), kHello)));
    int status = -1;
    std::thread stopper([&] { status = server.Stop(); });
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server.Log().find("stopping") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    inFlight.Send("VP/0.0\r\n");
    EXPECT_TRUE(IsSuccessReply(inFlight.ReadAll(10s)));
    stopper.join();
    EXPECT_EQ(status, 0) << server.Log();
    // A clean close folds SQLite's write-ahead log back into the database.
    if (!TestingOnPostgres()) {
        EXPECT_FALSE(std::filesystem::exists(server.DatabasePath() + "-wal"));
    }
    EXPECT_NE(server.Log().find("stopped"), std::string::npos);
}

TEST(ServerLog, OneLinePerRequestWithClientKindBytesTimeAndResult) {
    ServerProcess server;
    std::string reply = Exchange(server.Port(), kHello);
    Exchange(server.Port(), "GET RDZVP/0.0 2 x\r\n");
    server.Stop();
    std::string log = server.Log();
    EXPECT_NE(log.find("127.0.0.1 HELLO sent=" + std::to_string(reply.size()) + " ms="), std::string::npos) << log;
    EXPECT_NE(log.find("127.0.0.1 GET 2 sent="), std::string::npos) << log;
    EXPECT_NE(log.find("error(bad-condition)"), std::string::npos) << log;
}

}  // namespace
