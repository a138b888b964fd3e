// The real calendar-server over TCP: every request kind and op, the record
// layouts, escaping round trips, the search condition and its matching.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/Postgres.h"
#include "server/Sqlite.h"
#include "tests/server/ServerHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::string_literals;

namespace {

const std::string kHello = "HELLO RDZVP/0.0\r\n";

bool IsError(const std::string& reply) {
    return !reply.empty() && reply[0] == '-';
}

// "YYYY/MM/DD HH:MM"
bool LooksLikeEntryTime(std::string_view text) {
    const std::string_view shape = "0000/00/00 00:00";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '0' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

// A server with one category holding two genres, and a second category.
class CalendarServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = AddCategory("業務", "業務");
        meetings_ = AddGenre(work_, "会議", "会議");
        trips_ = AddGenre(work_, "出張", "出張");
        home_ = AddCategory("個人", "個人");
        hobbies_ = AddGenre(home_, "趣味", "趣味");
    }

    int AddCategory(const std::string& name, const std::string& shortName) {
        std::string output;
        int status = RunServerCommand({"add-category", "--db", server_.DatabasePath(), "--raw", name, shortName}, &output);
        EXPECT_EQ(status, 0);
        return std::atoi(output.c_str());
    }

    // Adds a genre through the protocol and returns its id.
    int AddGenre(int categoryId, const std::string& name, const std::string& shortName) {
        std::string reply = Request(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, categoryId, name, shortName));
        EXPECT_TRUE(IsSuccessReply(reply)) << reply;
        int id = 0;
        for (const std::string& line : RecordLines(Request(BuildGetLine(2, "")))) {
            id = std::max(id, RecordFields(line).Int(1));
        }
        return id;
    }

    std::string Request(const std::string& line) { return Exchange(server_.Port(), line); }

    std::vector<ScheduleRecord> Schedules(const std::string& condition = "") {
        std::string reply = Request(BuildGetLine(1, condition));
        EXPECT_TRUE(IsSuccessReply(reply)) << Unescape(reply);
        // The status line names the number of record lines that follow, and
        // for the whole data set its version (a search names none).
        std::string status = "+OK RDZVP/0.0 " + std::to_string(RecordLines(reply).size());
        if (condition.empty()) status += " VERSION " + std::to_string(AnnouncedVersion(reply));
        EXPECT_EQ(reply.substr(0, reply.find('\n') + 1), status + "\r\n");
        EXPECT_EQ(AnnouncedVersion(reply) >= 0, condition.empty()) << reply.substr(0, 60);
        std::vector<ScheduleRecord> records;
        for (const std::string& line : RecordLines(reply)) {
            records.emplace_back();
            ParseScheduleRecord(line, records.back());
        }
        return records;
    }

    std::vector<std::string> ScheduleTexts(const std::string& condition = "") {
        std::vector<std::string> texts;
        for (const ScheduleRecord& record : Schedules(condition)) texts.emplace_back(FieldText(record.text));
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    void AddSchedule(int date, const std::string& text, int genreId) {
        std::string reply = Request(ScheduleSetLine(OP_ADD, date, 0, text, genreId));
        ASSERT_TRUE(IsSuccessReply(reply)) << Unescape(reply);
    }

    ServerProcess server_;
    int work_ = 0, meetings_ = 0, trips_ = 0, home_ = 0, hobbies_ = 0;
};

TEST_F(CalendarServerTest, HelloAndEmptyGetsAreNonEmptySuccessesWithoutRecords) {
    EXPECT_EQ(Request(kHello), "+OK RDZVP/0.0\r\n");
    for (int dataSet : {1, 3}) EXPECT_EQ(Request(BuildGetLine(dataSet, "")), "+OK RDZVP/0.0 0 VERSION 0\r\n");
    std::string genres = Request(BuildGetLine(2, ""));
    EXPECT_EQ(genres.substr(0, 24), "+OK RDZVP/0.0 5 VERSION ") << genres;
    EXPECT_EQ(genres.substr(genres.find("\r\n"), 6), "\r\nDATA") << genres;
    EXPECT_EQ(RecordLines(genres).size(), 5u);
    EXPECT_EQ(Request(DateInfoSetLine(20070101, "x", 0)), "+OK RDZVP/0.0\r\n");
}

TEST_F(CalendarServerTest, ScheduleOpsAddChangeAndDelete) {
    AddSchedule(20061224, "Party at home", meetings_);
    std::vector<ScheduleRecord> records = Schedules();
    ASSERT_EQ(records.size(), 1u);
    const ScheduleRecord added = records[0];
    EXPECT_EQ(added.date, 20061224);
    EXPECT_GT(added.id, 0);
    EXPECT_EQ(FieldText(added.text), "Party at home");
    EXPECT_EQ(added.genreId, meetings_);
    EXPECT_EQ(FieldText(added.genreName), "会議");
    EXPECT_EQ(FieldText(added.categoryName), "業務");
    EXPECT_EQ(FieldText(added.host), "127.0.0.1");
    EXPECT_TRUE(LooksLikeEntryTime(FieldText(added.entered))) << FieldText(added.entered);

    // Change moves it to another day and genre.
    ASSERT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_CHANGE, 20061225, added.id, "Moved", trips_))));
    records = Schedules();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id, added.id);
    EXPECT_EQ(records[0].date, 20061225);
    EXPECT_EQ(FieldText(records[0].text), "Moved");
    EXPECT_EQ(FieldText(records[0].genreName), "出張");

    // Op 0 and a delete of id 0 succeed and change nothing.
    EXPECT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_NONE, 20061226, added.id, "ignored", trips_))));
    EXPECT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_DELETE, 20061226, 0, "ignored", trips_))));
    EXPECT_EQ(FieldText(Schedules()[0].text), "Moved");

    ASSERT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_DELETE, 20061225, added.id, "Moved", trips_))));
    EXPECT_TRUE(Schedules().empty());
}

TEST_F(CalendarServerTest, ChangeWithIdZeroAdds) {
    ASSERT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_CHANGE, 20070101, 0, "added then edited", meetings_))));
    EXPECT_EQ(ScheduleTexts(), std::vector<std::string>{"added then edited"});
}

