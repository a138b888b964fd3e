// A short soak: a handful of clients refreshing in a loop with the client's
// load sequence against the real (uninstrumented) calendar server holding
// 10,000 schedules. No request may fail, every load must bring every
// record, and the server's resident memory must stay flat once every client
// has loaded once. The long run with 20 clients is bench/SoakBench.
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/LoadSoak.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LoadSoakTest, ClientsRefreshingInALoopMeetNoErrorAndServerMemoryStaysFlat) {
    const std::string database = std::string(RDZ_TEST_TMP) + "/soak.db";
    ASSERT_TRUE(RunShell("rm -f " + ShellQuote(database) + "* && " + ShellQuote(RDZ_SEED_PROGRAM) + " " +
                             ShellQuote(database) + " 10000",
                         120000));
    CalendarServerProcess server(RDZ_SOAK_SERVER, database);
    ASSERT_NE(server.Port(), 0) << server.Log();

    LoadSoakOptions options;
    options.clients = 4;
    options.seconds = 25;
    options.schedules = 10000;
    LoadSoakResult result = RunLoadSoak(server, options);

    EXPECT_EQ(result.errors, 0) << (result.firstErrors.empty() ? "" : result.firstErrors.front());
    EXPECT_GE(result.loads, options.clients * 2);
    EXPECT_GT(result.residentWarmKb, result.residentAtStartKb) << "the server's memory was not read";
    ASSERT_GT(result.samples, 0);
    // Generous: a 1 MB reply kept per request would cross it within a few dozen loads.
    EXPECT_LE(result.residentAfterWarmUpKb, result.residentWarmKb + 32 * 1024);
    // Every load sent its four requests, each logged by the server (stopped
    // first, so that every line is written).
    server.Stop();
    const size_t loads = static_cast<size_t>(result.loads);
    EXPECT_EQ(server.Logged("HELLO"), loads);
    EXPECT_EQ(server.Logged("GET 1"), loads);
    EXPECT_EQ(server.Logged("GET 2"), loads);
    EXPECT_EQ(server.Logged("GET 3"), loads);
}

}  // namespace
