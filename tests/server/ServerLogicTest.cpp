// The server's pure parts without a process: request framing and parsing,
// the Shift-JIS "like" match, the holiday rules and the allow list.
#include "server/DateKey.h"
#include "server/JapaneseHolidays.h"
#include "server/NetAddress.h"
#include "server/RequestHandler.h"
#include "server/RequestParser.h"
#include "server/ShiftJisLike.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace std::string_literals;

namespace {

TEST(RequestFraming, FindsTheLineAndEnforcesTheLimit) {
    EXPECT_EQ(FindRequestLine("").status, FrameStatus::NeedMore);
    EXPECT_EQ(FindRequestLine("HELLO RDZVP/0.0\r").status, FrameStatus::NeedMore);
    Frame frame = FindRequestLine("HELLO RDZVP/0.0\r\nrest");
    EXPECT_EQ(frame.status, FrameStatus::Complete);
    EXPECT_EQ(frame.lineLength, 15u);
    EXPECT_EQ(FindRequestLine("HELLO\n").lineLength, 5u);

    std::string longest(kMaxRequestLine, 'x');
    EXPECT_EQ(FindRequestLine(longest).status, FrameStatus::NeedMore);
    EXPECT_EQ(FindRequestLine(longest + "\r").status, FrameStatus::NeedMore);
    EXPECT_EQ(FindRequestLine(longest + "\r\n").status, FrameStatus::Complete);
    EXPECT_EQ(FindRequestLine(longest + "x\r\n").status, FrameStatus::TooLong);
    EXPECT_EQ(FindRequestLine(longest + "xx").status, FrameStatus::TooLong);
}

TEST(RequestParsing, StrictIntegersOnly) {
    int32_t value = 0;
    EXPECT_TRUE(ParseStrictInt("0", value));
    EXPECT_TRUE(ParseStrictInt("-2147483648", value));
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_TRUE(ParseStrictInt("2147483647", value));
    for (const char* bad : {"", "-", "+1", " 1", "1 ", "12abc", "2147483648", "99999999999", "0x10", "007", "-0", "-01", "00"}) {
        EXPECT_FALSE(ParseStrictInt(bad, value)) << bad;
    }
}

TEST(RequestParsing, SetBodiesAreDecodedAndChecked) {
    Outcome<Request> set = ParseRequest("SET RDZVP/0.0 1 1:20061224:0:Meeting+20at+2010+3A30:5");
    ASSERT_TRUE(set.Ok()) << set.Error().tag;
    EXPECT_EQ(set.Value().schedule.text, "Meeting at 10:30");
    EXPECT_EQ(set.Value().schedule.genreId, 5);

    // A delete needs neither a real date nor a short text.
    EXPECT_TRUE(ParseRequest("SET RDZVP/0.0 1 3:0:7:" + std::string(400, 'x') + ":0").Ok());
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 1 1:20060229:0:x:5").Error().tag, "bad-date");
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 1 1:20060101:-1:x:5").Error().tag, "bad-id");
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 1 1:20060101::x:5").Error().tag, "missing-field");

    Outcome<Request> date = ParseRequest("SET RDZVP/0.0 3 20070101:\x8C\xB3\x93\xFA:1:1");
    ASSERT_TRUE(date.Ok());
    EXPECT_EQ(date.Value().dateInfo.name, "\x8C\xB3\x93\xFA");
    EXPECT_TRUE(ParseRequest("SET RDZVP/0.0 3 20070101::0:1").Ok());
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 2 1:0:0:0:x:x").Error().tag, "not-a-genre");

    // One field more is the revision the change expects; the plain forms expect none.
    EXPECT_FALSE(set.Value().schedule.expected.conditional);
    Outcome<Request> conditional = ParseRequest("SET RDZVP/0.0 1 2:20061224:7:x:5:12");
    ASSERT_TRUE(conditional.Ok());
    EXPECT_TRUE(conditional.Value().schedule.expected.conditional);
    EXPECT_EQ(conditional.Value().schedule.expected.revision, 12);
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 2 2:4:1:1:x:x:3").Value().genre.expected.revision, 3);
    Outcome<Request> day = ParseRequest("SET RDZVP/0.0 3 20070101::0:1:0");
    ASSERT_TRUE(day.Ok());
    EXPECT_TRUE(day.Value().dateInfo.expected.conditional);
    EXPECT_EQ(day.Value().dateInfo.expected.revision, 0);
    for (const char* bad : {"SET RDZVP/0.0 1 2:20061224:7:x:5:-1", "SET RDZVP/0.0 1 2:20061224:7:x:5:", "SET RDZVP/0.0 3 20070101::0:1:1.0"}) {
        EXPECT_EQ(ParseRequest(bad).Error().tag, "bad-revision") << bad;
    }
    EXPECT_EQ(ParseRequest("SET RDZVP/0.0 1 2:20061224:7:x:5:1:1").Error().tag, "field-count");

    EXPECT_EQ(ParseRequest("VERSIONS RDZVP/0.0").Value().kind, RequestKind::Versions);
    EXPECT_EQ(RequestKindForLog("VERSIONS RDZVP/0.0"), "VERSIONS");
    EXPECT_EQ(RequestKindForLog("SET RDZVP/0.0 3 20070101::0:1:0"), "SET 3");
}

TEST(RequestParsing, ConditionsParseIntoClauses) {
    Outcome<Request> get = ParseRequest("GET RDZVP/0.0 1 sk0.id+20=+203+20and+20sk1.id+20=+2012+20and+20"
                                        "schedule+20like+20'+25it''s+25'+20");
    ASSERT_TRUE(get.Ok()) << get.Error().message;
    const ScheduleFilter& filter = get.Value().filter;
    EXPECT_EQ(filter.categoryIds, std::vector<int32_t>{3});
    EXPECT_EQ(filter.genreIds, std::vector<int32_t>{12});
    ASSERT_EQ(filter.patterns.size(), 1u);
    EXPECT_TRUE(filter.Accepts(3, 12, "it's here"));
    EXPECT_FALSE(filter.Accepts(3, 12, "its here"));
    EXPECT_FALSE(filter.Accepts(4, 12, "it's here"));

    EXPECT_TRUE(ParseRequest("GET RDZVP/0.0 1 ").Ok());
    EXPECT_TRUE(ParseRequest("GET RDZVP/0.0 1").Ok());
    EXPECT_TRUE(ParseCondition("").Ok());
    EXPECT_FALSE(ParseCondition("sk0.id = 3").Ok());
    EXPECT_FALSE(ParseCondition("schedule like 'a\\b' ").Ok());
    // "\\" inside the literal is one backslash, also after a lead byte.
    Outcome<ScheduleFilter> table = ParseCondition("schedule like '%\x95\\\\%' ");
    ASSERT_TRUE(table.Ok());
    EXPECT_TRUE(table.Value().Accepts(0, 0, "\x95\\\x8E\xA6"));  // "表示"
}

TEST(ShiftJisLike, WildcardsCaseAndCharacterBoundaries) {
    EXPECT_TRUE(ShiftJisLikePattern("").Matches(""));
    EXPECT_FALSE(ShiftJisLikePattern("").Matches("a"));
    EXPECT_TRUE(ShiftJisLikePattern("%").Matches(""));
    EXPECT_TRUE(ShiftJisLikePattern("a%c").Matches("ABBC"));
    EXPECT_FALSE(ShiftJisLikePattern("a%c").Matches("abcd"));
    EXPECT_TRUE(ShiftJisLikePattern("%%%b%%").Matches("abc"));
    // "_" takes a whole double-byte character.
    EXPECT_TRUE(ShiftJisLikePattern("_").Matches("\x89\xEF"));
    EXPECT_FALSE(ShiftJisLikePattern("__").Matches("\x89\xEF"));
    // "A" never matches the trail byte of "ア" (0x83 0x41).
    EXPECT_FALSE(ShiftJisLikePattern("%A%").Matches("\x83\x41"));
    EXPECT_FALSE(ShiftJisLikePattern("%a%").Matches("x\x83\x41y"));
    // "_" as the trail byte of "ダ" (0x83 0x5F) in a pattern is no wildcard.
    EXPECT_FALSE(ShiftJisLikePattern("\x83\x5F").Matches("\x83\x41"));
    EXPECT_TRUE(ShiftJisLikePattern("\x83\x5F").Matches("\x83\x5F"));
    // Full-width letters and half-width katakana are not folded.
    EXPECT_FALSE(ShiftJisLikePattern("\x82\x60").Matches("\x82\x81"));
    EXPECT_FALSE(ShiftJisLikePattern("\xB1").Matches("\xB2"));
    // A lead byte at the very end is one character of its own.
    EXPECT_TRUE(ShiftJisLikePattern("a_").Matches("a\x83"));
}

TEST(DateKeys, RealDatesInTheAcceptedRange) {
    EXPECT_TRUE(IsValidDateKey(19710101));
    EXPECT_TRUE(IsValidDateKey(20371231));
    EXPECT_TRUE(IsValidDateKey(20000229));
    EXPECT_FALSE(IsValidDateKey(19001231));
    EXPECT_FALSE(IsValidDateKey(19701231));
    EXPECT_FALSE(IsValidDateKey(20380101));
    EXPECT_FALSE(IsValidDateKey(21000229));
    EXPECT_FALSE(IsValidDateKey(20060229));
    EXPECT_FALSE(IsValidDateKey(20061300));
    EXPECT_FALSE(IsValidDateKey(20061131));
    EXPECT_EQ(Weekday(CivilDate{2006, 12, 24}), 0);
    EXPECT_EQ(ToDateKey(AddDays(CivilDate{2007, 12, 31}, 1)), 20080101);
}

std::map<int32_t, std::string> HolidayMap(int year) {
    std::map<int32_t, std::string> days;
    for (const Holiday& holiday : JapaneseHolidaysOf(year)) days[holiday.date] = holiday.name;
    return days;
}

TEST(JapaneseHolidays, KnownYears) {
    std::map<int32_t, std::string> y2026 = HolidayMap(2026);
    EXPECT_EQ(y2026.size(), 18u);
    EXPECT_EQ(y2026[20260112], "成人の日");
    EXPECT_EQ(y2026[20260223], "天皇誕生日");
    EXPECT_EQ(y2026[20260320], "春分の日");
    EXPECT_EQ(y2026[20260506], "振替休日");  // 5/3 was a Sunday, 5/4 and 5/5 holidays already
    EXPECT_EQ(y2026[20260922], "国民の休日");
    EXPECT_EQ(y2026[20260923], "秋分の日");
    EXPECT_EQ(y2026[20261012], "スポーツの日");

    std::map<int32_t, std::string> y2019 = HolidayMap(2019);
    EXPECT_EQ(y2019[20190430], "国民の休日");
    EXPECT_EQ(y2019[20190501], "天皇の即位の日");
    EXPECT_EQ(y2019[20190502], "国民の休日");
    EXPECT_EQ(y2019[20190506], "振替休日");
    EXPECT_EQ(y2019[20191022], "即位礼正殿の儀");
    EXPECT_EQ(y2019.count(20191223), 0u);  // no emperor's birthday that year

    std::map<int32_t, std::string> y2020 = HolidayMap(2020);
    EXPECT_EQ(y2020[20200723], "海の日");
    EXPECT_EQ(y2020[20200724], "スポーツの日");
    EXPECT_EQ(y2020[20200810], "山の日");
    EXPECT_EQ(y2020.count(20201012), 0u);

    // The Monday rule from 2000 and the old fixed days before it.
    EXPECT_EQ(HolidayMap(1999)[19990115], "成人の日");
    EXPECT_EQ(HolidayMap(2000)[20000110], "成人の日");
    // Substitutes began on 1973-04-12; before 2007 only on the Monday.
    EXPECT_EQ(HolidayMap(1973)[19730430], "振替休日");
    EXPECT_EQ(HolidayMap(1973).count(19730916), 0u);  // 9/15 Saturday: no substitute
    EXPECT_EQ(HolidayMap(2008)[20080506], "振替休日");
    // A Sunday between two holidays was no citizens' holiday before 2007.
    EXPECT_EQ(HolidayMap(1986).count(19860504), 0u);
    EXPECT_EQ(HolidayMap(1988)[19880504], "国民の休日");
    EXPECT_EQ(HolidayMap(2009)[20090922], "国民の休日");
    EXPECT_EQ(HolidayMap(1989)[19890224], "昭和天皇の大喪の礼");
}

TEST(JapaneseHolidays, EquinoxDays) {
    const std::map<int, std::pair<int, int>> known = {
        {1971, {21, 24}}, {1972, {20, 23}}, {1973, {21, 23}}, {1974, {21, 23}}, {1975, {21, 24}},
        {1976, {20, 23}}, {1977, {21, 23}}, {1978, {21, 23}}, {1979, {21, 24}}, {1980, {20, 23}}, {2012, {20, 22}}, {2024, {20, 22}}, {2025, {20, 23}}, {2037, {20, 23}}};
    for (const auto& [year, days] : known) {
        EXPECT_EQ(VernalEquinoxDay(year), days.first) << year;
        EXPECT_EQ(AutumnalEquinoxDay(year), days.second) << year;
    }
}

TEST(AllowList, NetworksOfBothFamilies) {
    AllowList loopback = AllowList::LoopbackOnly();
    EXPECT_TRUE(loopback.Allows(*IpAddress::Parse("127.0.0.1")));
    EXPECT_TRUE(loopback.Allows(*IpAddress::Parse("127.255.0.9")));
    EXPECT_TRUE(loopback.Allows(*IpAddress::Parse("::1")));
    EXPECT_TRUE(loopback.Allows(*IpAddress::Parse("::ffff:127.0.0.1")));
    EXPECT_FALSE(loopback.Allows(*IpAddress::Parse("10.0.0.1")));
    EXPECT_FALSE(loopback.Allows(*IpAddress::Parse("::2")));

    AllowList office;
    office.Add(*IpNetwork::Parse("192.168.10.0/23"));
    office.Add(*IpNetwork::Parse("fd00::/8"));
    EXPECT_TRUE(office.Allows(*IpAddress::Parse("192.168.11.200")));
    EXPECT_FALSE(office.Allows(*IpAddress::Parse("192.168.12.1")));
    EXPECT_TRUE(office.Allows(*IpAddress::Parse("fd12::1")));
    EXPECT_FALSE(office.Allows(*IpAddress::Parse("127.0.0.1")));

    // IPv4-mapped networks written as IPv6 count their bits in IPv6.
    AllowList mapped;
    mapped.Add(*IpNetwork::Parse("::ffff:127.0.0.1/128"));
    EXPECT_TRUE(mapped.Allows(*IpAddress::Parse("127.0.0.1")));
    EXPECT_FALSE(mapped.Allows(*IpAddress::Parse("127.0.0.2")));
    AllowList everyV4;
    everyV4.Add(*IpNetwork::Parse("::ffff:0:0/96"));
    EXPECT_TRUE(everyV4.Allows(*IpAddress::Parse("203.0.113.9")));
    EXPECT_FALSE(everyV4.Allows(*IpAddress::Parse("::1")));
    AllowList wide;
    wide.Add(*IpNetwork::Parse("::ffff:127.0.0.0/8"));  // the first 8 of 128 bits: ::/8
    EXPECT_TRUE(wide.Allows(*IpAddress::Parse("10.0.0.1")));
    EXPECT_TRUE(wide.Allows(*IpAddress::Parse("::2")));
    EXPECT_FALSE(wide.Allows(*IpAddress::Parse("fd00::1")));

    for (const char* bad : {"", "10.0.0.0/33", "10.0.0/8", "::/129", "host/8", "10.0.0.0/", "10.0.0.0/-1",
                            "10.0.0.0/008", "10.0.0.0/08", "::ffff:0:0/129"}) {
        EXPECT_FALSE(IpNetwork::Parse(bad).has_value()) << bad;
    }
    EXPECT_EQ(IpAddress::Parse("::ffff:10.1.2.3")->ToString(), "10.1.2.3");
}

}  // namespace
