// The plain text helpers: Shift-JIS character boundaries in fixed widths,
// integers in and out, splitting.
#include "text/ShiftJis.h"
#include "text/TextTools.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace std::string_literals;

TEST(ParseIntTest, FollowsTheIntegerRule) {
    EXPECT_EQ(ParseInt("12abc"), 12);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("abc"), 0);
    EXPECT_EQ(ParseInt("  -42"), -42);
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_EQ(ParseInt("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseInt("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(FormatInt(0), "0");
    EXPECT_EQ(FormatInt(-42), "-42");
    EXPECT_EQ(FormatInt(INT32_MIN), "-2147483648");
}

TEST(CopyToFieldTest, KeepsWidthMinusOneBytes) {
    char field[5];
    EXPECT_EQ(CopyToField(field, "abcdefgh"), 4u);
    EXPECT_EQ(std::string(field), "abcd");
    EXPECT_EQ(field[4], '\0');
    EXPECT_EQ(CopyToField(field, "ab"), 2u);
    EXPECT_EQ(std::string(field, 5), "ab\0\0\0"s);  // zero-filled behind the text
}

TEST(CopyToFieldTest, NeverEndsOnALoneLeadByte) {
    char field[5];
    // "aあい": 'a' then two double-byte characters; four bytes fit, so the
    // second character (bytes 4 and 5) must go whole.
    EXPECT_EQ(CopyToField(field, "aあい"), 3u);
    EXPECT_EQ(std::string(field), "aあ");
    EXPECT_EQ(CopyToField(field, "あい"), 4u);
    EXPECT_EQ(std::string(field), "あい");
    // Half-width katakana are single bytes.
    EXPECT_EQ(CopyToField(field, "ｶﾃｺﾞﾘ"), 4u);
    EXPECT_EQ(std::string(field), "ｶﾃｺﾞ");
}

TEST(FramingTest, SplitsKeepingEmptyPieces) {
    auto pieces = SplitAll(";a;;b;", ";");
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0], "");
    EXPECT_EQ(pieces[1], "a");
    EXPECT_EQ(pieces[2], "");
    EXPECT_EQ(pieces[3], "b");
    EXPECT_EQ(pieces[4], "");
    EXPECT_EQ(SplitAll("", ";").size(), 1u);
    EXPECT_EQ(SplitAll("a--b", "--").size(), 2u);
}

TEST(CutToWidthTest, CutsOnlyBetweenCharacters) {
    EXPECT_EQ(CutToWidth("abcdef", 4), "abcd");
    EXPECT_EQ(CutToWidth("abc", 8), "abc");
    EXPECT_EQ(CutToWidth("abc", 0), "");
    // "aあい": the cut at three bytes would fall inside あ, the one at four inside い.
    EXPECT_EQ(CutToWidth("aあい", 2), "a");
    EXPECT_EQ(CutToWidth("aあい", 3), "aあ");
    EXPECT_EQ(CutToWidth("aあい", 4), "aあ");
    EXPECT_EQ(CutToWidth("aあい", 5), "aあい");
    // A trail byte in the ASCII range (表 is 0x95 0x5C) is not a character of its own.
    EXPECT_EQ(CutToWidth("表\\", 1), "");
    EXPECT_EQ(CutToWidth("表\\", 2), "表");
    // A lead byte that ends the text is the text's own last character.
    EXPECT_EQ(CutToWidth("ab\x82"s, 3), "ab\x82"s);
    EXPECT_EQ(CutToWidth("ab\x82"s "x", 3), "ab");

    // Every width of a mixed text: the field copy keeps exactly the cut.
    const std::string mixed = "会議 ｶﾃｺﾞﾘ:表示\\x";
    for (size_t width = 1; width <= mixed.size() + 2; ++width) {
        char field[32];
        std::string_view cut = CutToWidth(mixed, width - 1);
        EXPECT_EQ(CopyToField(field, width, mixed), cut.size()) << width;
        EXPECT_EQ(std::string(field), std::string(cut)) << width;
        EXPECT_LE(cut.size(), width - 1);
        EXPECT_EQ(mixed.compare(0, cut.size(), cut), 0);
        // Cutting never leaves a lead byte whose trail byte was dropped.
        size_t pos = 0;
        while (pos < cut.size()) pos += IsShiftJisLeadByte(static_cast<unsigned char>(cut[pos])) ? 2 : 1;
        EXPECT_EQ(pos, cut.size()) << width;
    }
}

TEST(TrimBlanksTest, DropsAsciiAndFullWidthBlanksAtBothEndsOnly) {
    EXPECT_EQ(TrimBlanks("  会議　 "), "会議");
    EXPECT_EQ(TrimBlanks("\t会 議\r\n"), "会 議");
    EXPECT_EQ(TrimBlanks("　 　"), "");
    EXPECT_EQ(TrimBlanks(""), "");
    // ァ is 0x83 0x40: its trail byte is the full-width space's, yet no blank.
    EXPECT_EQ(TrimBlanks("\x83\x40"s), "\x83\x40"s);
    EXPECT_EQ(TrimBlanks(" \x83\x40　"s), "\x83\x40"s);
    // 0x88 0x81 is one character, so the 0x81 0x40 that ends this text is
    // its trail byte and an "@", not a full-width space.
    EXPECT_EQ(TrimBlanks("\x88\x81@"s), "\x88\x81@"s);
    // A lone lead byte at the end is a character of its own.
    EXPECT_EQ(TrimBlanks(" a\x81"s), "a\x81"s);
}
