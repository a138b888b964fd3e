// The data sets and the load sequence on replies that a real server does
// not send: failures at chosen steps, short and over-long record lines,
// orphan genres. The replies come from a scripted peer on 127.0.0.1.
#include "protocol/ScheduleStore.h"
#include "protocol/WireFormat.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TestServerContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

const std::string kOk = "+OK RDZVP/0.0\r\n";

class DataSetReplyTest : public ::testing::Test {
protected:
    MessageBoxRecorder boxes;
};

std::vector<std::string> Texts(ScheduleStore& store, uint32_t mask) {
    std::vector<std::string> texts;
    store.RunLoad(mask, [&](const char* text) { texts.push_back(text); });
    return texts;
}

TEST_F(DataSetReplyTest, HelloRefusedFetchesNothing) {
    ScriptedPeer peer({Whole("-NG")});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleStore store(context);
    EXPECT_EQ(Texts(store, kLoadEverything),
              (std::vector<std::string>{"サーバーとの接続を確認中...", "サーバーとの接続を確認中... 完了"}));
    auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "-NG");
    EXPECT_EQ(shown[0].caption, "HELLO失敗");
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), std::vector<std::string>{"HELLO RDZVP/0.0\r\n"});
}

TEST_F(DataSetReplyTest, FailedScheduleFetchLeavesTheOtherSetsAlone) {
    ScriptedPeer peer({
        Whole(kOk + "DATA:20261201:1:old:5:0:e:h:g:c\r\n"),
        Whole(kOk + "DATA:1:0:0:業務:業務:0:e:h\r\nDATA:5:1:1:会議:会議:0:e:h\r\n"),
        Whole(kOk + "DATA:20270101:元日:1:0:e:h\r\n"),
        Whole("-ERR+20down"),
    });
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleStore store(context);
    Texts(store, kLoadRefresh);
    ASSERT_EQ(store.schedules.records.size(), 1u);
    ASSERT_EQ(store.categories.records.size(), 2u);
    ASSERT_EQ(store.dateInfo.records.size(), 1u);
    const ScheduleRecord* schedule = store.schedules.records[0].get();

    EXPECT_EQ(Texts(store, kLoadRefresh),
              (std::vector<std::string>{"スケジュール を取得中...", "スケジュール を取得中... 完了"}));
    EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"GetScheduleに失敗"});
    EXPECT_EQ(boxes.Shown()[0].text, "-ERR down");
    ASSERT_EQ(store.schedules.records.size(), 1u);
    EXPECT_EQ(store.schedules.records[0].get(), schedule);  // not replaced
    EXPECT_STREQ(store.schedules.records[0]->text, "old");
    EXPECT_EQ(store.categories.records.size(), 2u);
    EXPECT_STREQ(store.dateInfo.records[0]->name, "元日");
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests().back(), "GET RDZVP/0.0 1 \r\n");
}

TEST_F(DataSetReplyTest, FailedCategoryFetchEndsTheLoad) {
    ScriptedPeer peer({
        Whole(kOk + "DATA:20270101:元日:1:0:e:h\r\n"),
        Whole(kOk + "DATA:20261201:1:new:5\r\n"),
        Whole("-ERR+20categories"),
    });
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleStore store(context);
    ASSERT_EQ(store.dateInfo.Get(""), 1);
    EXPECT_EQ(Texts(store, kLoadRefresh),
              (std::vector<std::string>{"スケジュール を取得中...", "スケジュール を取得中... 完了",
                                        "スケジュール区分 を取得中...", "スケジュール区分 を取得中... 完了"}));
    EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"GetScheduleに失敗"});
    EXPECT_EQ(boxes.Shown()[0].text, "-ERR categories");
    ASSERT_EQ(store.schedules.records.size(), 1u);
    EXPECT_STREQ(store.schedules.records[0]->text, "new");
    EXPECT_TRUE(store.categories.records.empty());
    ASSERT_EQ(store.dateInfo.records.size(), 1u);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), (std::vector<std::string>{"GET RDZVP/0.0 3 \r\n", "GET RDZVP/0.0 1 \r\n",
                                                         "GET RDZVP/0.0 2 \r\n"}));
}

