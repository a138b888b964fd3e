// The calendar as iCalendar: export-ics read back by an independent parser
// (Python's icalendar) and by import-ics into an empty database, files in
// the shapes other calendar programs write, and the import's promises
// (nothing twice, nothing from a failing file). Runs on SQLite, and on
// PostgreSQL as ics_test_postgres.
#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/CalendarStore.h"
#include "tests/server/ServerHarness.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Shift-JIS bytes written out, since the sources' literals are compiled to
// code page 932 anyway: kept explicit where the exact bytes matter.
const std::string kBoso = "\x95\x5C\x8E\xA6";                 // 表示 (0x5C as a trail byte)
const std::string kBackslashLike = "\x81\x5F";                 // ＼ U+FF3C
const std::string kWave = "\x81\x60";                          // ～ U+FF5E
const std::string kCircledOne = "\x87\x40";                    // ① NEC extension
const std::string kSmallRomanOne = "\xFA\x40";                 // ⅰ IBM extension
const std::string kGeta = "\x81\xAC";                          // 〓

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One line per VEVENT as Python's icalendar reads it:
// uid TAB start TAB all-day TAB categories (joined by "/") TAB host TAB summary
// (newlines as "\n").
std::vector<std::vector<std::string>> ParseWithPython(const TempDir& folder, const std::string& icsPath) {
    std::string script = folder.Path() + "/read.py";
    WriteFile(script,
              "import sys, datetime, icalendar\n"
              "cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
              "assert cal.get('VERSION') == '2.0'\n"
              "assert str(cal.get('REFRESH-INTERVAL').to_ical(), 'ascii').startswith('PT')\n"
              "for ev in cal.walk('VEVENT'):\n"
              "    start = ev.decoded('DTSTART')\n"
              "    cats = ev.get('CATEGORIES')\n"
              "    cats = cats if isinstance(cats, list) else ([cats] if cats is not None else [])\n"
              "    names = []\n"
              "    for c in cats:\n"
              "        names += [str(x) for x in c.cats] if hasattr(c, 'cats') else [str(c)]\n"
              "    assert 'DTEND' not in ev and ev.decoded('DURATION') == datetime.timedelta(days=1)\n"
              "    ev.decoded('DTSTAMP')\n"
              "    print('\\t'.join([str(ev['UID']), start.isoformat(),\n"
              "        str(not isinstance(start, datetime.datetime)), '/'.join(names),\n"
              "        str(ev.get('X-RENDEZ-HOST', '')), str(ev['SUMMARY']).replace('\\n', '\\\\n')]))\n");
    std::string command = "/usr/bin/python3 " + script + " " + icsPath + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
            fields.push_back(line.substr(start, tab - start));
        }
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

// "what: N" from an import's report.
int Count(const std::string& report, const std::string& what) {
    size_t at = report.find(what + ": ");
    if (at == std::string::npos) return -1;
    return std::atoi(report.c_str() + at + what.size() + 2);
}

std::multiset<std::pair<int32_t, std::string>> Schedules(const std::string& database, int32_t genre = 0) {
    std::multiset<std::pair<int32_t, std::string>> rows;
    for (const auto& row : OpenCalendarStore(database)->Export().schedules) {
        if (genre == 0 || row.genreId == genre) rows.emplace(row.date, row.text);
    }
    return rows;
}

class IcsTest : public ::testing::Test {
protected:
    // A category with one genre in `database`; returns the genre's id.
    static int32_t AddGenre(const std::string& database, const std::string& category, const std::string& genre) {
        std::unique_ptr<CalendarStore> store = OpenCalendarStore(database);
        ChangeStamp stamp{"2026/11/02 09:15", "192.168.10.7"};
        int32_t categoryId = store->AddCategory(category, category.substr(0, 8), stamp);
        return store->AddGenre(categoryId, genre, genre.substr(0, 8), stamp);
    }

    std::string Import(const std::string& database, std::vector<std::string> extra, const std::string& file,
                       int expectedStatus = 0) {
        std::vector<std::string> arguments = {"import-ics", "--db", database};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(file);
        std::string output;
        EXPECT_EQ(RunServerCommand(arguments, &output), expectedStatus) << output;
        return output;
    }

