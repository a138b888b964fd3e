// The three data sets and the load sequence against the real calendar
// server on loopback, with a fresh database for every test.
#include "protocol/ScheduleStore.h"
#include "protocol/WireFormat.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SeededCalendar.h"
#include "tests/support/TestServerContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace std::string_literals;

namespace {

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        calendar = std::make_unique<SeededCalendar>(std::vector<std::string>{"業務", "個人"});
        ASSERT_NE(calendar->Port(), 0);
        context = std::make_unique<TestServerContext>("127.0.0.1", calendar->Port());
    }

    std::vector<CategoryRecord*> Categories() {
        CategorySet set(*context);
        EXPECT_EQ(set.Get(""), 1);
        keep.push_back(std::make_unique<CategorySet>(*context));
        keep.back()->CopyFrom(set);
        return keep.back()->ListByLevel(LEVEL_CATEGORY);
    }

    int32_t AddGenre(int32_t categoryId, const std::string& name) { return calendar->AddGenre(categoryId, name); }
    int AddSchedule(int32_t date, int32_t genreId, const std::string& text, int32_t op = OP_ADD, int32_t id = 0) {
        return calendar->AddSchedule(date, genreId, text, op, id);
    }

    MessageBoxRecorder boxes;
    std::unique_ptr<SeededCalendar> calendar;
    std::unique_ptr<TestServerContext> context;
    std::vector<std::unique_ptr<CategorySet>> keep;
};

TEST_F(DataSetTest, FetchesAllThreeSetsAfterSeeding) {
    auto categories = Categories();
    ASSERT_EQ(categories.size(), 2u);
    EXPECT_STREQ(categories[0]->name, "業務");
    EXPECT_STREQ(categories[1]->shortName, "個人");
    int32_t meeting = AddGenre(categories[0]->id, "会議");
    ASSERT_NE(meeting, 0);
    ASSERT_EQ(AddSchedule(20261224, meeting, "忘年会 19:00"), 1);

    DateInfoRecord day;
    day.date = 20270101;
    CopyToField(day.name, "元日");
    day.holiday = 1;
    DateInfoSet dayWriter(*context);
    ASSERT_EQ(dayWriter.Set(day), 1);

    ScheduleStore store(*context);
    std::vector<std::string> texts;
    store.RunLoad(kLoadEverything, [&](const char* text) { texts.push_back(text); });
    EXPECT_TRUE(boxes.Shown().empty());

    ASSERT_EQ(store.schedules.records.size(), 1u);
    const ScheduleRecord& schedule = *store.schedules.records[0];
    EXPECT_EQ(schedule.date, 20261224);
    EXPECT_NE(schedule.id, 0);
    EXPECT_STREQ(schedule.text, "忘年会 19:00");
    EXPECT_EQ(schedule.genreId, meeting);
    EXPECT_STREQ(schedule.genreName, "会議");
    EXPECT_STREQ(schedule.categoryName, "業務");
    EXPECT_STREQ(schedule.host, "127.0.0.1");
    EXPECT_EQ(std::string(schedule.entered).size(), 16u);  // "YYYY/MM/DD HH:MM"
    EXPECT_EQ(schedule.op, OP_NONE);

    ASSERT_EQ(store.categories.records.size(), 3u);
    EXPECT_EQ(store.categories.ListByParent(categories[0]->id).size(), 1u);
    ASSERT_EQ(store.dateInfo.records.size(), 1u);
    EXPECT_EQ(store.dateInfo.records[0]->date, 20270101);
    EXPECT_STREQ(store.dateInfo.records[0]->name, "元日");
    EXPECT_EQ(store.dateInfo.records[0]->holiday, 1);
}