TEST_F(CalendarServerTest, BadSchedulesAreRefusedAndNothingIsStored) {
    AddSchedule(20070101, "keep", meetings_);
    int id = Schedules()[0].id;
    const std::vector<std::string> bad = {
        ScheduleSetLine(4, 20070101, 0, "unknown op", meetings_),
        "SET RDZVP/0.0 1 2:20070101::missing+20id:" + FormatInt(meetings_) + "\r\n",
        "SET RDZVP/0.0 1 1:20070101:0:too+20few\r\n",
        "SET RDZVP/0.0 1 1:20070101:0:x:1:extra\r\n",
        "SET RDZVP/0.0 1 1:2007x101:0:x:" + FormatInt(meetings_) + "\r\n",
        ScheduleSetLine(OP_ADD, 20070230, 0, "no such day", meetings_),
        ScheduleSetLine(OP_ADD, 19701231, 0, "too early", meetings_),
        ScheduleSetLine(OP_ADD, 20380101, 0, "too late", meetings_),
        ScheduleSetLine(OP_ADD, 20070101, 0, "no genre", 9999),
        ScheduleSetLine(OP_ADD, 20070101, 0, "genre 0", 0),
        ScheduleSetLine(OP_ADD, 20070101, 0, "a category is not a genre", work_),
        ScheduleSetLine(OP_ADD, 20070101, 0, std::string(256, 'x'), meetings_),
        ScheduleSetLine(OP_CHANGE, 20070101, id + 100, "no such schedule", meetings_),
        ScheduleSetLine(OP_CHANGE, 20071301, id, "bad date on change", meetings_),
        "SET RDZVP/0.0 1 1:20070101:0:nul+00inside:" + FormatInt(meetings_) + "\r\n",
    };
    for (const std::string& line : bad) {
        std::string reply = Request(line);
        EXPECT_TRUE(IsError(reply)) << line;
        EXPECT_GT(reply.size(), 3u) << "the message says what went wrong";
    }
    EXPECT_EQ(ScheduleTexts(), std::vector<std::string>{"keep"});

    // 255 bytes is the client's limit and fits.
    AddSchedule(20070101, std::string(255, 'y'), meetings_);
    EXPECT_EQ(Schedules().size(), 2u);
}

TEST_F(CalendarServerTest, SchedulesComeInDateThenIdOrderWithJoinedNames) {
    AddSchedule(20070105, "third", hobbies_);
    AddSchedule(20070101, "first", meetings_);
    AddSchedule(20070105, "fourth", trips_);
    AddSchedule(20070102, "second", hobbies_);
    std::vector<ScheduleRecord> records = Schedules();
    ASSERT_EQ(records.size(), 4u);
    std::vector<std::string> order;
    for (const ScheduleRecord& record : records) order.emplace_back(FieldText(record.text));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    EXPECT_LT(records[2].id, records[3].id);
    EXPECT_EQ(FieldText(records[1].genreName), "趣味");
    EXPECT_EQ(FieldText(records[1].categoryName), "個人");
}

TEST_F(CalendarServerTest, GenresAreAddedChangedAndDeletedUnderCategories) {
    std::vector<std::string> lines = RecordLines(Request(BuildGetLine(2, "")));
    ASSERT_EQ(lines.size(), 5u);
    std::vector<CategoryRecord> records(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) ParseCategoryRecord(lines[i], records[i]);
    for (size_t i = 1; i < records.size(); ++i) EXPECT_LT(records[i - 1].id, records[i].id) << "id order";
    EXPECT_EQ(records[0].level, LEVEL_CATEGORY);
    EXPECT_EQ(records[1].level, LEVEL_GENRE);
    EXPECT_EQ(records[1].parentId, work_);
    EXPECT_EQ(FieldText(records[1].name), "会議");

    ASSERT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_CHANGE, trips_, LEVEL_GENRE, home_, "旅行 A:B", "旅行"))));
    CategoryRecord changed;
    for (const std::string& line : RecordLines(Request(BuildGetLine(2, "")))) {
        if (RecordFields(line).Int(1) == trips_) ParseCategoryRecord(line, changed);
    }
    EXPECT_EQ(FieldText(changed.name), "旅行 A:B");
    EXPECT_EQ(FieldText(changed.shortName), "旅行");
    EXPECT_EQ(changed.parentId, home_);

    // An add ignores the id it carries, even one of a category.
    ASSERT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_ADD, work_, LEVEL_GENRE, home_, "New", "New"))));
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 6u);

    ASSERT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_DELETE, trips_, LEVEL_GENRE, home_, "", ""))));
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 5u);
    // Deleting it again, or id 0, or op 0: success, nothing happens.
    EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_DELETE, trips_, LEVEL_GENRE, home_, "", ""))));
    EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_DELETE, 0, LEVEL_GENRE, home_, "", ""))));
    EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_NONE, 0, LEVEL_GENRE, home_, "x", "x"))));
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 5u);
}

TEST_F(CalendarServerTest, GenreWithSchedulesIsNotDeletedAndTheMessageSaysHowMany) {
    AddSchedule(20070101, "a", meetings_);
    AddSchedule(20070102, "b", meetings_);
    std::string reply = Request(GenreSetLine(OP_DELETE, meetings_, LEVEL_GENRE, work_, "会議", "会議"));
    ASSERT_TRUE(IsError(reply));
    EXPECT_NE(Unescape(reply).find(" 2 "), std::string::npos) << Unescape(reply);
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 5u);
    EXPECT_EQ(Schedules().size(), 2u);
}

TEST_F(CalendarServerTest, CategoriesAndBadGenresAreRefused) {
    const std::vector<std::string> bad = {
        GenreSetLine(OP_ADD, 0, LEVEL_CATEGORY, 0, "new category", "new"),
        GenreSetLine(OP_CHANGE, work_, LEVEL_CATEGORY, 0, "renamed", "renamed"),
        GenreSetLine(OP_DELETE, work_, LEVEL_CATEGORY, 0, "", ""),
        GenreSetLine(OP_DELETE, work_, LEVEL_GENRE, 0, "", ""),  // a category, whatever the line says
        GenreSetLine(OP_ADD, 0, LEVEL_GENRE, 9999, "no parent", "x"),
        GenreSetLine(OP_ADD, 0, LEVEL_GENRE, meetings_, "a genre is no parent", "x"),
        GenreSetLine(OP_CHANGE, 9999, LEVEL_GENRE, work_, "no such genre", "x"),
        GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, std::string(256, 'n'), "x"),
        GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, "x", std::string(64, 's')),
        GenreSetLine(5, 0, LEVEL_GENRE, work_, "x", "x"),
        "SET RDZVP/0.0 2 1:0:1:" + FormatInt(work_) + ":only+20five\r\n",
    };
    for (const std::string& line : bad) EXPECT_TRUE(IsError(Request(line))) << line;
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 5u);
    EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, std::string(255, 'n'),
                                                    std::string(63, 's')))));
}