    std::string Export(const std::string& database, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {"export-ics", "--db", database};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        std::string output;
        EXPECT_EQ(RunServerCommand(arguments, &output), 0);
        return output;
    }

    TempDir folder_;
};

TEST_F(IcsTest, ExportIsReadByOthersAndImportsBackIntoAnEmptyCalendar) {
    std::string source = FreshDatabase(folder_);
    int32_t meetings = AddGenre(source, "業務 & 会議", "定例, 週次; 第1");
    int32_t trips = AddGenre(source, "出張", "国内");
    std::string longText;
    while (longText.size() + 2 <= 254) longText += "漢";
    longText += "!";  // 255 bytes: 127 double-byte characters and one ASCII
    ASSERT_EQ(longText.size(), 255u);
    const std::vector<std::pair<int32_t, std::string>> texts = {
        {20261224, "忘年会"},
        {20261224, "A & B, C; D \\ E"},
        {20270105, "一行目\r\n二行目"},
        {20270110, longText},
        {20270111, kBoso + " " + kBackslashLike + kWave + kCircledOne + kSmallRomanOne},
    };
    {
        std::unique_ptr<CalendarStore> store = OpenCalendarStore(source);
        ChangeStamp stamp{"2026/11/03 14:05", "192.168.10.7"};
        for (const auto& [date, text] : texts) {
            ScheduleChange change;
            change.op = OP_ADD;
            change.date = date;
            change.text = text;
            change.genreId = meetings;
            ASSERT_FALSE(store->ApplySchedule(change, stamp));
        }
        ScheduleChange trip;
        trip.op = OP_ADD;
        trip.date = 20270201;
        trip.text = "大阪";
        trip.genreId = trips;
        ASSERT_FALSE(store->ApplySchedule(trip, stamp));
        ASSERT_FALSE(store->ApplyDateInfo(DateInfoChange{20270101, "元日", 1, 1, {}}, stamp));
        ASSERT_FALSE(store->ApplyDateInfo(DateInfoChange{20270115, "創立記念日", 0, 1, {}}, stamp));
    }

    std::string whole = Export(source);
    EXPECT_NE(whole.find("BEGIN:VCALENDAR\r\n"), std::string::npos);
    for (size_t start = 0, end; (end = whole.find("\r\n", start)) != std::string::npos; start = end + 2) {
        EXPECT_LE(end - start, 75u) << "unfolded line: " << whole.substr(start, end - start);
    }
    EXPECT_NE(whole.find("DTSTART;VALUE=DATE:20261224"), std::string::npos);
    EXPECT_NE(whole.find("CREATED:20261103T140500Z"), std::string::npos);  // the tests run with TZ unset: UTC
    EXPECT_EQ(Export(source), whole) << "two exports of unchanged data are the same text";
    std::string wholePath = folder_.Path() + "/whole.ics";
    WriteFile(wholePath, whole);

    std::vector<std::vector<std::string>> events = ParseWithPython(folder_, wholePath);
    ASSERT_EQ(events.size(), texts.size() + 3);
    std::map<std::string, std::vector<std::string>> bySummary;
    std::set<std::string> uids;
    for (const auto& event : events) {
        ASSERT_EQ(event.size(), 6u);
        EXPECT_EQ(event[2], "True") << "all-day";
        uids.insert(event[0]);
        bySummary[event[5]] = event;
    }
    EXPECT_EQ(uids.size(), events.size());
    ASSERT_TRUE(bySummary.count(u8"忘年会"));
    EXPECT_EQ(bySummary[u8"忘年会"][1], "2026-12-24");
    EXPECT_EQ(bySummary[u8"忘年会"][3], u8"業務 & 会議/定例， 週次; 第1");
    EXPECT_EQ(bySummary[u8"忘年会"][4], "192.168.10.7");
    EXPECT_TRUE(bySummary.count("A & B, C; D \\ E"));
    EXPECT_TRUE(bySummary.count(u8"一行目\\n二行目"));
    EXPECT_TRUE(bySummary.count(u8"表示 ＼～①ⅰ"));
    EXPECT_EQ(bySummary[u8"元日"][3], u8"祝日");
    EXPECT_EQ(bySummary[u8"創立記念日"][3], u8"日付名称");
    EXPECT_NE(whole.find("X-RENDEZ-DAY:HOLIDAY"), std::string::npos);
    EXPECT_NE(whole.find(u8"CATEGORIES:業務 & 会議,定例， 週次; 第1\r\n"), std::string::npos);

    // Filters: one genre; a text (ASCII without regard to case); a range.
    EXPECT_EQ(ParseWithPython(folder_, (WriteFile(wholePath, Export(source, {"--genre", std::to_string(trips), "--no-days"})), wholePath)).size(), 1u);
    WriteFile(wholePath, Export(source, {"--text", "a & b", "--no-days"}));
    ASSERT_EQ(ParseWithPython(folder_, wholePath).size(), 1u);
    WriteFile(wholePath, Export(source, {"--from", "2027-01-01", "--to", "2027-01-10"}));
    EXPECT_EQ(ParseWithPython(folder_, wholePath).size(), 3u);  // 元日, the two lines, the long text

    // Into an empty calendar: same dates and texts, all under the genre given.
    std::string schedulesPath = folder_.Path() + "/schedules.ics";
    WriteFile(schedulesPath, Export(source, {"--no-days"}));
    TempDir targetFolder;
    std::string target = FreshDatabase(targetFolder);
    int32_t imported = AddGenre(target, "取り込み", "他の予定");
    std::string report = Import(target, {"--genre", std::to_string(imported)}, schedulesPath);
    EXPECT_EQ(Count(report, "schedules added"), 6) << report;
    EXPECT_EQ(Count(report, "characters replaced by \xE3\x80\x93"), 0) << report;
    EXPECT_EQ(Count(report, "texts cut to 255 bytes"), 0) << report;
    EXPECT_EQ(Schedules(target, imported), Schedules(source));

    // A second import of the same file adds nothing.
    report = Import(target, {"--genre", std::to_string(imported)}, schedulesPath);
    EXPECT_EQ(Count(report, "schedules added"), 0) << report;
    EXPECT_EQ(Count(report, "events skipped, imported before"), 6) << report;
    EXPECT_EQ(Schedules(target).size(), 6u);

    // Named days come in as holidays with --holidays.
    std::string daysPath = folder_.Path() + "/days.ics";
    WriteFile(daysPath, Export(source, {"--genre", "999999"}));
    report = Import(target, {"--holidays"}, daysPath);
    EXPECT_EQ(Count(report, "holidays added"), 2) << report;
    CalendarContents contents = OpenCalendarStore(target)->Export();
    ASSERT_EQ(contents.dateInfo.size(), 2u);
    EXPECT_EQ(contents.dateInfo[0].date, 20270101);
    EXPECT_EQ(contents.dateInfo[0].name, "元日");
    EXPECT_EQ(contents.dateInfo[0].holiday, 1);
}

