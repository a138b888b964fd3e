// The protocol's text codings, framing and field copying, byte for byte.
#include "protocol/BlockPool.h"
#include "protocol/ChangeTracker.h"
#include "protocol/LoadMask.h"
#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace std::string_literals;

TEST(EscapeTest, EscapesTheFourBytesAndNothingElse) {
    EXPECT_EQ(Escape(""), "");
    EXPECT_EQ(Escape("a b"), "a+20b");
    EXPECT_EQ(Escape("1+1=2"), "1+2B1=2");
    EXPECT_EQ(Escape("50%"), "50+25");
    EXPECT_EQ(Escape("10:30"), "10+3A30");
    EXPECT_EQ(Escape("+%: "), "+2B+25+3A+20");
    EXPECT_EQ(Escape("it's \\ \t"), "it's+20\\+20\t");
    // A line break inside a text must not end the request line.
    EXPECT_EQ(Escape("a\r\nb\n"), "a+0D+0Ab+0A");
    EXPECT_EQ(Escape("会議室"), "会議室");  // double-byte characters pass unchanged
}

TEST(UnescapeTest, DecodesAnyHexEscape) {
    EXPECT_EQ(Unescape("a+20b"), "a b");
    EXPECT_EQ(Unescape("+2B+2B"), "++");
    EXPECT_EQ(Unescape("+41+42"), "AB");
    EXPECT_EQ(Unescape("+2b"), "+");
    EXPECT_EQ(Unescape("%41"), "%41");
    EXPECT_EQ(Unescape("x+"), "x+");
    EXPECT_EQ(Unescape("x+4"), "x\x04"s);
    EXPECT_EQ(Unescape("++41"), "\x04"s "1");
    EXPECT_EQ(Unescape("+zz"), "\0"s);
    EXPECT_EQ(Unescape("+-1"), "\xFF"s);  // sign taken, low 8 bits kept
    EXPECT_EQ(Unescape("+ 7x"), "\x07x"s);
    EXPECT_EQ(Unescape("-ERR+20busy"), "-ERR busy");
}

TEST(UnescapeTest, RoundTripsEveryByteThroughEscape) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Unescape(Escape(all)), all);
}

TEST(QuoteSqlTextTest, DoublesQuotesAndBackslashesBytewise) {
    EXPECT_EQ(QuoteSqlText("it's"), "it''s");
    EXPECT_EQ(QuoteSqlText("a\\b"), "a\\\\b");
    EXPECT_EQ(QuoteSqlText("50%_"), "50%_");
    // 「表」 is 0x95 0x5C in Shift-JIS: its trail byte is doubled too.
    EXPECT_EQ(QuoteSqlText("表"), "\x95\x5C\x5C"s);
    EXPECT_EQ(Escape("schedule like '%" + QuoteSqlText("it's") + "%' "), "schedule+20like+20'+25it''s+25'+20");
}

TEST(CopyToFieldTest, StopsAtAZeroByte) {
    char field[8];
    EXPECT_EQ(CopyToField(field, "ab\0cd"s), 2u);
    EXPECT_EQ(std::string(field), "ab");
    EXPECT_EQ(UnescapeToField(field, "x+zzy"), 1u);
    EXPECT_EQ(std::string(field), "x");
}

TEST(UnescapeToFieldTest, MatchesUnescapeThenCopy) {
    const std::string samples[] = {"a+20b", "+2B+2B", "x+", "x+4", "++41", "%41", "会議+3A室+20Room", "+zzq",
                                   "+8", "+82+a0", "+82+00x", "\x82", "ab\0cd"s, "+", "++", "表+20ソ+20能"};
    for (const std::string& sample : samples) {
        for (size_t width = 1; width <= 12; ++width) {
            char direct[16];
            char viaString[16];
            size_t a = UnescapeToField(direct, width, sample);
            size_t b = CopyToField(viaString, width, Unescape(sample));
            EXPECT_EQ(a, b) << sample << " width " << width;
            EXPECT_EQ(std::string(direct, width), std::string(viaString, width)) << sample << " width " << width;
        }
    }
}

