// Several calendar-server processes on one PostgreSQL database, and moving a
// calendar between the engines with the copy command.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/CalendarStore.h"
#include "tests/server/ServerHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace {

int AddCategory(const std::string& database) {
    std::string output;
    EXPECT_EQ(RunServerCommand({"add-category", "--db", database, "Work"}, &output), 0);
    return std::atoi(output.c_str());
}

// Adds a genre through `port`; returns the highest genre id then stored.
int AddGenre(int port, int category, const std::string& name) {
    EXPECT_TRUE(IsSuccessReply(Exchange(port, GenreSetLine(OP_ADD, 0, LEVEL_GENRE, category, name, name))));
    int id = 0;
    for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(2, "")))) {
        id = std::max(id, RecordFields(line).Int(1));
    }
    return id;
}

bool HasGenre(int port, int genre) {
    for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(2, "")))) {
        if (RecordFields(line).Int(1) == genre) return true;
    }
    return false;
}

class TwoServersOneDatabase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TestingOnPostgres()) << "runs against the PostgreSQL test cluster"; }

    TempDir folder_;
    std::string database_ = FreshDatabase(folder_);
    ServerProcess a_{{"--threads", "4"}, database_};
    ServerProcess b_{{"--threads", "4"}, database_};
};

TEST_F(TwoServersOneDatabase, EachSeesTheOthersWritesAndIdsStayUnique) {
    int category = AddCategory(database_);
    int genre = AddGenre(a_.Port(), category, "Meeting");
    // B keeps a shared reply of the empty schedules; a write through A
    // makes it stale, and B must notice.
    ASSERT_EQ(RecordLines(Exchange(b_.Port(), BuildGetLine(1, ""))).size(), 0u);
    ASSERT_TRUE(IsSuccessReply(Exchange(a_.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "through A", genre))));
    EXPECT_EQ(RecordLines(Exchange(b_.Port(), BuildGetLine(1, ""))).size(), 1u);
    EXPECT_TRUE(HasGenre(b_.Port(), genre));

    constexpr int kClients = 16;
    constexpr int kEach = 8;
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < kClients; ++client) {
        clients.emplace_back([&, client] {
            for (int i = 0; i < kEach; ++i) {
                int port = (client + i) % 2 == 0 ? a_.Port() : b_.Port();
                std::string text = "client " + std::to_string(client) + " item " + std::to_string(i);
                if (!IsSuccessReply(Exchange(port, ScheduleSetLine(OP_ADD, 20070102 + i, 0, text, genre)))) ++failures;
            }
        });
    }
    for (std::thread& thread : clients) thread.join();
    EXPECT_EQ(failures.load(), 0);

    std::string fromA = Exchange(a_.Port(), BuildGetLine(1, ""));
    EXPECT_EQ(fromA, Exchange(b_.Port(), BuildGetLine(1, "")));
    std::set<int> ids;
    std::set<std::string> texts;
    for (const std::string& line : RecordLines(fromA)) {
        ScheduleRecord record;
        ParseScheduleRecord(line, record);
        ids.insert(record.id);
        texts.emplace(FieldText(record.text));
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(kClients * kEach + 1));
    EXPECT_EQ(texts.size(), static_cast<size_t>(kClients * kEach + 1));
    EXPECT_EQ(texts.count("client 15 item 7"), 1u);
}

// A genre is deleted through A while a schedule for it is added through B at
// the same moment: one of them wins, and never both.
TEST_F(TwoServersOneDatabase, AGenreInUseIsNeverDeletedUnderARacingAdd) {
    int category = AddCategory(database_);
    int deleted = 0;
    int added = 0;
    for (int round = 0; round < 24; ++round) {
        int genre = AddGenre(a_.Port(), category, "Race " + std::to_string(round));
        std::string addReply;
        std::string deleteReply;
        std::thread adder([&] {
            addReply = Exchange(b_.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "racing", genre));
        });
        std::thread deleter([&] {
            deleteReply = Exchange(a_.Port(), GenreSetLine(OP_DELETE, genre, LEVEL_GENRE, category, "", ""));
        });
        adder.join();
        deleter.join();
        bool scheduleAdded = IsSuccessReply(addReply);
        bool genreDeleted = IsSuccessReply(deleteReply);
        EXPECT_NE(scheduleAdded, genreDeleted) << Unescape(addReply) << Unescape(deleteReply);
        EXPECT_EQ(HasGenre(b_.Port(), genre), !genreDeleted);
        deleted += genreDeleted;
        added += scheduleAdded;
    }
    // Every schedule still has its genre and category names.
    size_t schedules = 0;
    for (const std::string& line : RecordLines(Exchange(a_.Port(), BuildGetLine(1, "")))) {
        ScheduleRecord record;
        ParseScheduleRecord(line, record);
        EXPECT_FALSE(FieldText(record.genreName).empty());
        ++schedules;
    }
    EXPECT_EQ(schedules, static_cast<size_t>(added));
    EXPECT_EQ(deleted + added, 24);
}

// The record lines of the three data sets (each database counts its own
// versions, so the status lines are left out).
std::string WholeCalendar(int port) {
    std::string records;
    for (int dataSet : {1, 2, 3}) {
        std::string reply = Exchange(port, BuildGetLine(dataSet, ""));
        records += reply.substr(reply.find("\r\n") + 2);
    }
    return records;
}

// Imports `ics` into `database` and returns the command's report.
std::string ImportIcs(const std::string& database, int genre, const std::string& ics) {
    std::string output;
    EXPECT_EQ(RunServerCommand({"import-ics", "--db", database, "--genre", std::to_string(genre), ics}, &output), 0)
        << output;
    return output;
}