// Files in the shapes other programs write.
const char* const kForeignCalendar =
    u8"BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Example Corp.//Mail Program 16.0//EN\r\n"
    "X-WR-TIMEZONE:Asia/Tokyo\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:Tokyo Standard Time\r\n"
    "BEGIN:STANDARD\r\n"
    "DTSTART:16010101T000000\r\n"
    "TZOFFSETFROM:+0900\r\n"
    "TZOFFSETTO:+0900\r\n"
    "END:STANDARD\r\n"
    "END:VTIMEZONE\r\n"
    "BEGIN:VTIMEZONE\r\n"
    "TZID:W. Europe Standard Time\r\n"
    "BEGIN:STANDARD\r\n"
    "DTSTART:16011028T030000\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\n"
    "TZOFFSETFROM:+0200\r\n"
    "TZOFFSETTO:+0100\r\n"
    "END:STANDARD\r\n"
    "BEGIN:DAYLIGHT\r\n"
    "DTSTART:16010325T020000\r\n"
    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
    "TZOFFSETFROM:+0100\r\n"
    "TZOFFSETTO:+0200\r\n"
    "END:DAYLIGHT\r\n"
    "END:VTIMEZONE\r\n"
    // In a zone of its own: 19:00 on its own date.
    "BEGIN:VEVENT\r\n"
    "UID:040000008200E00074C5B7101A82E008000000001\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;TZID=Tokyo Standard Time:20261225T190000\r\n"
    "DTEND;TZID=Tokyo Standard Time:20261225T210000\r\n"
    "SUMMARY:忘年会\r\n"
    "END:VEVENT\r\n"
    // UTC: to the calendar's X-WR-TIMEZONE (2026-12-31 15:30Z is 00:30 on New Year's Day in Tokyo).
    "BEGIN:VEVENT\r\n"
    "UID:abc123@google.example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART:20261231T153000Z\r\n"
    "DTEND:20261231T163000Z\r\n"
    "SUMMARY:初詣\r\n"
    "END:VEVENT\r\n"
    // Floating time, a folded line splitting a UTF-8 character, characters code page 932 lacks.
    "BEGIN:VEVENT\r\n"
    "UID:floating-1\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART:20260310T093000\r\n"
    "SUMMARY:Kick-off 打ち合わせ \xF0\x9F\x8E\x89 \xF0\xA0\xAE\xB7野家 \xE3\x80\x9C\xE3\x81\x82\xE3\r\n"
    " \x81\x84\r\n"
    "END:VEVENT\r\n"
    // All day over three days (the end date is exclusive).
    "BEGIN:VEVENT\r\n"
    "UID:holiday-trip@phone.example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;VALUE=DATE:20260501\r\n"
    "DTEND;VALUE=DATE:20260504\r\n"
    "SUMMARY:旅行\\, 京都\r\n"
    "END:VEVENT\r\n"
    // Over midnight in Europe: one schedule on each day.
    "BEGIN:VEVENT\r\n"
    "UID:night@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;TZID=W. Europe Standard Time:20260704T230000\r\n"
    "DTEND;TZID=W. Europe Standard Time:20260705T013000\r\n"
    "SUMMARY:Night train\r\n"
    "END:VEVENT\r\n"
    // Weekly, five times, one excluded, one moved.
    "BEGIN:VEVENT\r\n"
    "UID:weekly@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;TZID=Tokyo Standard Time:20260601T100000\r\n"
    "DTEND;TZID=Tokyo Standard Time:20260601T110000\r\n"
    "RRULE:FREQ=WEEKLY;COUNT=5\r\n"
    "EXDATE;TZID=Tokyo Standard Time:20260608T100000\r\n"
    "SUMMARY:定例\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:weekly@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "RECURRENCE-ID;TZID=Tokyo Standard Time:20260615T100000\r\n"
    "DTSTART;TZID=Tokyo Standard Time:20260616T140000\r\n"
    "DTEND;TZID=Tokyo Standard Time:20260616T150000\r\n"
    "SUMMARY:定例(振替)\r\n"
    "END:VEVENT\r\n"
    // Daily without end: only the range, and only up to the cap.
    "BEGIN:VEVENT\r\n"
    "UID:daily@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;VALUE=DATE:20200101\r\n"
    "RRULE:FREQ=DAILY\r\n"
    "SUMMARY:日報\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:cancelled@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "DTSTART;VALUE=DATE:20260401\r\n"
    "STATUS:CANCELLED\r\n"
    "SUMMARY:中止\r\n"
    "END:VEVENT\r\n"
    "BEGIN:VTODO\r\n"
    "UID:todo@example\r\n"
    "DTSTAMP:20261101T000000Z\r\n"
    "SUMMARY:not an event\r\n"
    "END:VTODO\r\n"
    "END:VCALENDAR\r\n";