TEST_F(CalendarServerTest, BlankGenreNamesAndNamesTakenInTheCategoryAreRefused) {
    auto names = [&] {
        std::multiset<std::string> held;
        for (const std::string& line : RecordLines(Request(BuildGetLine(2, "")))) held.emplace(RecordFields(line).Text(4));
        return held;
    };
    auto refused = [&](const std::string& line, const std::string& says) {
        std::string reply = Request(line);
        ASSERT_TRUE(IsError(reply)) << line;
        EXPECT_NE(Unescape(reply).find(says), std::string::npos) << Unescape(reply);
    };
    // Blanks alone: ASCII and full-width spaces, as an add or a change.
    for (const std::string& blank : {" "s, "　"s, " 　\t"s}) {
        refused(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, blank, blank), "空白");
        refused(GenreSetLine(OP_CHANGE, trips_, LEVEL_GENRE, work_, blank, "x"), "空白");
    }
    // Another genre's name in the same category, blanks around it or not,
    // added, renamed to, or moved in with.
    for (const std::string& taken : {"会議"s, " 会議　"s}) {
        refused(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, taken, "x"), "「会議」");
        refused(GenreSetLine(OP_CHANGE, 0, LEVEL_GENRE, work_, taken, "x"), "「会議」");  // id 0 adds
        refused(GenreSetLine(OP_CHANGE, trips_, LEVEL_GENRE, work_, taken, "x"), "すでにあります");
    }
    ASSERT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_CHANGE, hobbies_, LEVEL_GENRE, home_, "出張", "出張"))));
    refused(GenreSetLine(OP_CHANGE, hobbies_, LEVEL_GENRE, work_, "出張", "出張"), "「出張」");
    EXPECT_EQ(names(), (std::multiset<std::string>{"業務", "会議", "出張", "個人", "出張"}));

    // A genre keeps its own name; another category may have it; case, width
    // and inner blanks tell names apart; a trail byte 0x40 is no blank.
    ASSERT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_CHANGE, meetings_, LEVEL_GENRE, work_, "会議 ", "会議"))));
    for (const std::string& distinct : {"会 議"s, "ｶｲｷﾞ"s, "Meeting"s, "meeting"s, "\x83\x40"s}) {
        EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, work_, distinct, "x")))) << distinct;
    }
    EXPECT_TRUE(IsSuccessReply(Request(GenreSetLine(OP_ADD, 0, LEVEL_GENRE, home_, "会議", "会議"))));
    EXPECT_EQ(RecordLines(Request(BuildGetLine(2, ""))).size(), 11u);
}

TEST_F(CalendarServerTest, DateInfoKeepsOneRecordPerDateInDateOrder) {
    ASSERT_TRUE(IsSuccessReply(Request(DateInfoSetLine(20070101, "元日", 1))));
    ASSERT_TRUE(IsSuccessReply(Request(DateInfoSetLine(20061231, "", 0))));
    ASSERT_TRUE(IsSuccessReply(Request(DateInfoSetLine(20070101, "元日 (changed)", 0))));
    std::vector<std::string> lines = RecordLines(Request(BuildGetLine(3, "")));
    ASSERT_EQ(lines.size(), 2u);
    DateInfoRecord first, second;
    ParseDateInfoRecord(lines[0], first);
    ParseDateInfoRecord(lines[1], second);
    EXPECT_EQ(first.date, 20061231);
    EXPECT_EQ(FieldText(first.name), "");
    EXPECT_EQ(second.date, 20070101);
    EXPECT_EQ(FieldText(second.name), "元日 (changed)");
    EXPECT_EQ(second.holiday, 0);
    EXPECT_EQ(second.aux, 2) << "the record's revision: stored, then changed once";
    EXPECT_EQ(first.aux, 1);
    EXPECT_EQ(FieldText(second.host), "127.0.0.1");

    for (const std::string& line : {DateInfoSetLine(20070229, "x", 0), DateInfoSetLine(20070102, "x", 2),
                                    "SET RDZVP/0.0 3 20070102:x:1\r\n"s, DateInfoSetLine(20070102, std::string(256, 'z'), 1)}) {
        EXPECT_TRUE(IsError(Request(line))) << line;
    }
    EXPECT_EQ(RecordLines(Request(BuildGetLine(3, ""))).size(), 2u);
}

// The messages of a refused conditional change, as the client shows them.
std::string ConflictReply(const std::string& subject, bool deleted) {
    return "-" +
           Escape(subject + (deleted ? "、読み込んだ後にほかの人が削除しました。この変更は保存していません。"
                                       "カレンダーには、削除された後の内容を表示します"
                                     : "、読み込んだ後にほかの人が変更しました。この変更は保存していません。"
                                       "カレンダーには、その人が変更した内容を表示します")) +
           "\r\n";
}

// Every record line carries its record's revision: GET 1 field 5, GET 2
// field 9, GET 3 field 4. A SET with the revision the client loaded as one
// more field applies only while the record still has it; the plain forms
// apply whatever is stored.
TEST_F(CalendarServerTest, ConditionalSchedulesApplyOnlyToTheRevisionLoaded) {
    AddSchedule(20070101, "mine", meetings_);
    AddSchedule(20070101, "other", meetings_);
    std::vector<std::string> lines = RecordLines(Request(BuildGetLine(1, "")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(RecordFields(lines[0]).Count(), 10u) << lines[0];
    EXPECT_EQ(RecordFields(lines[0]).Int(5), 1) << "a new record's revision";
    const int id = RecordFields(lines[0]).Int(2);
    const int other = RecordFields(lines[1]).Int(2);
    auto held = [&]() -> std::pair<std::string, int> {
        for (const ScheduleRecord& record : Schedules()) {
            if (record.id == id) return {std::string(FieldText(record.text)), record.aux};
        }
        return {"(gone)", 0};
    };
    auto change = [&](int op, const std::string& text, int revision) {
        return Request(WithRevision(ScheduleSetLine(op, 20070101, id, text, meetings_), revision));
    };

    // Someone changes it with the plain form: unconditional, as always.
    ASSERT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_CHANGE, 20070101, id, "theirs", meetings_))));
    EXPECT_EQ(held(), (std::pair<std::string, int>{"theirs", 2}));
    // The change loaded at revision 1 and the delete too are refused; nothing is written.
    EXPECT_EQ(change(OP_CHANGE, "stale", 1), ConflictReply("このスケジュールは", false));
    EXPECT_EQ(change(OP_DELETE, "", 1), ConflictReply("このスケジュールは", false));
    EXPECT_EQ(held(), (std::pair<std::string, int>{"theirs", 2}));
    // With the revision now stored it applies, and moves the revision on.
    ASSERT_TRUE(IsSuccessReply(change(OP_CHANGE, "mine again", 2)));
    EXPECT_EQ(held(), (std::pair<std::string, int>{"mine again", 3}));
    ASSERT_TRUE(IsSuccessReply(change(OP_DELETE, "", 3)));
    EXPECT_EQ(held().first, "(gone)");
    // Deleted since: a conditional change or delete says so; a plain delete
    // still succeeds and a plain change still finds no schedule.
    EXPECT_EQ(change(OP_CHANGE, "too late", 3), ConflictReply("このスケジュールは", true));
    EXPECT_EQ(change(OP_DELETE, "", 3), ConflictReply("このスケジュールは", true));
    EXPECT_TRUE(IsSuccessReply(Request(ScheduleSetLine(OP_DELETE, 20070101, id, "", meetings_))));
    EXPECT_TRUE(IsError(Request(ScheduleSetLine(OP_CHANGE, 20070101, id, "x", meetings_))));

    // Additions and unchanged records never conflict, whatever revision they carry.
    EXPECT_TRUE(IsSuccessReply(Request(WithRevision(ScheduleSetLine(OP_ADD, 20070102, other, "added", trips_), 7))));
    EXPECT_TRUE(IsSuccessReply(Request(WithRevision(ScheduleSetLine(OP_CHANGE, 20070102, 0, "added too", trips_), 9))));
    EXPECT_TRUE(IsSuccessReply(Request(WithRevision(ScheduleSetLine(OP_NONE, 20070101, other, "x", meetings_), 5))));
    EXPECT_TRUE(IsSuccessReply(Request(WithRevision(ScheduleSetLine(OP_DELETE, 20070101, 0, "", meetings_), 5))));
    std::vector<ScheduleRecord> records = Schedules();
    ASSERT_EQ(records.size(), 3u);
    for (const ScheduleRecord& record : records) EXPECT_EQ(record.aux, 1) << FieldText(record.text);
    EXPECT_EQ(ScheduleTexts(), (std::vector<std::string>{"added", "added too", "other"}));

    // A revision is a strict integer of 0 or more.
    for (const char* bad : {"-1", "x", "01", "", "2147483648"}) {
        std::string line = ScheduleSetLine(OP_CHANGE, 20070101, other, "bad", meetings_);
        EXPECT_TRUE(IsError(Request(line.substr(0, line.size() - 2) + ":" + bad + "\r\n"))) << bad;
    }
    EXPECT_EQ(ScheduleTexts(), (std::vector<std::string>{"added", "added too", "other"}));
    std::string log = server_.Log();
    EXPECT_NE(log.find("error(conflict-changed)"), std::string::npos) << log;
    EXPECT_NE(log.find("error(conflict-deleted)"), std::string::npos) << log;
}