TEST_F(DataSetTest, ScheduleOpsAddChangeAndDelete) {
    int32_t genre = AddGenre(Categories()[0]->id, "会議");
    ScheduleSet schedules(*context);
    ASSERT_EQ(AddSchedule(20261201, genre, "first"), 1);
    ASSERT_EQ(AddSchedule(20261202, genre, "second", OP_CHANGE, 0), 1);  // change of an unsaved record adds it
    ASSERT_EQ(AddSchedule(20261203, genre, "nothing", OP_DELETE, 0), 1);  // delete of an unsaved record: no-op
    ASSERT_EQ(AddSchedule(20261204, genre, "nothing", OP_NONE, 0), 1);
    ASSERT_EQ(schedules.Get(""), 1);
    ASSERT_EQ(schedules.records.size(), 2u);
    int32_t firstId = schedules.records[0]->id;
    int32_t secondId = schedules.records[1]->id;
    EXPECT_STREQ(schedules.records[1]->text, "second");

    ASSERT_EQ(AddSchedule(20261205, genre, "first, moved", OP_CHANGE, firstId), 1);
    ASSERT_EQ(AddSchedule(20261202, genre, "", OP_DELETE, secondId), 1);
    ASSERT_EQ(schedules.Get(""), 1);
    ASSERT_EQ(schedules.records.size(), 1u);
    EXPECT_EQ(schedules.records[0]->id, firstId);
    EXPECT_EQ(schedules.records[0]->date, 20261205);
    EXPECT_STREQ(schedules.records[0]->text, "first, moved");
    EXPECT_TRUE(boxes.Shown().empty());
}

// Changes that carry the revision they were loaded with stand only while
// nobody else has changed the record since: schedules, genres and days
// alike, each refusal one box that says so, the plain forms unconditional.
TEST_F(DataSetTest, ConditionalChangesNeverOverwriteAnotherPersonsChange) {
    const int32_t category = Categories()[0]->id;
    const int32_t genre = AddGenre(category, "会議");
    ASSERT_EQ(AddSchedule(20261201, genre, "mine"), 1);
    ASSERT_EQ(AddSchedule(20261202, genre, "other"), 1);
    TestServerContext conditional("127.0.0.1", calendar->Port());
    conditional.conditional = true;
    ScheduleStore loaded(conditional);
    loaded.RunLoad(kLoadRefresh, [](const char*) {});
    int64_t versions[3];
    loaded.LoadedVersions(versions);
    for (int64_t version : versions) EXPECT_GE(version, 0) << "the server announces every data set's version";
    ASSERT_EQ(loaded.schedules.records.size(), 2u);
    ScheduleRecord mine = *loaded.schedules.records[0];
    ScheduleRecord other = *loaded.schedules.records[1];

    // Someone else changes "mine" in between (a plain, unconditional change).
    ASSERT_EQ(AddSchedule(20261201, genre, "theirs", OP_CHANGE, mine.id), 1);
    ScheduleSet set(conditional);
    mine.op = OP_CHANGE;
    CopyToField(mine.text, "mine, changed");
    EXPECT_EQ(set.Set(mine), 0);
    mine.op = OP_DELETE;
    EXPECT_EQ(set.Set(mine), 0);
    other.op = OP_CHANGE;
    CopyToField(other.text, "other, changed");
    EXPECT_EQ(set.Set(other), 1) << "a record nobody else touched takes the change";
    other.op = OP_NONE;
    EXPECT_EQ(set.Set(other), 1) << "an unchanged record never conflicts";
    ASSERT_EQ(boxes.Shown().size(), 2u);
    EXPECT_NE(boxes.Shown()[0].text.find("ほかの人が変更しました"), std::string::npos) << boxes.Shown()[0].text;
    EXPECT_EQ(boxes.Captions(), (std::vector<std::string>{"SET失敗", "SET失敗"}));
    EXPECT_EQ(conditional.changesSent, 4);
    ASSERT_EQ(loaded.schedules.Get(""), 1);
    ASSERT_EQ(loaded.schedules.records.size(), 2u);
    EXPECT_STREQ(loaded.schedules.records[0]->text, "theirs");
    EXPECT_STREQ(loaded.schedules.records[1]->text, "other, changed");
    EXPECT_GT(loaded.schedules.AnnouncedVersion(), versions[0]);

    // A genre renamed by someone else after the load; a day named by
    // someone else although it had no record when it was loaded.
    CategoryRecord renamed = *loaded.categories.FindById(genre);
    ASSERT_GT(renamed.revision, 0);
    CategoryRecord theirs = renamed;
    theirs.op = OP_CHANGE;
    CopyToField(theirs.name, "打合せ");
    CopyToField(theirs.shortName, "打合せ");
    CategorySet plain(*context);
    ASSERT_EQ(plain.Set(theirs), 1);
    renamed.op = OP_CHANGE;
    CopyToField(renamed.name, "会議室");
    CopyToField(renamed.shortName, "会議室");
    CategorySet categories(conditional);
    EXPECT_EQ(categories.Set(renamed), 0);
    DateInfoRecord day;
    day.date = 20261203;
    CopyToField(day.name, "創立記念日");
    DateInfoSet plainDays(*context);
    ASSERT_EQ(plainDays.Set(day), 1);
    CopyToField(day.name, "休業日");
    day.aux = 0;  // no record when loaded
    DateInfoSet days(conditional);
    EXPECT_EQ(days.Set(day), 0);
    ASSERT_EQ(boxes.Shown().size(), 4u);
    EXPECT_NE(boxes.Shown()[2].text.find("ほかの人が変更しました"), std::string::npos) << boxes.Shown()[2].text;
    loaded.RunLoad(kLoadRefresh, [](const char*) {});
    EXPECT_STREQ(loaded.categories.FindById(genre)->name, "打合せ");
    const DateInfoRecord* named = nullptr;
    for (const auto& record : loaded.dateInfo.records) {
        if (record->date == day.date) named = record.get();
    }
    ASSERT_NE(named, nullptr);
    EXPECT_STREQ(named->name, "創立記念日");
    // With the revision now loaded, the day's change stands.
    day.aux = named->aux;
    EXPECT_EQ(days.Set(day), 1);
    EXPECT_EQ(boxes.Shown().size(), 4u);
}