TEST_F(DataSetReplyTest, LoadMasksSendTheirRequestsWithTheirTexts) {
    const std::string hello = "HELLO RDZVP/0.0\r\n", get1 = "GET RDZVP/0.0 1 \r\n", get2 = "GET RDZVP/0.0 2 \r\n",
                      get3 = "GET RDZVP/0.0 3 \r\n";
    struct Case {
        uint32_t mask;
        std::vector<std::string> requests;
        std::vector<std::string> texts;
    } cases[] = {
        {0xFFFF,
         {hello, get1, get2, get3},
         {"サーバーとの接続を確認中...", "サーバーとの接続を確認中... 完了", "スケジュール を取得中...",
          "スケジュール を取得中... 完了", "スケジュール区分 を取得中...", "スケジュール区分 を取得中... 完了",
          "祝日マスタ を取得中...", "祝日マスタ を取得中... 完了"}},
        {14,
         {get1, get2, get3},
         {"スケジュール を取得中...", "スケジュール を取得中... 完了", "スケジュール区分 を取得中...",
          "スケジュール区分 を取得中... 完了", "祝日マスタ を取得中...", "祝日マスタ を取得中... 完了"}},
        {10,
         {get1, get3},
         {"スケジュール を取得中...", "スケジュール を取得中... 完了", "祝日マスタ を取得中...",
          "祝日マスタ を取得中... 完了"}},
        {4, {get2}, {"スケジュール区分 を取得中...", "スケジュール区分 を取得中... 完了"}},
    };
    for (const Case& c : cases) {
        // One reply per expected request; a request beyond them gets a
        // failure reply, which shows as a message box.
        std::vector<ScriptedPeer::Reply> replies(c.requests.size(), Whole(kOk));
        replies.push_back(Whole("-unexpected+20request"));
        ScriptedPeer peer(replies);
        TestServerContext context("127.0.0.1", peer.Port());
        ScheduleStore store(context);
        EXPECT_EQ(Texts(store, c.mask), c.texts) << "mask " << c.mask;
        for (int i = 0; i < 200 && peer.Requests().size() < c.requests.size(); ++i) Sleep(10);
        EXPECT_EQ(peer.Requests(), c.requests) << "mask " << c.mask;
    }
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(DataSetReplyTest, FailedDateInfoFetchStillEndsAsUsual) {
    ScriptedPeer peer({Whole(kOk), Whole(kOk), Whole("")});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleStore store(context);
    EXPECT_EQ(Texts(store, kLoadRefresh).size(), 6u);
    EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"Getに失敗"});
}