TEST_F(CalendarServerTest, ConditionalGenresAndDatesApplyOnlyToTheRevisionLoaded) {
    auto genreLine = [&](int id) {
        for (const std::string& line : RecordLines(Request(BuildGetLine(2, "")))) {
            if (RecordFields(line).Int(1) == id) return line;
        }
        return std::string();
    };
    std::string trips = genreLine(trips_);
    EXPECT_EQ(RecordFields(trips).Count(), 10u) << trips;
    EXPECT_EQ(RecordFields(trips).Int(9), 1) << trips;
    auto rename = [&](const std::string& name, int revision) {
        return Request(WithRevision(GenreSetLine(OP_CHANGE, trips_, LEVEL_GENRE, work_, name, name), revision));
    };
    ASSERT_TRUE(IsSuccessReply(rename("旅行", 1)));
    EXPECT_EQ(rename("出張旅費", 1), ConflictReply("このジャンルは", false));
    EXPECT_EQ(RecordFields(genreLine(trips_)).Text(4), "旅行");
    EXPECT_EQ(RecordFields(genreLine(trips_)).Int(9), 2);
    // Checked before anything else: a refused delete says "changed", not "in use".
    AddSchedule(20070101, "trip", trips_);
    EXPECT_EQ(Request(WithRevision(GenreSetLine(OP_DELETE, trips_, LEVEL_GENRE, work_, "", ""), 1)),
              ConflictReply("このジャンルは", false));
    ASSERT_TRUE(IsSuccessReply(Request(WithRevision(GenreSetLine(OP_DELETE, hobbies_, LEVEL_GENRE, home_, "", ""), 1))));
    EXPECT_EQ(Request(WithRevision(GenreSetLine(OP_DELETE, hobbies_, LEVEL_GENRE, home_, "", ""), 1)),
              ConflictReply("このジャンルは", true));
    EXPECT_EQ(Request(WithRevision(GenreSetLine(OP_CHANGE, hobbies_, LEVEL_GENRE, home_, "x", "x"), 1)),
              ConflictReply("このジャンルは", true));
    EXPECT_TRUE(IsSuccessReply(Request(WithRevision(GenreSetLine(OP_ADD, hobbies_, LEVEL_GENRE, home_, "新", "新"), 4))));
    EXPECT_TRUE(IsError(Request(WithRevision(GenreSetLine(OP_CHANGE, work_, LEVEL_GENRE, 0, "x", "x"), 1))))
        << "a category stays the administrator's";

    // A day: revision 0 means it had no record when it was loaded.
    auto day = [&](const std::string& name, int revision) {
        return Request(WithRevision(DateInfoSetLine(20070505, name, 1), revision));
    };
    auto dayRecord = [&] {
        DateInfoRecord record;
        for (const std::string& line : RecordLines(Request(BuildGetLine(3, "")))) {
            if (RecordFields(line).Int(1) == 20070505) ParseDateInfoRecord(line, record);
        }
        return std::pair<std::string, int>{std::string(FieldText(record.name)), record.aux};
    };
    EXPECT_EQ(day("こどもの日", 1), ConflictReply("この日付の設定は", true));
    EXPECT_EQ(dayRecord(), (std::pair<std::string, int>{"", 0}));
    ASSERT_TRUE(IsSuccessReply(day("こどもの日", 0)));
    EXPECT_EQ(day("子供の日", 0), ConflictReply("この日付の設定は", false));
    EXPECT_EQ(dayRecord(), (std::pair<std::string, int>{"こどもの日", 1}));
    ASSERT_TRUE(IsSuccessReply(day("子供の日", 1)));
    EXPECT_EQ(dayRecord(), (std::pair<std::string, int>{"子供の日", 2}));
    ASSERT_TRUE(IsSuccessReply(Request(DateInfoSetLine(20070505, "端午", 1))));
    EXPECT_EQ(dayRecord(), (std::pair<std::string, int>{"端午", 3}));
    EXPECT_TRUE(IsError(Request("SET RDZVP/0.0 3 20070505:x:1:1:2:3\r\n")));
}