TEST_F(DataSetTest, RejectedSetIsShownAndStoresNothing) {
    int32_t genre = AddGenre(Categories()[0]->id, "会議");
    EXPECT_EQ(AddSchedule(20260230, genre, "no such day"), 0);
    EXPECT_EQ(AddSchedule(20261201, genre + 100, "no such genre"), 0);
    EXPECT_EQ(boxes.Captions(), (std::vector<std::string>{"SET失敗", "SET失敗"}));
    ScheduleSet schedules(*context);
    ASSERT_EQ(schedules.Get(""), 1);
    EXPECT_TRUE(schedules.records.empty());
}

TEST_F(DataSetTest, GenreOpsAndLookups) {
    auto categories = Categories();
    int32_t work = categories[0]->id;
    int32_t home = categories[1]->id;
    int32_t meeting = AddGenre(work, "会議");
    int32_t travel = AddGenre(work, "出張");
    AddGenre(home, "通院");

    CategoryRecord renamed;
    renamed.op = OP_CHANGE;
    renamed.id = travel;
    renamed.level = LEVEL_GENRE;
    renamed.parentId = work;
    CopyToField(renamed.name, "出張:国内");
    CopyToField(renamed.shortName, "出張:国内");
    CategorySet set(*context);
    ASSERT_EQ(set.Set(renamed), 1);
    CategoryRecord removed = renamed;
    removed.op = OP_DELETE;
    removed.id = meeting;
    ASSERT_EQ(set.Set(removed), 1);

    // Op 0 and a delete of an unsaved genre change nothing; a change of an
    // unsaved genre adds it.
    CategoryRecord untouched = renamed;
    untouched.op = OP_NONE;
    CopyToField(untouched.name, "ignored");
    ASSERT_EQ(set.Set(untouched), 1);
    CategoryRecord unsaved = renamed;
    unsaved.op = OP_DELETE;
    unsaved.id = 0;
    ASSERT_EQ(set.Set(unsaved), 1);
    unsaved.op = OP_CHANGE;
    CopyToField(unsaved.name, "健診");
    CopyToField(unsaved.shortName, "健診");
    unsaved.parentId = home;
    ASSERT_EQ(set.Set(unsaved), 1);

    ASSERT_EQ(set.Get(""), 1);
    EXPECT_EQ(set.ListAll().size(), 5u);
    EXPECT_EQ(set.ListByLevel(LEVEL_CATEGORY).size(), 2u);
    auto workGenres = set.ListByParent(work);
    ASSERT_EQ(workGenres.size(), 1u);
    EXPECT_EQ(workGenres[0]->id, travel);
    EXPECT_STREQ(workGenres[0]->name, "出張:国内");
    EXPECT_EQ(set.FindById(travel), workGenres[0]);
    EXPECT_EQ(set.FindById(meeting), nullptr);
    EXPECT_EQ(set.FindById(0), nullptr);
    auto homeGenres = set.ListByParent(home);
    ASSERT_EQ(homeGenres.size(), 2u);
    EXPECT_STREQ(homeGenres[1]->name, "健診");
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(DataSetTest, GenreWithSchedulesIsNotDeleted) {
    int32_t work = Categories()[0]->id;
    int32_t meeting = AddGenre(work, "会議");
    ASSERT_EQ(AddSchedule(20261201, meeting, "standup"), 1);
    CategoryRecord removed;
    removed.op = OP_DELETE;
    removed.id = meeting;
    removed.level = LEVEL_GENRE;
    removed.parentId = work;
    CategorySet set(*context);
    EXPECT_EQ(set.Set(removed), 0);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].caption, "SET失敗");
    ASSERT_EQ(set.Get(""), 1);
    EXPECT_NE(set.FindById(meeting), nullptr);
}