TEST_F(IcsTest, ImportsWhatOtherProgramsWriteInOneTransaction) {
    std::string database = FreshDatabase(folder_);
    int32_t genre = AddGenre(database, "外部", "取り込み");
    std::string path = folder_.Path() + "/foreign.ics";
    // A long summary, cut to 255 bytes on a character boundary.
    std::string longSummary;
    for (int i = 0; i < 200; ++i) longSummary += u8"長";
    std::string calendar = kForeignCalendar;
    calendar.insert(calendar.find("BEGIN:VTODO"), "BEGIN:VEVENT\r\nUID:long@example\r\nDTSTAMP:20261101T000000Z\r\n"
                                                  "DTSTART;VALUE=DATE:20260402\r\nSUMMARY:" +
                                                      longSummary + "\r\nEND:VEVENT\r\n");
    WriteFile(path, calendar);

    // A file that fails half way (an unreadable start after good events)
    // adds nothing, and so does one cut short.
    std::string broken = calendar;
    broken.insert(broken.find("BEGIN:VTODO"),
                  "BEGIN:VEVENT\r\nUID:bad@example\r\nDTSTART:2026-13-45\r\nSUMMARY:x\r\nEND:VEVENT\r\n");
    std::string brokenPath = folder_.Path() + "/broken.ics";
    WriteFile(brokenPath, broken);
    Import(database, {"--genre", std::to_string(genre)}, brokenPath, 1);
    WriteFile(brokenPath, calendar.substr(0, calendar.size() / 2));
    Import(database, {"--genre", std::to_string(genre)}, brokenPath, 1);
    Import(database, {"--genre", "999999"}, path, 1);  // no such genre
    EXPECT_TRUE(Schedules(database).empty());

    std::vector<std::string> options = {"--genre", std::to_string(genre), "--from", "2026-01-01",
                                        "--to",    "2026-12-31",          "--max-occurrences", "100"};
    std::string report = Import(database, options, path);
    std::multiset<std::pair<int32_t, std::string>> got = Schedules(database);
    auto has = [&got](int32_t date, const std::string& text) { return got.count({date, text}) == 1; };
    EXPECT_TRUE(has(20261225, "19:00 忘年会"));
    EXPECT_TRUE(has(20270101, "00:30 初詣"));
    EXPECT_TRUE(has(20260310, "09:30 Kick-off 打ち合わせ " + kGeta + " " + kGeta + "野家 " + kWave + "あい"));
    EXPECT_TRUE(has(20260501, "旅行, 京都"));
    EXPECT_TRUE(has(20260502, "旅行, 京都"));
    EXPECT_TRUE(has(20260503, "旅行, 京都"));
    EXPECT_FALSE(has(20260504, "旅行, 京都"));
    EXPECT_TRUE(has(20260704, "23:00 Night train"));
    EXPECT_TRUE(has(20260705, "Night train"));
    EXPECT_TRUE(has(20260601, "10:00 定例"));
    EXPECT_FALSE(has(20260608, "10:00 定例"));
    EXPECT_FALSE(has(20260615, "10:00 定例"));
    EXPECT_TRUE(has(20260616, "14:00 定例(振替)"));
    EXPECT_TRUE(has(20260622, "10:00 定例"));
    EXPECT_TRUE(has(20260629, "10:00 定例"));
    EXPECT_EQ(std::count_if(got.begin(), got.end(), [](auto& row) { return row.second == "日報"; }), 100);
    EXPECT_TRUE(has(20260101, "日報"));
    std::string cut;
    for (int i = 0; i < 127; ++i) cut += "長";
    EXPECT_TRUE(has(20260402, cut));
    EXPECT_EQ(got.size(), 1u + 1 + 1 + 3 + 2 + 3 + 1 + 100 + 1);
    EXPECT_EQ(Count(report, "schedules added"), static_cast<int>(got.size())) << report;
    EXPECT_EQ(Count(report, "characters replaced by \xE3\x80\x93"), 2) << report;
    EXPECT_EQ(Count(report, "texts cut to 255 bytes"), 1) << report;
    EXPECT_EQ(Count(report, "events skipped, cancelled"), 1) << report;
    EXPECT_EQ(Count(report, "recurring events stopped at the occurrence cap"), 1) << report;

    // Again: nothing added.
    report = Import(database, options, path);
    EXPECT_EQ(Count(report, "schedules added"), 0) << report;
    EXPECT_EQ(Schedules(database), got);
}