// VERSIONS names the three data sets' versions, the same as the GETs' status
// lines, and follows what other processes write.
TEST(CalendarServerCommands, VersionsFollowEveryWriterAndMatchTheGets) {
    TempDir folder;
    std::string database = FreshDatabase(folder);
    ServerProcess server({}, database);
    auto versions = [&] {
        std::string reply = Exchange(server.Port(), "VERSIONS RDZVP/0.0\r\n");
        std::vector<long long> counters;
        EXPECT_EQ(reply.substr(0, 14), "+OK RDZVP/0.0 ") << reply;
        EXPECT_EQ(reply.find("\r\n"), reply.size() - 2) << reply;
        const std::string numbers = reply.substr(14, reply.size() - 16);
        for (std::string_view word : SplitAll(numbers, " ")) {
            counters.push_back(std::atoll(std::string(word).c_str()));
        }
        EXPECT_EQ(counters.size(), 3u) << reply;
        counters.resize(3);
        return counters;
    };
    auto getVersions = [&] {
        std::vector<long long> counters;
        for (int dataSet : {1, 2, 3}) counters.push_back(AnnouncedVersion(Exchange(server.Port(), BuildGetLine(dataSet, ""))));
        return counters;
    };
    std::vector<long long> start = versions();
    EXPECT_EQ(start, getVersions());
    ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), DateInfoSetLine(20190101, "", 0))));
    std::vector<long long> named = versions();
    EXPECT_EQ(named[0], start[0]);
    EXPECT_EQ(named[1], start[1]);
    EXPECT_GT(named[2], start[2]);
    // Another process fills the holidays: the empty New Year's Day gets its
    // name, and its revision moves on too.
    ASSERT_EQ(RunServerCommand({"holidays", "--db", database, "2019", "2019"}), 0);
    std::vector<long long> filled = versions();
    EXPECT_GT(filled[2], named[2]);
    EXPECT_EQ(filled, getVersions());
    for (const std::string& line : RecordLines(Exchange(server.Port(), BuildGetLine(3, "")))) {
        if (RecordFields(line).Int(1) == 20190101) {
            EXPECT_EQ(RecordFields(line).Int(4), 2) << line;
        }
    }
    for (const std::string& line : {"VERSIONS RDZVP/0.0 1\r\n"s, "VERSIONS RDZVP/1.0\r\n"s, "VERSIONS\r\n"s}) {
        EXPECT_TRUE(IsError(Exchange(server.Port(), line))) << line;
    }
    EXPECT_EQ(Exchange(server.Port(), BuildGetLine(1, "sk0.id = 1 ")), "+OK RDZVP/0.0 0\r\n") << "a search";
    std::string log = server.Log();
    EXPECT_NE(log.find("127.0.0.1 VERSIONS sent="), std::string::npos) << log;
}

TEST_F(CalendarServerTest, MalformedRequestLinesGetErrorReplies) {
    for (const std::string& line :
         {"\r\n"s, "hello\r\n"s, "HELLO RDZVP/1.0\r\n"s, "GET RDZVP/9.9 1 \r\n"s, "GET RDZVP/0.0 4 \r\n"s,
          "GET RDZVP/0.0 12 \r\n"s, "GET RDZVP/0.0 2 x\r\n"s, "GET RDZVP/0.0 3 sk0.id+20=+201+20\r\n"s,
          "PUT RDZVP/0.0 1 x\r\n"s, "SET RDZVP/0.0 1\r\n"s, "\x81\x40\xFF\xFE\x01\x02\r\n"s}) {
        std::string reply = Request(line);
        EXPECT_TRUE(IsError(reply)) << line;
        EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
        EXPECT_EQ(std::count(reply.begin(), reply.end(), '\n'), 1) << "one line";
    }
    EXPECT_TRUE(IsSuccessReply(Request(kHello)));
}

TEST_F(CalendarServerTest, EveryPrintableByteAndShiftJisTextRoundTrip) {
    std::string printable;
    for (int byte = 0x20; byte <= 0x7E; ++byte) printable += static_cast<char>(byte);
    // Trail bytes 0x5C ("表", "ソ", "能"), half-width katakana, a lead byte at the end.
    const std::string shiftJis = "表示 ソフト 能力 ｶﾀｶﾅ 会議:10%+";
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte) high += static_cast<char>(byte);
    const std::vector<std::string> texts = {printable, shiftJis, high.substr(0, 128), "tab\tand\x01\x7F"};
    for (const std::string& text : texts) AddSchedule(20070101, text, meetings_);

    std::vector<std::string> stored = ScheduleTexts();
    std::vector<std::string> expected = texts;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stored, expected);

    // Names and date names too.
    ASSERT_TRUE(IsSuccessReply(Request(DateInfoSetLine(20070102, printable.substr(0, 95), 1))));
    DateInfoRecord info;
    ParseDateInfoRecord(RecordLines(Request(BuildGetLine(3, "")))[0], info);
    EXPECT_EQ(FieldText(info.name), printable.substr(0, 95));
}

TEST_F(CalendarServerTest, LineBreaksInTextAreEscapedSoRecordLinesStayWhole) {
    // "+0D" and "+0A" decode to CR and LF on the server.
    std::string reply = Request("SET RDZVP/0.0 1 1:20070101:0:one+0D+0Atwo+0AthreeDATA:" + FormatInt(meetings_) + "\r\n");
    ASSERT_TRUE(IsSuccessReply(reply)) << reply;
    std::string get = Request(BuildGetLine(1, ""));
    EXPECT_EQ(RecordLines(get).size(), 1u);
    EXPECT_NE(get.find("one+0D+0Atwo+0AthreeDATA"), std::string::npos);
    EXPECT_EQ(ScheduleTexts(), std::vector<std::string>{"one\r\ntwo\nthreeDATA"});
}

TEST_F(CalendarServerTest, ConditionsSelectByCategoryGenreAndText) {
    AddSchedule(20070101, "定例会議", meetings_);
    AddSchedule(20070102, "大阪 出張", trips_);
    AddSchedule(20070103, "テニス", hobbies_);
    AddSchedule(20070104, "会議室の予約", hobbies_);
    using Texts = std::vector<std::string>;
    EXPECT_EQ(ScheduleTexts("").size(), 4u);
    EXPECT_EQ(ScheduleTexts("sk0.id = " + FormatInt(work_) + " "), (Texts{"大阪 出張", "定例会議"}));
    EXPECT_EQ(ScheduleTexts("sk1.id = " + FormatInt(hobbies_) + " "), (Texts{"テニス", "会議室の予約"}));
    EXPECT_EQ(ScheduleTexts("schedule like '%会議%' "), (Texts{"会議室の予約", "定例会議"}));
    EXPECT_EQ(ScheduleTexts("sk0.id = " + FormatInt(home_) + " and sk1.id = " + FormatInt(hobbies_) +
                            " and schedule like '%会議%' "),
              (Texts{"会議室の予約"}));
    EXPECT_TRUE(ScheduleTexts("sk0.id = " + FormatInt(work_) + " and sk1.id = " + FormatInt(hobbies_) + " ").empty());
    EXPECT_EQ(ScheduleTexts("schedule like '会議%' "), (Texts{"会議室の予約"}));
    EXPECT_EQ(ScheduleTexts("schedule like '定例__' "), (Texts{"定例会議"}));
    EXPECT_TRUE(ScheduleTexts("schedule like '定例_' ").empty());
}

