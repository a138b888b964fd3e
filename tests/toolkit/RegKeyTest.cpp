// RegKey::DeleteTree on the real registry of the Wine prefix, under a test
// key of its own below HKEY_CURRENT_USER.
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr char kTestRoot[] = "Software\\RdzToolkitTest";

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS) RegCloseKey(key);
    return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;
}

void MakeKey(const std::string& path) {
    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS) << path;
    ASSERT_EQ(key.WriteString("name", path), ERROR_SUCCESS);
}

class DeleteTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::string(kTestRoot) + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
    }
    void TearDown() override {
        if (!link_.empty()) DeleteLink(link_);
        RegDeleteTreeA(HKEY_CURRENT_USER, root_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);  // only when no other test's key is left
    }

    // Makes `name` below the test key a registry link to itself. It is
    // listed like any subkey, but every attempt to open it fails. (An empty
    // access list would be the obvious lock, but Wine's registry does not
    // enforce access lists.)
    void MakeUnopenableKey(const char* name) {
        RegKey root;
        ASSERT_EQ(root.CreateKey(HKEY_CURRENT_USER, root_.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
        std::wstring target = FullPath(root.Handle()) + L"\\" + std::wstring(name, name + std::strlen(name));
        HKEY link = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root.Handle(), name, 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                                  KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr),
                  ERROR_SUCCESS);
        LONG set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                                  static_cast<DWORD>(target.size() * sizeof(wchar_t)));
        RegCloseKey(link);
        ASSERT_EQ(set, ERROR_SUCCESS);
        link_ = root_ + "\\" + name;
    }

    // The key's name in the native registry ("\REGISTRY\User\S-...\...").
    static std::wstring FullPath(HKEY key) {
        using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
        auto query = reinterpret_cast<QueryKey>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey")));
        if (!query) return std::wstring();
        alignas(ULONG) BYTE buffer[2048] = {};
        ULONG length = 0;
        const int keyNameInformation = 3;
        if (query(key, keyNameInformation, buffer, sizeof buffer - sizeof(wchar_t), &length) != 0) return std::wstring();
        ULONG bytes = *reinterpret_cast<ULONG*>(buffer);
        return std::wstring(reinterpret_cast<const wchar_t*>(buffer + sizeof(ULONG)), bytes / sizeof(wchar_t));
    }

    // Deletes the link itself (opening it as a link, not following it).
    static void DeleteLink(const std::string& path) {
        using DeleteKey = LONG(WINAPI*)(HANDLE);
        auto remove = reinterpret_cast<DeleteKey>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
        HKEY link = nullptr;
        if (!remove ||
            RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, DELETE | KEY_READ, &link) != 0) {
            return;
        }
        remove(link);
        RegCloseKey(link);
    }

    std::string root_;
    std::string link_;
};

TEST_F(DeleteTreeTest, RemovesNestedKeysAndTheKeyItself) {
    MakeKey(root_ + "\\a\\b\\c");
    MakeKey(root_ + "\\a\\d");
    MakeKey(root_ + "\\e");
    MakeKey(std::string(kTestRoot) + "\\RemovesNestedKeysSibling");

    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, root_.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(key.SubKeyCount(), 2);
    EXPECT_EQ(key.DeleteTree(), ERROR_SUCCESS);
    key.Close();

    EXPECT_FALSE(KeyExists(root_));
    EXPECT_TRUE(KeyExists(std::string(kTestRoot) + "\\RemovesNestedKeysSibling")) << "the parent's other keys stay";
    RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kTestRoot) + "\\RemovesNestedKeysSibling").c_str());
}

TEST_F(DeleteTreeTest, ASubkeyThatCannotBeOpenedStopsTheDeletionAndIsReported) {
    // Subkeys are visited from the last index down: "z" goes first, then
    // "m" cannot be opened; "a" and the key itself must stay.
    MakeKey(root_ + "\\a\\inner");
    MakeKey(root_ + "\\z\\inner");
    MakeUnopenableKey("m");

    RegKey unopenable;
    LONG openError = unopenable.CreateKey(HKEY_CURRENT_USER, (root_ + "\\m").c_str(), KEY_READ | KEY_WRITE);
    ASSERT_NE(openError, ERROR_SUCCESS) << "the self-referring link cannot be opened";

    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, root_.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(key.SubKeyCount(), 3);
    EXPECT_EQ(key.DeleteTree(), openError);
    EXPECT_EQ(key.SubKeyCount(), 2) << "a and m are left";
    key.Close();

    EXPECT_TRUE(KeyExists(root_));
    EXPECT_TRUE(KeyExists(root_ + "\\a\\inner"));
    EXPECT_FALSE(KeyExists(root_ + "\\z"));
}

// The longest subkey name that RegQueryInfoKeyA reports counts UTF-16
// characters, while the ANSI name of a Japanese key takes two bytes per
// character: a buffer of that length + 1 bytes would be too small and the
// enumeration would fail with ERROR_MORE_DATA.
TEST_F(DeleteTreeTest, RemovesSubkeysWithJapaneseNames) {
    MakeKey(root_ + "\\日本語の名前のサブキー\\予定");
    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, root_.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(key.DeleteTree(), ERROR_SUCCESS);
    key.Close();
    EXPECT_FALSE(KeyExists(root_));
}

TEST_F(DeleteTreeTest, AKeyWithoutSubkeysIsDeleted) {
    MakeKey(root_);
    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, root_.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    EXPECT_EQ(key.SubKeyCount(), 0);
    EXPECT_EQ(key.DeleteTree(), ERROR_SUCCESS);
    key.Close();
    EXPECT_FALSE(KeyExists(root_));
}

}  // namespace
