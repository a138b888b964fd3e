// Error codes to user texts: system messages and the toolkit's own texts.
#include "protocol/ErrorText.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <string>

// The system's own text for a code, as the user should see it.
std::string SystemText(DWORD code) {
    char text[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text,
                   sizeof text, nullptr);
    return text;
}

TEST(ErrorTextTest, SystemMessagesComeFromTheSystem) {
    ErrorText& error = ErrorText::Shared();
    EXPECT_EQ(&error, &ErrorText::Shared());
    EXPECT_EQ(error.Format(8, WSAECONNREFUSED, 0), 0x20000008u);
    std::string refused = error.Text();
    ASSERT_FALSE(SystemText(WSAECONNREFUSED).empty());
    EXPECT_EQ(refused, SystemText(WSAECONNREFUSED));
    error.Format(ErrorText::kSystemMessage, WSAHOST_NOT_FOUND, 0);
    EXPECT_EQ(std::string(error.Text()), SystemText(WSAHOST_NOT_FOUND));
    EXPECT_NE(std::string(error.Text()), refused);
    // A code the system has no text for still gets a text of its own.
    error.Format(ErrorText::kSystemMessage, 0x7FFFFF01, 0);
    EXPECT_NE(std::string(error.Text()), refused);
    EXPECT_FALSE(std::string(error.Text()).empty());
}

TEST(ErrorTextTest, ToolkitCodesUseTheStringResources) {
    ErrorText error;
    EXPECT_EQ(error.Format(1, reinterpret_cast<LONG_PTR>("設定"), 0), 0x20000001u);
    EXPECT_STREQ(error.Text(), "設定は既に開かれています。");
    error.Format(2, 0, 0);
    EXPECT_STREQ(error.Text(), "オープンされていないオブジェクトに対して操作が行われました。");
    error.Format(3, -5, 0);
    EXPECT_STREQ(error.Text(), "-5は範囲外の値です。");
    error.Format(5, reinterpret_cast<LONG_PTR>("abc"), reinterpret_cast<LONG_PTR>("日付"));
    EXPECT_STREQ(error.Text(), "abcは有効な日付ではありません。");
    error.Format(7, reinterpret_cast<LONG_PTR>("IPv6"), 0);
    EXPECT_STREQ(error.Text(), "IPv6はサポートされていません。");
}

TEST(ErrorTextTest, UnknownCodesSayTheyAreUnsupported) {
    ErrorText error;
    EXPECT_EQ(error.Format(0x42, 0, 0), 0x20000042u);
    EXPECT_STREQ(error.Text(), "サポートされていないエラーコード 0x20000042 が渡されました。");
}