TEST(FramingTest, CutsRepliesIntoLinesAtCrLf) {
    std::vector<std::string> lines;
    ForEachLine("+OK\r\nDATA:1\r\nx\ny\r\n", [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"+OK", "DATA:1", "x\ny", ""}));

    std::vector<std::string> records;
    ForEachRecordLine("+OK\r\nxDATAy:1:2\r\nDAT\r\nDATA:3", [&](std::string_view line) { records.emplace_back(line); });
    EXPECT_EQ(records, (std::vector<std::string>{"xDATAy:1:2", "DATA:3"}));
}

// Lines of a reply read in pieces: `cuts` are the positions where one
// piece ends and the next begins.
std::vector<std::string> ReadInPieces(std::string_view reply, const std::vector<size_t>& cuts, ReplyReader& reader) {
    std::vector<std::string> lines;
    auto keep = [&lines](std::string_view line) { lines.emplace_back(line); };
    size_t from = 0;
    for (size_t cut : cuts) {
        reader.Feed(reply.substr(from, cut - from), keep);
        from = cut;
    }
    reader.Feed(reply.substr(from), keep);
    reader.Finish(keep);
    return lines;
}

TEST(FramingTest, ReadsARepliesPiecesAsTheWholeReply) {
    using Verdict = ReplyReader::Verdict;
    const struct {
        std::string reply;
        Verdict verdict;
    } cases[] = {
        {"+OK RDZVP/0.0 2\r\nDATA:1:a\r\n\r\nxDATA\r\r\nDATA:2:b\nc\r\n", Verdict::kSuccess},
        {"DATA:1\r\nDATA:2", Verdict::kSuccess},
        {"\r\n\r\n", Verdict::kSuccess},
        {"+OK\r\0x\r\n"s, Verdict::kSuccess},
        {"-ERR+20busy\r\nDATA:1\r\n", Verdict::kFailure},
        {"HTTP/1.1 400 Bad Request\r\nDATA:1\r\n", Verdict::kUnreadable},
        {"SSH-2.0", Verdict::kUnreadable},
        {"", Verdict::kEmpty},
    };
    for (const auto& c : cases) {
        std::vector<std::string> whole;
        ForEachLine(c.reply, [&whole](std::string_view line) {
            whole.emplace_back(line);
            return true;
        });
        // Every place for one cut, and one byte at a time.
        std::vector<std::vector<size_t>> cutSets;
        for (size_t cut = 0; cut <= c.reply.size(); ++cut) cutSets.push_back({cut});
        std::vector<size_t> everyByte;
        for (size_t cut = 1; cut < c.reply.size(); ++cut) everyByte.push_back(cut);
        cutSets.push_back(everyByte);
        for (const auto& cuts : cutSets) {
            ReplyReader reader;
            std::vector<std::string> lines = ReadInPieces(c.reply, cuts, reader);
            ASSERT_EQ(reader.Result(), c.verdict) << c.reply;
            if (c.verdict == Verdict::kSuccess) {
                EXPECT_EQ(lines, whole) << c.reply << " cut " << cuts.size();
                EXPECT_EQ(reader.FirstLine(), whole.front());
            } else {
                EXPECT_TRUE(lines.empty()) << c.reply;
            }
            if (c.verdict == Verdict::kFailure) {
                EXPECT_EQ(reader.FailureText(), c.reply);
            }
        }
    }
}