TEST_F(CalendarServerTest, QuotesBackslashesAndTrailBytesSurviveTheCondition) {
    AddSchedule(20070101, "it's", meetings_);
    AddSchedule(20070101, "C:\\temp", meetings_);
    AddSchedule(20070101, "表示", meetings_);
    AddSchedule(20070101, "ソフト", meetings_);
    using Texts = std::vector<std::string>;
    auto search = [&](const std::string& text) { return ScheduleTexts("schedule like '%" + QuoteSqlText(text) + "%' "); };
    EXPECT_EQ(search("it's"), (Texts{"it's"}));
    EXPECT_EQ(search("'"), (Texts{"it's"}));
    EXPECT_EQ(search(":\\"), (Texts{"C:\\temp"}));
    EXPECT_EQ(search("表"), (Texts{"表示"}));
    // A backslash never matches the trail byte 0x5C of "表" or "ソ".
    EXPECT_EQ(search("\\"), (Texts{"C:\\temp"}));
}

TEST_F(CalendarServerTest, MatchingNeverStartsOnATrailByteAndIgnoresAsciiCase) {
    AddSchedule(20070101, "アイス", meetings_);  // "ア" is 0x83 0x41: its trail byte is "A"
    AddSchedule(20070101, "Weekly Meeting", meetings_);
    using Texts = std::vector<std::string>;
    EXPECT_TRUE(ScheduleTexts("schedule like '%A%' ").empty());
    EXPECT_TRUE(ScheduleTexts("schedule like '%a%' ").empty());
    EXPECT_EQ(ScheduleTexts("schedule like '%MEETING%' "), (Texts{"Weekly Meeting"}));
    EXPECT_EQ(ScheduleTexts("schedule like 'weekly%' "), (Texts{"Weekly Meeting"}));
    EXPECT_EQ(ScheduleTexts("schedule like '%イ%' "), (Texts{"アイス"}));
    EXPECT_EQ(ScheduleTexts("schedule like '_イ_' "), (Texts{"アイス"}));
}

TEST_F(CalendarServerTest, AnythingElseInAConditionIsRefusedAndNothingIsInjected) {
    AddSchedule(20070101, "keep me", meetings_);
    const std::vector<std::string> refused = {
        "1=1",
        "sk0.id = 1",  // no trailing space
        "sk0.id=1 ",
        "sk0.id = 1 or sk0.id = 2 ",
        "sk0.id = 1 and ",
        "sk0.id = x ",
        "sk0.id = 1; DROP TABLE schedules; -- ",
        "sk0.id = 99999999999 ",
        "sk2.id = 1 ",
        "schedule like 'x' or 1=1 ",
        "schedule like 'unterminated ",
        "schedule like 'lone \\ backslash' ",
        "schedule like \"x\" ",
        "SCHEDULE LIKE 'x' ",
        "schedule = 'x' ",
        "schedule like 'x'  ",
        " sk0.id = 1 ",
    };
    for (const std::string& condition : refused) {
        std::string reply = Request(BuildGetLine(1, condition));
        EXPECT_TRUE(IsError(reply)) << condition;
    }
    // A quote doubled inside the literal is only text.
    EXPECT_TRUE(ScheduleTexts("schedule like '%''; DROP TABLE schedules; --%' ").empty());
    EXPECT_EQ(ScheduleTexts(), std::vector<std::string>{"keep me"});
}

TEST_F(CalendarServerTest, AddCategoryConvertsTerminalTextToShiftJis) {
    std::string output;
    // The test's own literals are Shift-JIS; "\xE5\xAE\xB6\xE6\x97\x8F" is UTF-8 for the same word.
    ASSERT_EQ(RunServerCommand({"add-category", "--db", server_.DatabasePath(), "\xE5\xAE\xB6\xE6\x97\x8F"}, &output), 0);
    int id = std::atoi(output.c_str());
    CategoryRecord record;
    for (const std::string& line : RecordLines(Request(BuildGetLine(2, "")))) {
        if (RecordFields(line).Int(1) == id) ParseCategoryRecord(line, record);
    }
    EXPECT_EQ(FieldText(record.name), "家族");
    EXPECT_EQ(FieldText(record.shortName), "家族");
    EXPECT_EQ(record.level, LEVEL_CATEGORY);
    EXPECT_NE(RunServerCommand({"add-category", "--db", server_.DatabasePath()}), 0);
    EXPECT_NE(RunServerCommand({"add-category", "--db", server_.DatabasePath(), std::string(256, 'x')}), 0);
}

TEST(CalendarServerCommands, HolidaysAndDemoFillADatabase) {
    TempDir folder;
    std::string database = FreshDatabase(folder);
    std::string output;
    ASSERT_EQ(RunServerCommand({"demo", "--db", database}, &output), 0) << output;
    EXPECT_NE(RunServerCommand({"demo", "--db", database}), 0) << "refuses a database with data";
    ASSERT_EQ(RunServerCommand({"holidays", "--db", database, "2019", "2019"}, &output), 0);
    EXPECT_NE(RunServerCommand({"holidays", "--db", database, "2038", "2039"}), 0);

    ServerProcess server({}, database);
    // A day the user named keeps its name when the holidays run again.
    ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), DateInfoSetLine(20190101, "社内 初詣", 0))));
    // The server's replies follow what another process writes meanwhile.
    size_t before = RecordLines(Exchange(server.Port(), BuildGetLine(3, ""))).size();
    ASSERT_EQ(RunServerCommand({"holidays", "--db", database, "2019", "2020"}, &output), 0);
    EXPECT_GT(RecordLines(Exchange(server.Port(), BuildGetLine(3, ""))).size(), before + 10);
    std::set<int> dates;
    std::string newYear;
    for (const std::string& line : RecordLines(Exchange(server.Port(), BuildGetLine(3, "")))) {
        DateInfoRecord record;
        ParseDateInfoRecord(line, record);
        dates.insert(record.date);
        if (record.date == 20190101) newYear = std::string(FieldText(record.name));
    }
    EXPECT_EQ(newYear, "社内 初詣");
    for (int date : {20190430, 20190501, 20190502, 20190506, 20191022, 20191104, 20200101}) EXPECT_EQ(dates.count(date), 1u) << date;
    EXPECT_EQ(RecordLines(Exchange(server.Port(), BuildGetLine(1, ""))).size(), 300u);
}

}  // namespace

namespace {

struct ServedCalendar {
    std::multiset<std::string> texts;
    std::set<int> genres;
    std::set<int> genresOfSchedules;
    size_t dates = 0;
};

ServedCalendar ReadCalendar(int port) {
    ServedCalendar calendar;
    for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(1, "")))) {
        ScheduleRecord record;
        ParseScheduleRecord(line, record);
        calendar.texts.insert(std::string(FieldText(record.text)));
        calendar.genresOfSchedules.insert(record.genreId);
    }
    for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(2, "")))) {
        CategoryRecord record;
        ParseCategoryRecord(line, record);
        if (record.level == LEVEL_GENRE) calendar.genres.insert(record.id);
    }
    calendar.dates = RecordLines(Exchange(port, BuildGetLine(3, ""))).size();
    return calendar;
}

}  // namespace