TEST_F(DataSetTest, TextsRoundTripByteForByte) {
    int32_t genre = AddGenre(Categories()[0]->id, "表示:ソフト 100%");
    const std::string texts[] = {
        "a:b c+d%e",           "10:30 会議 + 50% off", "+2B+20 literally", "表ソ能 \\ '' \"",
        "ｶﾀｶﾅ half-width", std::string(255, 'x'), "two\r\nlines\r",
    };
    for (const std::string& text : texts) ASSERT_EQ(AddSchedule(20261210, genre, text), 1) << text;
    ScheduleSet schedules(*context);
    ASSERT_EQ(schedules.Get(""), 1);
    ASSERT_EQ(schedules.records.size(), std::size(texts));
    for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(FieldText(schedules.records[i]->text), texts[i]);
    EXPECT_STREQ(schedules.records[0]->genreName, "表示:ソフト 100%");

    DateInfoRecord day;
    day.date = 20261210;
    CopyToField(day.name, "創立記念日: 全社 +休業");
    DateInfoSet dates(*context);
    ASSERT_EQ(dates.Set(day), 1);
    CopyToField(day.name, "創立記念日");  // a second SET 3 of a day replaces it
    day.holiday = 1;
    ASSERT_EQ(dates.Set(day), 1);
    ASSERT_EQ(dates.Get(""), 1);
    ASSERT_EQ(dates.records.size(), 1u);
    EXPECT_STREQ(dates.records[0]->name, "創立記念日");
    EXPECT_EQ(dates.records[0]->holiday, 1);
}

TEST_F(DataSetTest, CountByGenreIncludesBothRangeEnds) {
    int32_t work = Categories()[0]->id;
    int32_t a = AddGenre(work, "A");
    int32_t b = AddGenre(work, "B");
    ASSERT_EQ(AddSchedule(20261130, a, "before"), 1);
    ASSERT_EQ(AddSchedule(20261201, a, "first day"), 1);
    ASSERT_EQ(AddSchedule(20261231, a, "last day"), 1);
    ASSERT_EQ(AddSchedule(20261231, b, "last day too"), 1);
    ASSERT_EQ(AddSchedule(20270101, b, "after"), 1);
    ScheduleSet schedules(*context);
    ASSERT_EQ(schedules.Get(""), 1);
    auto counts = schedules.CountByGenre(20261201, 20261231);
    EXPECT_EQ(counts, (std::map<int32_t, int32_t>{{a, 2}, {b, 1}}));
    EXPECT_TRUE(schedules.CountByGenre(20270102, 20271231).empty());
    EXPECT_EQ(schedules.CountByGenre(20261130, 20261130), (std::map<int32_t, int32_t>{{a, 1}}));
}

TEST_F(DataSetTest, UnreachableServerEndsTheLoadAfterOneMessage) {
    calendar->Server().Stop();
    ScheduleStore store(*context);
    std::vector<std::string> texts;
    store.RunLoad(kLoadEverything, [&](const char* text) { texts.push_back(text); });
    EXPECT_EQ(texts, (std::vector<std::string>{"サーバーとの接続を確認中...", "サーバーとの接続を確認中... 完了"}));
    EXPECT_EQ(boxes.Captions(), std::vector<std::string>{"Connect失敗"});
}

}  // namespace