// A loopback port free at the moment.
int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string Header(const std::string& response, const std::string& name) {
    size_t at = response.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > response.find("\r\n\r\n")) return "";
    at += name.size() + 4;
    return response.substr(at, response.find("\r\n", at) - at);
}

std::string Body(const std::string& response) {
    size_t at = response.find("\r\n\r\n");
    return at == std::string::npos ? "" : response.substr(at + 4);
}

TEST_F(IcsTest, FeedOverHttpAnswersPollsWith304AndKeepsTheServersRules) {
    std::string database = FreshDatabase(folder_);
    int32_t genre = AddGenre(database, "業務", "会議");
    int32_t other = AddGenre(database, "私用", "旅行");
    {
        std::unique_ptr<CalendarStore> store = OpenCalendarStore(database);
        ChangeStamp stamp{"2026/11/03 14:05", "192.168.10.7"};
        store->ImportSchedules({{20261224, "忘年会", genre}, {20270110, "Review", genre}, {20270120, "温泉", other}},
                               stamp);
        ASSERT_FALSE(store->ApplyDateInfo(DateInfoChange{20270101, "元日", 1, 1, {}}, stamp));
    }
    int icsPort = FreePort();
    ServerProcess server({"--ics-listen", "127.0.0.1:" + std::to_string(icsPort), "--allow", "127.0.0.1",
                          "--ics-refresh", "30", "--request-timeout", "1"},
                         database);
    const std::string get = "GET /calendar.ics HTTP/1.1\r\nHost: localhost\r\n";

    std::string first = Exchange(icsPort, get + "\r\n");
    ASSERT_EQ(first.substr(0, 15), "HTTP/1.1 200 OK") << first;
    EXPECT_EQ(Header(first, "Content-Type"), "text/calendar; charset=utf-8");
    EXPECT_EQ(Header(first, "Content-Length"), std::to_string(Body(first).size()));
    std::string etag = Header(first, "ETag");
    std::string modified = Header(first, "Last-Modified");
    ASSERT_FALSE(etag.empty());
    ASSERT_FALSE(modified.empty());
    EXPECT_NE(Body(first).find("REFRESH-INTERVAL;VALUE=DURATION:PT30M"), std::string::npos);
    std::string path = folder_.Path() + "/feed.ics";
    WriteFile(path, Body(first));
    EXPECT_EQ(ParseWithPython(folder_, path).size(), 4u);
    EXPECT_EQ(Body(Exchange(icsPort, get + "\r\n")), Body(first)) << "the shared feed";
    std::string zipped = Exchange(icsPort, get + "Accept-Encoding: deflate, gzip;q=0.8\r\n\r\n");
    ASSERT_EQ(Header(zipped, "Content-Encoding"), "gzip") << zipped.substr(0, 300);
    EXPECT_EQ(Header(zipped, "Content-Length"), std::to_string(Body(zipped).size()));
    WriteFile(path + ".gz", Body(zipped));
    ASSERT_EQ(std::system(("gzip -dc " + path + ".gz > " + path + ".unzipped").c_str()), 0);
    EXPECT_EQ(ReadFile(path + ".unzipped"), Body(first));
    EXPECT_EQ(Exchange(icsPort, get + "Accept-Encoding: gzip\r\nIf-None-Match: " + Header(zipped, "ETag") + "\r\n\r\n")
                  .substr(0, 12),
              "HTTP/1.1 304");
    EXPECT_EQ(Header(Exchange(icsPort, get + "Accept-Encoding: gzip;q=0\r\n\r\n"), "Content-Encoding"), "");

    // Polls of an unchanged calendar.
    std::string poll = Exchange(icsPort, get + "If-None-Match: " + etag + "\r\n\r\n");
    EXPECT_EQ(poll.substr(0, 12), "HTTP/1.1 304") << poll;
    EXPECT_EQ(Body(poll), "");
    EXPECT_EQ(Header(poll, "ETag"), etag);
    EXPECT_EQ(Exchange(icsPort, get + "If-Modified-Since: " + modified + "\r\n\r\n").substr(0, 12), "HTTP/1.1 304");

    // A change through the calendar protocol moves the tag on.
    ASSERT_TRUE(IsSuccessReply(Exchange(server.Port(), ScheduleSetLine(OP_ADD, 20270111, 0, "追加", genre))));
    std::string changed = Exchange(icsPort, get + "If-None-Match: " + etag + "\r\n\r\n");
    ASSERT_EQ(changed.substr(0, 12), "HTTP/1.1 200") << changed;
    EXPECT_NE(Header(changed, "ETag"), etag);
    WriteFile(path, Body(changed));
    EXPECT_EQ(ParseWithPython(folder_, path).size(), 5u);

    // Filters: a genre, a text (UTF-8, percent-escaped; ASCII without regard to case), a range.
    auto count = [&](const std::string& query) {
        std::string response = Exchange(icsPort, "GET /calendar.ics?" + query + " HTTP/1.1\r\n\r\n");
        EXPECT_EQ(response.substr(0, 12), "HTTP/1.1 200") << query << response;
        WriteFile(path, Body(response));
        return ParseWithPython(folder_, path).size();
    };
    EXPECT_EQ(count("genre=" + std::to_string(other) + "&days=0"), 1u);
    EXPECT_EQ(count("text=%E5%BF%98%E5%B9%B4&days=0"), 1u);  // 忘年
    EXPECT_EQ(count("text=review&days=0"), 1u);
    EXPECT_EQ(count("from=2027-01-01&to=2027-01-11"), 3u);  // 元日, Review, 追加

    // Bad requests get plain HTTP errors; the server goes on.
    EXPECT_EQ(Exchange(icsPort, "GET /calendar.ics?from=someday HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
    EXPECT_EQ(Exchange(icsPort, "GET /calendar.ics?text=%E HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
    EXPECT_EQ(Exchange(icsPort, "POST /calendar.ics HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 405");
    EXPECT_EQ(Exchange(icsPort, "GET /other HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
    EXPECT_EQ(Exchange(icsPort, "HELLO RDZVP/0.0\r\n\r\n").substr(0, 12), "HTTP/1.1 400");
    EXPECT_EQ(Exchange(icsPort, std::string(20000, 'x')).substr(0, 12), "HTTP/1.1 431");
    EXPECT_EQ(Exchange(icsPort, "GET /calendar.ics HTTP/1.1\r\n\r\n", "127.0.0.2").substr(0, 12), "HTTP/1.1 403");
    {
        // A head that never ends is given up at the request deadline.
        TestConnection slow(icsPort);
        slow.Send("GET /calendar.ics HTTP/1.1\r\nHost: loc");
        EXPECT_EQ(slow.ReadAll(std::chrono::seconds(10)).substr(0, 12), "HTTP/1.1 408");
    }
    std::string head = Exchange(icsPort, "HEAD /calendar.ics HTTP/1.1\r\n\r\n");
    EXPECT_EQ(head.substr(0, 12), "HTTP/1.1 200");
    EXPECT_EQ(Body(head), "");
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), "HELLO RDZVP/0.0\r\n")));
    EXPECT_EQ(server.Stop(), 0);
}

// Building a feed holds a worker for a while: with two workers, one build
// at a time, and the other worker stays with the calendar protocol.
TEST_F(IcsTest, FeedBuildsLeaveWorkersToTheProtocol) {
    std::string database = FreshDatabase(folder_);
    int32_t genre = AddGenre(database, "業務", "会議");
    {
        std::vector<ScheduleRow> rows;
        for (int i = 0; i < 40000; ++i) rows.push_back(ScheduleRow{20260101 + i % 28, "定例会議 10:30", genre});
        OpenCalendarStore(database)->ImportSchedules(rows, ChangeStamp{"2026/11/03 14:05", "192.168.10.7"});
    }
    int icsPort = FreePort();
    ServerProcess server(
        {"--ics-listen", "127.0.0.1:" + std::to_string(icsPort), "--threads", "2", "--query-timeout", "60"}, database);
    // The first whole feed and a filtered one asked for at once.
    TestConnection whole(icsPort);
    TestConnection filtered(icsPort);
    whole.Send("GET /calendar.ics HTTP/1.1\r\n\r\n");
    filtered.Send("GET /calendar.ics?days=0 HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(IsSuccessReply(Exchange(server.Port(), BuildGetLine(2, ""))));
    std::string responses[] = {whole.ReadAll(std::chrono::seconds(60)), filtered.ReadAll(std::chrono::seconds(60))};
    int built = 0, busy = 0;
    for (const std::string& response : responses) {
        if (response.substr(0, 12) == "HTTP/1.1 200") {
            ++built;
            EXPECT_NE(Body(response).find("END:VCALENDAR"), std::string::npos);
        } else if (response.substr(0, 12) == "HTTP/1.1 503") {
            ++busy;
            EXPECT_EQ(Header(response, "Retry-After"), "5");
        }
    }
    EXPECT_EQ(built, 1);
    EXPECT_EQ(busy, 1);
    // Asked again, each is built (the whole feed once for everyone).
    EXPECT_EQ(Exchange(icsPort, "GET /calendar.ics?days=0 HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 200");
    EXPECT_EQ(Exchange(icsPort, "GET /calendar.ics HTTP/1.1\r\n\r\n").substr(0, 12), "HTTP/1.1 200");
    EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