// Two server processes on one database, each sent the same conditional
// change at the same moment: the check and the write are one transaction,
// so exactly one applies and the other is told someone else changed it.
TEST(CalendarServerCommands, RacingConditionalChangesThroughTwoServersOneWins) {
    TempDir folder;
    std::string database = FreshDatabase(folder);
    std::string output;
    ASSERT_EQ(RunServerCommand({"add-category", "--db", database, "Work"}, &output), 0);
    const int category = std::atoi(output.c_str());
    ServerProcess a({}, database), b({}, database);
    ASSERT_TRUE(IsSuccessReply(Exchange(a.Port(), GenreSetLine(OP_ADD, 0, LEVEL_GENRE, category, "Meeting", "Mtg"))));
    const int genre = RecordFields(RecordLines(Exchange(a.Port(), BuildGetLine(2, ""))).back()).Int(1);
    ASSERT_TRUE(IsSuccessReply(Exchange(a.Port(), ScheduleSetLine(OP_ADD, 20070101, 0, "raced", genre))));
    const int id = RecordFields(RecordLines(Exchange(b.Port(), BuildGetLine(1, ""))).at(0)).Int(2);
    constexpr int kRounds = 12;
    int wonByA = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::string replies[2];
        std::vector<std::thread> racers;
        for (int side = 0; side < 2; ++side) {
            racers.emplace_back([&, side] {
                std::string text = (side == 0 ? "a " : "b ") + std::to_string(round);
                replies[side] = Exchange((side == 0 ? a : b).Port(),
                                         WithRevision(ScheduleSetLine(OP_CHANGE, 20070101, id, text, genre), round + 1));
            });
        }
        for (std::thread& racer : racers) racer.join();
        ASSERT_NE(IsSuccessReply(replies[0]), IsSuccessReply(replies[1])) << Unescape(replies[0] + replies[1]);
        const std::string& refused = IsSuccessReply(replies[0]) ? replies[1] : replies[0];
        EXPECT_NE(Unescape(refused).find("ほかの人が変更しました"), std::string::npos) << Unescape(refused);
        wonByA += IsSuccessReply(replies[0]);
        std::string winner = (IsSuccessReply(replies[0]) ? "a " : "b ") + std::to_string(round);
        std::vector<std::string> lines = RecordLines(Exchange(b.Port(), BuildGetLine(1, "")));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(Unescape(RecordFields(lines[0]).Text(3)), winner);
        EXPECT_EQ(RecordFields(lines[0]).Int(5), round + 2);
    }
    RecordProperty("rounds_won_through_a", wonByA);
}

namespace {

// The tables as servers made them before records had revisions.
const char* const kSqliteTablesWithoutRevisions = R"sql(
CREATE TABLE categories (id INTEGER PRIMARY KEY AUTOINCREMENT, level INTEGER NOT NULL,
    parent_id INTEGER NOT NULL DEFAULT 0, name BLOB NOT NULL, short_name BLOB NOT NULL,
    edit_state INTEGER NOT NULL DEFAULT 0, entered TEXT NOT NULL, host TEXT NOT NULL);
CREATE TABLE schedules (id INTEGER PRIMARY KEY AUTOINCREMENT, date INTEGER NOT NULL, text BLOB NOT NULL,
    genre_id INTEGER NOT NULL REFERENCES categories(id), aux INTEGER NOT NULL DEFAULT 0,
    entered TEXT NOT NULL, host TEXT NOT NULL);
CREATE TABLE date_info (date INTEGER PRIMARY KEY, name BLOB NOT NULL, holiday INTEGER NOT NULL,
    aux INTEGER NOT NULL DEFAULT 1, entered TEXT NOT NULL, host TEXT NOT NULL);
CREATE TABLE foreign_events (key BLOB PRIMARY KEY, entered TEXT NOT NULL, host TEXT NOT NULL);
CREATE TABLE data_versions (data_set INTEGER PRIMARY KEY, version INTEGER NOT NULL);
)sql";
const char* const kPostgresTablesWithoutRevisions = R"sql(
CREATE TABLE categories (id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, level integer NOT NULL,
    parent_id integer NOT NULL DEFAULT 0, name bytea NOT NULL, short_name bytea NOT NULL,
    edit_state integer NOT NULL DEFAULT 0, entered bytea NOT NULL, host bytea NOT NULL);
CREATE TABLE schedules (id integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, date integer NOT NULL,
    text bytea NOT NULL, genre_id integer NOT NULL REFERENCES categories(id), aux integer NOT NULL DEFAULT 0,
    entered bytea NOT NULL, host bytea NOT NULL);
CREATE TABLE date_info (date integer PRIMARY KEY, name bytea NOT NULL, holiday integer NOT NULL,
    aux integer NOT NULL DEFAULT 1, entered bytea NOT NULL, host bytea NOT NULL);
CREATE TABLE foreign_events (key bytea PRIMARY KEY, entered bytea NOT NULL, host bytea NOT NULL);
CREATE TABLE data_versions (data_set integer PRIMARY KEY, version bigint NOT NULL);
)sql";
const char* const kRowsWithoutRevisions = R"sql(
INSERT INTO data_versions (data_set, version) VALUES (1, 7), (2, 7), (3, 7);
INSERT INTO categories (id, level, parent_id, name, short_name, entered, host) VALUES
    (1, 0, 0, 'Work', 'Work', '2026/12/01 09:00', '10.0.0.1'),
    (2, 1, 1, 'Meeting', 'Mtg', '2026/12/01 09:00', '10.0.0.1');
INSERT INTO schedules (id, date, text, genre_id, entered, host) VALUES
    (1, 20261201, 'kept', 2, '2026/12/01 09:00', '10.0.0.1'),
    (2, 20261202, 'kept too', 2, '2026/12/01 09:00', '10.0.0.1');
INSERT INTO date_info (date, name, holiday, entered, host) VALUES (20261203, 'named', 1, '2026/12/01 09:00', '10.0.0.1');
)sql";

}  // namespace