TEST_F(DataSetReplyTest, RecordLinesAreFoundAnywhereAndReadSafely) {
    std::string longText(300, 'a');
    ScriptedPeer peer({Whole(kOk +
                             "xDATAy:20261201:7:mid+20line\r\n"          // "DATA" not at the start
                             "DATA:20261202\r\n"                          // short: the rest reads 0 or empty
                             "DATA:20261203:9:" + longText + ":4:0:" + std::string(40, 'e') + ":" +
                             std::string(200, 'h') + ":" + std::string(100, 'g') + ":c:extra:fields\r\n"
                             "not a record\r\n"
                             "DAT:1:2\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleSet set(context);
    ASSERT_EQ(set.Get(""), 1);
    ASSERT_EQ(set.records.size(), 3u);
    EXPECT_EQ(set.records[0]->date, 20261201);
    EXPECT_STREQ(set.records[0]->text, "mid line");
    EXPECT_EQ(set.records[1]->date, 20261202);
    EXPECT_EQ(set.records[1]->id, 0);
    EXPECT_STREQ(set.records[1]->text, "");
    EXPECT_STREQ(set.records[1]->categoryName, "");
    EXPECT_EQ(FieldText(set.records[2]->text), std::string(255, 'a'));
    EXPECT_EQ(FieldText(set.records[2]->entered), std::string(18, 'e'));
    EXPECT_EQ(FieldText(set.records[2]->host), std::string(127, 'h'));
    EXPECT_EQ(FieldText(set.records[2]->genreName), std::string(63, 'g'));
    EXPECT_STREQ(set.records[2]->categoryName, "c");
}

TEST_F(DataSetReplyTest, RandomReplyInPiecesGivesTheRecordsAndRangesOfAPlainPass) {
    // Schedules in no date order, dates far outside 1971-2037 and repeated,
    // sent in pieces of random size after a success line with their count.
    uint32_t random = 7;
    auto next = [&random](uint32_t n) {
        random = random * 1103515245u + 12345u;
        return (random >> 8) % n;
    };
    const int32_t dates[] = {-5, 0, 19700101, 19710101, 20061231, 20070101, 20380101, INT32_MAX, INT32_MIN};
    std::string reply = "+OK RDZVP/0.0 3000\r\n";
    for (int i = 0; i < 3000; ++i) {
        int32_t date = next(3) ? dates[next(std::size(dates))] : 20060000 + static_cast<int32_t>(next(20000));
        reply += "DATA:" + std::to_string(date) + ":" + std::to_string(i) + ":t:" + std::to_string(next(6)) + "\r\n";
    }
    ScriptedPeer::Reply pieces;
    for (size_t at = 0; at < reply.size();) {
        size_t size = 1 + next(700);
        pieces.push_back(reply.substr(at, size));
        at += size;
    }
    ScriptedPeer peer({pieces, Whole("+OK RDZVP/0.0 3001\r\n" + reply.substr(reply.find("\r\n") + 2))});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleSet set(context);
    ASSERT_EQ(set.Get(""), 1);
    ASSERT_EQ(set.records.size(), 3000u);
    EXPECT_EQ(set.records.capacity(), 3000u);  // the announced count, reserved
    for (size_t i = 0; i < set.records.size(); ++i) ASSERT_EQ(set.records[i]->id, static_cast<int32_t>(i));

    const int32_t bounds[] = {INT32_MIN, -5, 0, 19700101, 19710101, 20060101, 20061231, 20070101, 20380101,
                              INT32_MAX};
    for (int32_t from : bounds) {
        for (int32_t to : bounds) {
            std::map<int32_t, int32_t> counts;
            std::vector<const ScheduleRecord*> plain;
            for (const auto& record : set.records) {
                if (record->date < from || record->date > to) continue;
                ++counts[record->genreId];
                plain.push_back(record.get());
            }
            std::stable_sort(plain.begin(), plain.end(),
                             [](const ScheduleRecord* a, const ScheduleRecord* b) { return a->date < b->date; });
            std::vector<const ScheduleRecord*> indexed;
            set.ForEachInDates(from, to, [&indexed](const ScheduleRecord& record) { indexed.push_back(&record); });
            EXPECT_EQ(indexed, plain) << from << ".." << to;
            EXPECT_EQ(set.CountByGenre(from, to), counts) << from << ".." << to;
        }
    }

    // A reply one record short of its count fails and keeps set and index.
    const ScheduleRecord* first = set.records[0].get();
    EXPECT_EQ(set.Get(""), 0);
    EXPECT_EQ(boxes.Shown().back().text, kTextReplyCut);
    EXPECT_EQ(set.records[0].get(), first);
    size_t all = 0;
    set.ForEachInDates(INT32_MIN, INT32_MAX, [&all](const ScheduleRecord&) { ++all; });
    EXPECT_EQ(all, 3000u);
}

TEST_F(DataSetReplyTest, SuccessWithoutRecordsEmptiesTheSet) {
    ScriptedPeer peer({Whole(kOk + "DATA:20261201:1:x:1\r\n"), Whole("\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleSet set(context);
    ASSERT_EQ(set.Get(""), 1);
    EXPECT_EQ(set.records.size(), 1u);
    ASSERT_EQ(set.Get(""), 1);
    EXPECT_TRUE(set.records.empty());
}

TEST_F(DataSetReplyTest, OrphanGenresAreFoundOnlyByLevelAndTheirParentId) {
    ScriptedPeer peer({Whole(kOk +
                             "DATA:0:0:0:nameless:n:0::\r\n"
                             "DATA:1:0:0:業務:業務:0::\r\n"
                             "DATA:2:0:0:空:空:0::\r\n"
                             "DATA:10:1:1:会議:会議:0::\r\n"
                             "DATA:11:1:99:孤児:孤児:0::\r\n")});
    TestServerContext context("127.0.0.1", peer.Port());
    CategorySet set(context);
    ASSERT_EQ(set.Get(""), 1);
    ASSERT_NE(set.FindById(0), nullptr);
    EXPECT_STREQ(set.FindById(0)->name, "nameless");
    EXPECT_EQ(set.ListByParent(99).size(), 1u);
    EXPECT_EQ(set.ListByParent(99)[0]->id, 11);
    EXPECT_EQ(set.ListByLevel(LEVEL_GENRE).size(), 2u);
    EXPECT_EQ(set.ListByParent(1).size(), 1u);
    EXPECT_TRUE(set.ListByParent(2).empty());
    // Categories have parent 0 like the nameless record: they are what the
    // server sent, not genres of record 0.
    EXPECT_EQ(set.ListByParent(0).size(), 3u);

    CategorySet copy(context);
    copy.CopyFrom(set);
    ASSERT_EQ(copy.records.size(), set.records.size());
    CopyToField(copy.records[1]->name, "changed");
    EXPECT_STREQ(set.records[1]->name, "業務");
    auto added = std::make_unique<CategoryRecord>();
    added->id = 77;
    copy.Append(std::move(added));
    EXPECT_EQ(copy.FindById(77), copy.records.back().get());
    EXPECT_EQ(set.FindById(77), nullptr);
}

TEST_F(DataSetReplyTest, SetLinesCarryTheRecordFieldsInWireOrder) {
    ScriptedPeer peer({Whole(kOk), Whole(kOk), Whole(kOk)});
    TestServerContext context("127.0.0.1", peer.Port());
    ScheduleRecord schedule;
    schedule.op = OP_CHANGE;
    schedule.date = 20061224;
    schedule.id = 7;
    CopyToField(schedule.text, "a:b");
    schedule.genreId = 3;
    CopyToField(schedule.categoryName, "never sent");
    ScheduleSet(context).Set(schedule);
    CategoryRecord genre;
    genre.op = OP_ADD;
    genre.level = LEVEL_GENRE;
    genre.parentId = 3;
    CopyToField(genre.name, "A:B");
    CopyToField(genre.shortName, "A:B\r\n");  // a line break fetched and sent back
    CategorySet(context).Set(genre);
    DateInfoRecord day;
    day.date = 20070101;
    DateInfoSet(context).Set(day);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.Requests(), (std::vector<std::string>{"SET RDZVP/0.0 1 2:20061224:7:a+3Ab:3\r\n",
                                                         "SET RDZVP/0.0 2 1:0:1:3:A+3AB:A+3AB+0D+0A\r\n",
                                                         "SET RDZVP/0.0 3 20070101::0:1\r\n"}));
}

}  // namespace

namespace {

// Parses like the schedule set, but memory runs out at the record with id 3.
void ParseUntilMemoryRunsOut(std::string_view line, ScheduleRecord& record) {
    ParseScheduleRecord(line, record);
    if (record.id == 3) throw std::bad_alloc();
}

class ScarceMemorySchedules : public ProtocolClient {
public:
    using ProtocolClient::ProtocolClient;
    int Get() { return FetchRecords(DATASET_SCHEDULES, "", kCaptionGetSchedules, records, &ParseUntilMemoryRunsOut); }
    std::vector<std::unique_ptr<ScheduleRecord>> records;
};

TEST_F(DataSetReplyTest, RunningOutOfMemoryFailsTheFetchAndKeepsTheOldRecords) {
    ScriptedPeer peer({
        Whole(kOk + "DATA:20261201:1:a:5\r\nDATA:20261202:2:b:5\r\n"),
        Whole(kOk + "DATA:20261201:1:a:5\r\nDATA:20261202:2:b:5\r\nDATA:20261203:3:c:5\r\nDATA:20261204:4:d:5\r\n"),
        Whole(kOk + "DATA:20261205:5:e:5\r\n"),
    });
    TestServerContext context("127.0.0.1", peer.Port());
    ScarceMemorySchedules set(context);
    ASSERT_EQ(set.Get(), 1);
    ASSERT_EQ(set.records.size(), 2u);
    const ScheduleRecord* first = set.records[0].get();

    EXPECT_EQ(set.Get(), 0);
    ASSERT_EQ(set.records.size(), 2u);
    EXPECT_EQ(set.records[0].get(), first);
    EXPECT_STREQ(set.records[1]->text, "b");
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, kCaptionGetSchedules);
    EXPECT_EQ(boxes.Shown()[0].text, kTextOutOfMemory);

    // The next fetch works as usual, and no connection was left open.
    EXPECT_EQ(set.Get(), 1);
    ASSERT_EQ(set.records.size(), 1u);
    EXPECT_EQ(set.records[0]->id, 5);
    ASSERT_TRUE(peer.WaitServed());
    EXPECT_EQ(peer.ClientClosed(), (std::vector<bool>{true, true, true}));
}

}  // namespace