TEST(FramingTest, ReservesAnAnnouncedCountOnlyAsFarAsTheBytesReach) {
    // Honest: the whole count once the bytes could hold it.
    EXPECT_EQ(RecordRoom(0, true, 1000, 100000), 1000u);
    EXPECT_EQ(RecordRoom(0, true, 2, 40), 2u);
    // Hostile or wrong: no more than the record lines the bytes could hold.
    EXPECT_EQ(RecordRoom(0, true, UINT64_MAX, 255), 255 / kShortestRecordLine + 1);
    EXPECT_EQ(RecordRoom(43, true, 1000000000, 6000), 1001u);
    // Nothing announced, or more records than announced: the usual growth.
    EXPECT_EQ(RecordRoom(0, false, 0, 100000), 0u);
    EXPECT_EQ(RecordRoom(5, true, 5, 100000), 0u);
    EXPECT_EQ(RecordRoom(5, true, 0, 100000), 0u);
}

TEST(BlockPoolTest, ReusesFreedBlocksAndGivesEmptySlabsBack) {
    BlockPool pool(sizeof(ScheduleRecord), 4);
    std::vector<void*> blocks;
    for (int i = 0; i < 10; ++i) blocks.push_back(pool.Allocate());
    EXPECT_EQ(pool.SlabCount(), 3u);
    // No two blocks overlap.
    std::vector<char*> sorted;
    for (void* block : blocks) sorted.push_back(static_cast<char*>(block));
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i) EXPECT_GE(sorted[i] - sorted[i - 1], 552);
    // The first slab emptied goes back; a block freed elsewhere is taken again.
    for (int i = 0; i < 4; ++i) pool.Free(blocks[i]);
    EXPECT_EQ(pool.SlabCount(), 2u);
    // The last slab's two free blocks first, then the one freed in the second.
    pool.Free(blocks[5]);
    pool.Allocate();
    pool.Allocate();
    EXPECT_EQ(pool.Allocate(), blocks[5]);
    EXPECT_EQ(pool.SlabCount(), 2u);
    pool.Free(nullptr);
    int outside = 0;
    pool.Free(&outside);  // not the pool's: left alone
    EXPECT_EQ(pool.SlabCount(), 2u);

    // Schedules made with new come from the pool and go back to it.
    std::vector<std::unique_ptr<ScheduleRecord>> records;
    for (int i = 0; i < 5000; ++i) records.push_back(std::make_unique<ScheduleRecord>());
    records[4999]->date = 20261231;
    EXPECT_EQ(records[0]->date, 0);
    records.clear();
}