// A calendar an older server made, without revisions: the first open gives
// every record revision 1 and loses nothing; a backup of that age restores
// the same way.
TEST(CalendarServerCommands, ACalendarMadeBeforeRevisionsGetsThemOnFirstOpen) {
    TempDir folder, restoredFolder;
    const std::string oldFile = folder.Path() + "/old.db";
    {
        SqliteConnection db(oldFile, true);
        db.Execute(kSqliteTablesWithoutRevisions);
        db.Execute(kRowsWithoutRevisions);
    }
    std::string old = oldFile;
    if (TestingOnPostgres()) {
        old = FreshDatabase(folder);
        PgConnection db(old);
        db.Execute(kPostgresTablesWithoutRevisions);
        db.Execute(kRowsWithoutRevisions);
    }
    std::string restored = FreshDatabase(restoredFolder);
    std::string output;
    ASSERT_EQ(RunServerCommand({"restore", "--from", oldFile, "--db", restored}, &output), 0) << output;

    for (const std::string& database : {old, restored}) {
        for (int open = 0; open < 2; ++open) {
            ServerProcess server({}, database);
            std::vector<std::string> schedules = RecordLines(Exchange(server.Port(), BuildGetLine(1, "")));
            ASSERT_EQ(schedules.size(), 2u) << database;
            EXPECT_EQ(RecordFields(schedules[0]).Text(3), "kept");
            EXPECT_EQ(RecordFields(schedules[1]).Text(3), "kept+20too");
            EXPECT_EQ(RecordFields(schedules[0]).Text(8), "Mtg");
            EXPECT_EQ(RecordFields(schedules[0]).Int(5), open + 1) << "changed once after the first open";
            EXPECT_EQ(RecordFields(schedules[1]).Int(5), 1);
            std::vector<std::string> genres = RecordLines(Exchange(server.Port(), BuildGetLine(2, "")));
            ASSERT_EQ(genres.size(), 2u);
            for (const std::string& line : genres) EXPECT_EQ(RecordFields(line).Int(9), 1) << line;
            std::vector<std::string> dates = RecordLines(Exchange(server.Port(), BuildGetLine(3, "")));
            ASSERT_EQ(dates.size(), 1u);
            EXPECT_EQ(RecordFields(dates[0]).Text(2), "named");
            EXPECT_EQ(RecordFields(dates[0]).Int(4), 1);
            if (open == 0) {
                std::string change = WithRevision(ScheduleSetLine(OP_CHANGE, 20261201, 1, "kept", 2), 1);
                ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), change))) << database;
            }
        }
    }
}

// A new calendar gets its holidays once; a backup taken while clients add
// schedules under genres that keep being added holds every schedule
// acknowledged before it began, each under a genre it holds, and the server
// answers throughout; the backup restores into an empty database and, on
// SQLite, over the live one while its server runs.
TEST(CalendarServerCommands, InitThenBackupWhileClientsWriteAndRestore) {
    TempDir folder, restoredFolder, emptyFolder;
    std::string database = FreshDatabase(folder);
    std::string output;
    ASSERT_EQ(RunServerCommand({"init", "--db", database}, &output), 0);
    EXPECT_NE(output.find("new calendar"), std::string::npos) << output;
    ASSERT_EQ(RunServerCommand({"init", "--db", database}, &output), 0);
    EXPECT_NE(output.find("nothing changed"), std::string::npos) << output;
    ASSERT_EQ(RunServerCommand({"add-category", "--db", database, "Work"}, &output), 0);
    int category = std::atoi(output.c_str());

    ServerProcess server({"--threads", "4"}, database);
    const int port = server.Port();
    std::atomic<int> genre{0};
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::mutex lock;
    std::vector<std::string> acknowledged;

    auto addGenre = [&](int n) {
        std::string name = "g" + std::to_string(n);
        if (!IsSuccessReply(Exchange(port, GenreSetLine(OP_ADD, 0, LEVEL_GENRE, category, name, name)))) ++failures;
        int newest = 0;
        for (const std::string& line : RecordLines(Exchange(port, BuildGetLine(2, "")))) {
            newest = std::max(newest, RecordFields(line).Int(1));
        }
        genre = newest;
    };
    addGenre(0);
    std::vector<std::thread> clients;
    for (int writer = 0; writer < 3; ++writer) {
        clients.emplace_back([&, writer] {
            for (int n = 0; !stop; ++n) {
                std::string text = "w" + std::to_string(writer) + "-" + std::to_string(n);
                if (!IsSuccessReply(Exchange(port, ScheduleSetLine(OP_ADD, 20070101 + n % 28, 0, text, genre)))) {
                    ++failures;
                    continue;
                }
                std::lock_guard<std::mutex> guard(lock);
                acknowledged.push_back(text);
            }
        });
    }
    clients.emplace_back([&] {
        for (int n = 1; !stop; ++n) addGenre(n);
    });
    auto acknowledgedCount = [&] {
        std::lock_guard<std::mutex> guard(lock);
        return acknowledged.size();
    };
    while (acknowledgedCount() < 150) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    std::vector<std::string> beforeBackup;
    {
        std::lock_guard<std::mutex> guard(lock);
        beforeBackup = acknowledged;
    }
    std::string backup = folder.Path() + "/nightly.db";
    int hellosDuringBackup = 0;
    std::thread backupRun([&] {
        std::string result;
        EXPECT_EQ(RunServerCommand({"backup", "--db", database, "--to", backup}, &result), 0) << result;
        stop = true;
    });
    while (!stop) {
        EXPECT_TRUE(IsSuccessReply(Exchange(port, kHello)));
        ++hellosDuringBackup;
    }
    backupRun.join();
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(hellosDuringBackup, 0);
    EXPECT_NE(RunServerCommand({"backup", "--db", database, "--to", database}), 0) << "never over the database itself";

    std::string restored = FreshDatabase(restoredFolder);
    ASSERT_EQ(RunServerCommand({"restore", "--from", backup, "--db", restored}, &output), 0) << output;
    ServedCalendar copy;
    {
        ServerProcess check({}, restored);
        copy = ReadCalendar(check.Port());
    }
    for (const std::string& text : beforeBackup) EXPECT_EQ(copy.texts.count(text), 1u) << text;
    EXPECT_GE(copy.texts.size(), beforeBackup.size());
    for (int id : copy.genresOfSchedules) EXPECT_EQ(copy.genres.count(id), 1u) << "schedule of genre " << id;
    EXPECT_GT(copy.dates, 20u) << "the holidays came along";
    std::string junk = folder.Path() + "/junk.db";
    {
        std::ofstream(junk) << "not a calendar";
    }
    EXPECT_NE(RunServerCommand({"restore", "--from", junk, "--db", FreshDatabase(emptyFolder)}), 0);

    if (TestingOnPostgres()) {
        EXPECT_NE(RunServerCommand({"restore", "--from", backup, "--db", restored}), 0) << "a database with data";
    } else {
        // Over the live file: the running server serves the backup's records at once.
        std::string reply = Exchange(port, ScheduleSetLine(OP_ADD, 20070301, 0, "after the backup", genre));
        ASSERT_TRUE(IsSuccessReply(reply)) << Unescape(reply);
        ASSERT_EQ(ReadCalendar(port).texts.count("after the backup"), 1u);
        ASSERT_EQ(RunServerCommand({"restore", "--from", backup, "--db", database}, &output), 0) << output;
        ServedCalendar live = ReadCalendar(port);
        EXPECT_EQ(live.texts, copy.texts);
        EXPECT_EQ(live.genres, copy.genres);
    }
}