// SQLite to PostgreSQL and back: the same records, bytes, ids and
// revisions, and the remembered events of other calendars; new ids
// continue above the highest ever given out.
TEST(CopyCommand, ACalendarMovesToPostgresAndBackWithItsIdsAndBytes) {
    ASSERT_TRUE(TestingOnPostgres());
    TempDir folder;
    std::string sqlite = folder.Path() + "/start.db";
    ASSERT_EQ(RunServerCommand({"demo", "--db", sqlite}), 0);
    ASSERT_EQ(RunServerCommand({"holidays", "--db", sqlite, "2019", "2019"}), 0);
    std::string original;
    int genre = 0;
    {
        ServerProcess server({}, sqlite);
        // Bytes no character table maps, a lone lead byte, and a deleted
        // schedule whose id must stay used up.
        genre = RecordFields(RecordLines(Exchange(server.Port(), BuildGetLine(2, "")))[1]).Int(1);
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "\x85\x40\xFC\xFC\xA0 \xEF\xFF\x81", genre))));
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "gone", genre))));
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_DELETE, 20070101, 302, "", genre))));
        // Revisions past 1: a schedule changed twice, a genre and a day once.
        for (const char* text : {"changed", "changed twice"}) {
            ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_CHANGE, 20070102, 1, text, genre))));
        }
        CategoryRecord renamed;
        ParseCategoryRecord(RecordLines(Exchange(server.Port(), BuildGetLine(2, "")))[1], renamed);
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), GenreSetLine(OP_CHANGE, renamed.id, LEVEL_GENRE, renamed.parentId,
                                                                          "renamed", "renamed"))));
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), DateInfoSetLine(20190101, "renamed", 1))));
        original = WholeCalendar(server.Port());
    }
    ASSERT_NE(original.find("\x85\x40\xFC\xFC\xA0"), std::string::npos);
    ASSERT_NE(original.find(":changed+20twice:" + std::to_string(genre) + ":3:"), std::string::npos);
    ASSERT_NE(original.find(":renamed:1:2:"), std::string::npos) << "the day at revision 2";
    // An event of another calendar, imported once: remembered by its UID.
    std::string ics = folder.Path() + "/other.ics";
    {
        std::ofstream(ics) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//copy//EN\r\nBEGIN:VEVENT\r\n"
                              "UID:copied-1@other.example\r\nDTSTAMP:20260101T000000Z\r\n"
                              "DTSTART;VALUE=DATE:20270610\r\nSUMMARY:Imported\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    }
    ASSERT_NE(ImportIcs(sqlite, genre, ics).find("schedules added: 1"), std::string::npos);
    {
        ServerProcess server({}, sqlite);
        original = WholeCalendar(server.Port());
    }

    std::string postgres = FreshDatabase(folder);
    std::string output;
    ASSERT_EQ(RunServerCommand({"copy", "--from", sqlite, "--to", postgres}, &output), 0) << output;
    EXPECT_NE(RunServerCommand({"copy", "--from", sqlite, "--to", postgres}), 0) << "the target must be empty";
    std::string back = folder.Path() + "/back.db";
    ASSERT_EQ(RunServerCommand({"copy", "--from", postgres, "--to", back}, &output), 0) << output;

    // A backup of the PostgreSQL calendar holds them too.
    std::string backup = folder.Path() + "/backup.db";
    ASSERT_EQ(RunServerCommand({"backup", "--db", postgres, "--to", backup}, &output), 0) << output;

    for (const std::string& database : {postgres, back, backup}) {
        EXPECT_NE(ImportIcs(database, genre, ics).find("schedules added: 0"), std::string::npos) << database;
        ServerProcess server({}, database);
        EXPECT_TRUE(WholeCalendar(server.Port()) == original) << database;
        ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "new", genre))));
        int newest = 0;
        for (const std::string& line : RecordLines(Exchange(server.Port(), BuildGetLine(1, "")))) {
            newest = std::max(newest, RecordFields(line).Int(2));
        }
        EXPECT_EQ(newest, 304) << database;  // 303 is the imported event's
    }
}

// Seeding many schedules at once (demo data, test and benchmark databases)
// goes out in batches: every byte arrives, and ids follow the rows' order
// across the batches' seams.
TEST(BulkImport, KeepsEveryByteAndTheRowsOrderAcrossBatches) {
    ASSERT_TRUE(TestingOnPostgres());
    TempDir folder;
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(FreshDatabase(folder));
    ChangeStamp stamp{"2026/12/07 10:00", "127.0.0.2"};
    int32_t genre = store->AddGenre(store->AddCategory("Work", "Work", stamp), "Meeting", "Mtg", stamp);
    std::vector<ScheduleRow> rows;
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) everyByte += static_cast<char>(byte);
    rows.push_back({20070101, everyByte, genre});
    rows.push_back({20070102, "", genre});
    for (int i = 2; i < 25000; ++i) rows.push_back({20070101 + i % 28, std::to_string(i) + "\"{a,b}\\'\x81\x5C", genre});
    store->ImportSchedules(rows, stamp);

    CalendarContents contents = store->Export();
    std::sort(contents.schedules.begin(), contents.schedules.end(),
              [](const auto& a, const auto& b) { return a.id < b.id; });
    ASSERT_EQ(contents.schedules.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const CalendarContents::Schedule& held = contents.schedules[i];
        ASSERT_EQ(held.text, rows[i].text) << "row " << i;
        ASSERT_EQ(held.date, rows[i].date) << "row " << i;
        ASSERT_EQ(held.genreId, genre);
        ASSERT_EQ(held.entered + held.host, "2026/12/07 10:00127.0.0.2");
        if (i) {
            ASSERT_GT(held.id, contents.schedules[i - 1].id);
        }
    }
    EXPECT_EQ(store->CountSchedules(), 25000);
}

}  // namespace