TEST(FramingTest, JudgesReplies) {
    EXPECT_TRUE(IsSuccessReply("\r\n"));
    EXPECT_TRUE(IsSuccessReply("+OK RDZVP/0.0\r\n"));
    EXPECT_FALSE(IsSuccessReply(""));
    EXPECT_FALSE(IsSuccessReply("-"));
    EXPECT_FALSE(IsSuccessReply("-ERR"));
    // Success replies that are not of this protocol: another service, noise.
    for (const char* readable : {"\r\n", "+OK\r\n", "+", "DATA:1\r\n", "xDATAy:1:2"}) {
        EXPECT_TRUE(IsProtocolReply(readable)) << readable;
    }
    for (const char* foreign : {"HTTP/1.1 400 Bad Request\r\n\r\n", "SSH-2.0-OpenSSH_9.2\r\n", "\x89PNG\r\n",
                                "OK\r\nDATA:1\r\n", " +OK\r\n"}) {
        EXPECT_FALSE(IsProtocolReply(foreign)) << foreign;
    }

    // The number of record lines, where the status line names one.
    uint64_t count = 7;
    EXPECT_TRUE(ReadAnnouncedRecordCount("+OK RDZVP/0.0 12\r\nDATA:1\r\n", count));
    EXPECT_EQ(count, 12u);
    EXPECT_TRUE(ReadAnnouncedRecordCount("+OK RDZVP/0.0 0", count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(ReadAnnouncedRecordCount("+OK RDZVP/0.0 123456789012345678901234567890\r\n", count));
    EXPECT_EQ(count, UINT64_MAX);
    // Words after the count are the version a whole data set announces.
    EXPECT_TRUE(ReadAnnouncedRecordCount("+OK RDZVP/0.0 3 VERSION 17\r\nDATA:1\r\n", count));
    EXPECT_EQ(count, 3u);
    int64_t version = -1;
    EXPECT_TRUE(ReadAnnouncedVersion("+OK RDZVP/0.0 3 VERSION 17\r\nDATA:1\r\n", version));
    EXPECT_EQ(version, 17);
    for (const char* none : {"+OK RDZVP/0.0 3\r\n", "+OK RDZVP/0.0\r\n", "+OK RDZVP/0.0 3 VERSION\r\n",
                             "+OK RDZVP/0.0 3 VERSION -2\r\n", "+OK RDZVP/0.0 3 version 4\r\n",
                             "+OK RDZVP/0.0 x VERSION 4\r\n", "+OK RDZVP/0.0 3 VERSION 99999999999999999999\r\n",
                             "DATA:1\r\n"}) {
        EXPECT_FALSE(ReadAnnouncedVersion(none, version)) << none;
    }
    int64_t versions[3] = {-1, -1, -1};
    EXPECT_TRUE(ReadVersionsReply("+OK RDZVP/0.0 4 0 9\r\n", versions));
    EXPECT_EQ(versions[0], 4);
    EXPECT_EQ(versions[1], 0);
    EXPECT_EQ(versions[2], 9);
    for (const char* wrong : {"+OK RDZVP/0.0 4 0\r\n", "+OK RDZVP/0.0 4 0 9 1\r\n", "+OK RDZVP/0.0\r\n",
                              "-unknown-request\r\n", "+OK RDZVP/0.0 4 0 x\r\n", ""}) {
        EXPECT_FALSE(ReadVersionsReply(wrong, versions)) << wrong;
        EXPECT_EQ(versions[0], 4) << "a wrong reply leaves the versions alone";
    }

    for (const char* plain : {"+OK RDZVP/0.0\r\n12\r\n", "+OK RDZVP/0.0 \r\n", "+OK RDZVP/0.0 1x 2\r\n",
                              "+OK RDZVP/0.0 -1\r\n", "+OK RDZVP/0.0 +1\r\n", " +OK RDZVP/0.0 1\r\n",
                              "+OK RDZVP/0.1 1\r\n", "+OK RDZVP/0.0  1\r\n", ""}) {
        EXPECT_FALSE(ReadAnnouncedRecordCount(plain, count)) << plain;
    }
}

TEST(RequestLineTest, BuildsTheExactBytes) {
    EXPECT_EQ(BuildGetLine(1, ""), "GET RDZVP/0.0 1 \r\n");
    EXPECT_EQ(BuildGetLine(1, "sk0.id = 3 "), "GET RDZVP/0.0 1 sk0.id+20=+203+20\r\n");
    EXPECT_EQ(BuildSetLine(3, "20070101::0:1"), "SET RDZVP/0.0 3 20070101::0:1\r\n");
}

TEST(RecordCodecTest, ParsesAScheduleLine) {
    ScheduleRecord record;
    ParseScheduleRecord("DATA:20061224:7:Party+20at+20home:3:0:x:y:Event:Private", record);
    EXPECT_EQ(record.op, 0);
    EXPECT_EQ(record.date, 20061224);
    EXPECT_EQ(record.id, 7);
    EXPECT_STREQ(record.text, "Party at home");
    EXPECT_EQ(record.genreId, 3);
    EXPECT_EQ(record.aux, 0);
    EXPECT_STREQ(record.entered, "x");
    EXPECT_STREQ(record.host, "y");
    EXPECT_STREQ(record.genreName, "Event");
    EXPECT_STREQ(record.categoryName, "Private");
}

TEST(RecordCodecTest, ShortLinesReadZeroAndEmptyAndLongLinesAreCut) {
    ScheduleRecord shortRecord;
    ParseScheduleRecord("DATA:20070101:5", shortRecord);
    EXPECT_EQ(shortRecord.date, 20070101);
    EXPECT_EQ(shortRecord.id, 5);
    EXPECT_STREQ(shortRecord.text, "");
    EXPECT_EQ(shortRecord.genreId, 0);
    EXPECT_STREQ(shortRecord.categoryName, "");

    ScheduleRecord longRecord;
    std::string text(300, 'a');
    ParseScheduleRecord("DATA:1:2:" + text + ":4:5:e:h:g:c:extra:more", longRecord);
    EXPECT_EQ(std::string(longRecord.text), std::string(255, 'a'));
    EXPECT_EQ(longRecord.genreId, 4);
    EXPECT_STREQ(longRecord.categoryName, "c");

    DateInfoRecord day;
    ParseDateInfoRecord("DATA:20070101:+8C+B3+93+FA:", day);
    EXPECT_STREQ(day.name, "元日");
    EXPECT_EQ(day.holiday, 0);
}

TEST(RecordCodecTest, ParsesCategoryAndDateInfoLines) {
    DateInfoRecord day;
    ParseDateInfoRecord("DATA:20070101:+8C+B3+93+FA:1:7:2006/12/24+2010+3A00:pc2", day);
    EXPECT_EQ(day.date, 20070101);
    EXPECT_STREQ(day.name, "元日");
    EXPECT_EQ(day.holiday, 1);
    EXPECT_EQ(day.aux, 7);
    EXPECT_STREQ(day.entered, "2006/12/24 10:00");
    EXPECT_STREQ(day.host, "pc2");

    CategoryRecord record;
    ParseCategoryRecord("DATA:12:1:3:A+3AB:AB:2:2006/12/24+2010+3A00:pc1", record);
    EXPECT_EQ(record.id, 12);
    EXPECT_EQ(record.level, LEVEL_GENRE);
    EXPECT_EQ(record.parentId, 3);
    EXPECT_STREQ(record.name, "A:B");
    EXPECT_STREQ(record.shortName, "AB");
    EXPECT_EQ(record.editState, 2);
    EXPECT_STREQ(record.entered, "2006/12/24 10:00");
    EXPECT_STREQ(record.host, "pc1");
    EXPECT_EQ(record.revision, 0) << "a server without revisions sends eight fields";
    EXPECT_EQ(record.treeItem, nullptr);

    ParseCategoryRecord("DATA:12:1:3:A:A:0:e:h:42", record);
    EXPECT_EQ(record.revision, 42);
    EXPECT_STREQ(record.host, "h");
}

TEST(RecordCodecTest, FormatsSetBodies) {
    ScheduleRecord schedule;
    schedule.op = OP_ADD;
    schedule.date = 20061224;
    CopyToField(schedule.text, "Meeting at 10:30");
    schedule.genreId = 5;
    EXPECT_EQ(BuildSetLine(1, FormatScheduleSetBody(schedule)), "SET RDZVP/0.0 1 1:20061224:0:Meeting+20at+2010+3A30:5\r\n");
    EXPECT_EQ(SplitAll(FormatScheduleSetBody(schedule), ":").size(), 5u);

    CategoryRecord genre;
    genre.op = OP_ADD;
    genre.level = LEVEL_GENRE;
    genre.parentId = 3;
    CopyToField(genre.name, "A:B");
    CopyToField(genre.shortName, "A:B");
    EXPECT_EQ(FormatCategorySetBody(genre), "1:0:1:3:A+3AB:A+3AB");

    DateInfoRecord day;
    day.date = 20070101;
    CopyToField(day.name, "元日");
    day.holiday = 1;
    EXPECT_EQ(BuildSetLine(3, FormatDateInfoSetBody(day)), "SET RDZVP/0.0 3 20070101:元日:1:1\r\n");
    day.name[0] = '\0';
    day.holiday = 0;
    EXPECT_EQ(FormatDateInfoSetBody(day), "20070101::0:1");

    // Conditional: changes and deletions of stored records carry the
    // revision they were loaded with; additions and unchanged records go
    // out plain, and so does everything to a server that announced none.
    schedule.op = OP_CHANGE;
    schedule.id = 7;
    schedule.aux = 12;
    EXPECT_EQ(FormatScheduleSetBody(schedule), "2:20061224:7:Meeting+20at+2010+3A30:5");
    EXPECT_EQ(FormatScheduleSetBody(schedule, true), "2:20061224:7:Meeting+20at+2010+3A30:5:12");
    schedule.op = OP_DELETE;
    EXPECT_EQ(FormatScheduleSetBody(schedule, true), "3:20061224:7:Meeting+20at+2010+3A30:5:12");
    for (int32_t op : {OP_NONE, OP_ADD}) {
        schedule.op = op;
        EXPECT_EQ(SplitAll(FormatScheduleSetBody(schedule, true), ":").size(), 5u) << op;
    }
    schedule.op = OP_DELETE;
    schedule.id = 0;  // added and deleted again in the sheet: nothing stored to guard
    EXPECT_EQ(SplitAll(FormatScheduleSetBody(schedule, true), ":").size(), 5u);

    genre.op = OP_CHANGE;
    genre.id = 9;
    genre.revision = 3;
    EXPECT_EQ(FormatCategorySetBody(genre, true), "2:9:1:3:A+3AB:A+3AB:3");
    genre.op = OP_ADD;
    EXPECT_EQ(FormatCategorySetBody(genre, true), "1:9:1:3:A+3AB:A+3AB");

    day.aux = 0;  // the day had no record
    EXPECT_EQ(FormatDateInfoSetBody(day, true), "20070101::0:1:0");
    day.aux = 5;
    EXPECT_EQ(BuildSetLine(3, FormatDateInfoSetBody(day, true)), "SET RDZVP/0.0 3 20070101::0:1:5\r\n");
}

// The background checks against what the store was loaded at: a notice only
// for others' changes, never for this client's own, and the refresh when
// the person comes back.
TEST(ChangeTrackerTest, NoticesOthersChangesAndNeverItsOwn) {
    constexpr uint32_t kInterval = ChangeTracker::kCheckIntervalMs;
    ChangeTracker tracker;
    const int64_t loaded[3] = {10, 4, -1};  // date information from a server without versions
    uint32_t now = 0xFFFFF000u;             // the tick count wraps during the run
    tracker.WaitFrom(now);
    EXPECT_FALSE(tracker.MayCheck(now + kInterval - 1));
    ASSERT_TRUE(tracker.MayCheck(now += kInterval));

    // Unchanged, then a failed check (no server): no notice, and the next
    // check only an interval later.
    uint32_t ticket = tracker.CheckStarted(now);
    EXPECT_FALSE(tracker.MayCheck(now + kInterval - 1)) << "one check at a time";
    const int64_t same[3] = {10, 4, 99};
    EXPECT_FALSE(tracker.CheckEnded(ticket, same, loaded));
    EXPECT_FALSE(tracker.Notice()) << "a data set without a version never counts as changed";
    ticket = tracker.CheckStarted(now += kInterval);
    EXPECT_FALSE(tracker.CheckEnded(ticket, nullptr, loaded));
    EXPECT_FALSE(tracker.MayCheck(now + 1000));

    // Someone else renamed a genre: the notice, and a refresh of the genres
    // and of the schedules that carry their names.
    ticket = tracker.CheckStarted(now += kInterval);
    const int64_t renamed[3] = {10, 5, 99};
    EXPECT_TRUE(tracker.CheckEnded(ticket, renamed, loaded));
    EXPECT_EQ(tracker.Changed(), uint32_t{LOAD_CATEGORIES});
    EXPECT_EQ(tracker.RefreshMask(), uint32_t{LOAD_CATEGORIES | LOAD_SCHEDULES});
    EXPECT_EQ(tracker.CameBack(now + 10), ChangeTracker::ComeBack::kRefresh);
    // A load of the schedules alone leaves the genres' notice up; F5's clears it.
    tracker.LoadStarted();
    EXPECT_FALSE(tracker.LoadFinished(kLoadAfterDaySheet));
    EXPECT_TRUE(tracker.Notice());
    tracker.LoadStarted();
    EXPECT_TRUE(tracker.LoadFinished(kLoadRefresh));
    EXPECT_FALSE(tracker.Notice());

    // A check in flight when this client sends its own change, or started
    // between that change and the load after it, is not believed.
    const int64_t reloaded[3] = {11, 5, -1};
    ticket = tracker.CheckStarted(now += kInterval);
    tracker.ChangeSent();
    const int64_t own[3] = {12, 5, 99};
    EXPECT_FALSE(tracker.CheckEnded(ticket, own, reloaded));
    ticket = tracker.CheckStarted(now += kInterval);
    EXPECT_FALSE(tracker.CheckEnded(ticket, own, reloaded));
    EXPECT_FALSE(tracker.Notice());
    tracker.LoadStarted();
    tracker.LoadFinished(kLoadAfterDaySheet);
    const int64_t afterOwnLoad[3] = {12, 5, -1};
    ticket = tracker.CheckStarted(now += kInterval);
    EXPECT_FALSE(tracker.CheckEnded(ticket, own, afterOwnLoad));
    EXPECT_FALSE(tracker.Notice());
    // A load overtakes a check: its late report is dropped.
    ticket = tracker.CheckStarted(now += kInterval);
    tracker.LoadStarted();
    tracker.LoadFinished(kLoadRefresh);
    const int64_t stale[3] = {1, 1, 1};
    EXPECT_FALSE(tracker.CheckEnded(ticket, stale, afterOwnLoad));

    // Coming back checks at once when a check may go out, and refreshes
    // only when that check finds changes soon enough.
    now += kInterval;
    ASSERT_EQ(tracker.CameBack(now), ChangeTracker::ComeBack::kCheck);
    ticket = tracker.CheckStarted(now);
    EXPECT_EQ(tracker.CameBack(now + 100), ChangeTracker::ComeBack::kNothing) << "checked just now";
    const int64_t other[3] = {13, 5, 99};
    EXPECT_TRUE(tracker.CheckEnded(ticket, other, afterOwnLoad));
    EXPECT_TRUE(tracker.RefreshAfterCheck(now + 500));
    EXPECT_FALSE(tracker.RefreshAfterCheck(now + 600)) << "asked once";
    tracker.LoadStarted();
    tracker.LoadFinished(kLoadRefresh);
    now += kInterval;
    ASSERT_EQ(tracker.CameBack(now), ChangeTracker::ComeBack::kCheck);
    ticket = tracker.CheckStarted(now);
    const int64_t later[3] = {14, 5, 99};
    EXPECT_TRUE(tracker.CheckEnded(ticket, later, other));
    EXPECT_FALSE(tracker.RefreshAfterCheck(now + ChangeTracker::kComeBackWindowMs + 1)) << "too late: notice only";
    EXPECT_TRUE(tracker.Notice());
    // A timer's check after coming back does not refresh by itself.
    ticket = tracker.CheckStarted(now += kInterval);
    const int64_t again[3] = {15, 5, 99};
    tracker.CheckEnded(ticket, again, other);
    EXPECT_FALSE(tracker.RefreshAfterCheck(now + 10));
    // A lost check (it never reported) lets the next one go after a while.
    tracker.CheckStarted(now += kInterval);
    EXPECT_FALSE(tracker.MayCheck(now + kInterval));
    EXPECT_TRUE(tracker.MayCheck(now + ChangeTracker::kLostCheckMs));
}
