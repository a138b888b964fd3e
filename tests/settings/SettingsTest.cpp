// The settings against the real registry of the Wine prefix.
#include "settings/Settings.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kParentPath = "Software\\Sorano";

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Settings::kRegistryPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void RemoveSettingsKey() {
    if (SettingsKeyExists()) {
        RegKey key;
        key.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, KEY_ALL_ACCESS);
        key.DeleteTree();
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kParentPath);
}

void WriteRaw(const char* name, DWORD type, const void* data, DWORD size) {
    RegKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, KEY_WRITE), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue(name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

std::string ReadRawString(const char* name) {
    RegKey key;
    key.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, KEY_READ);
    return key.ReadString(name, "<absent>");
}

void RemoveMachineKey() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Settings::kRegistryPath);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParentPath);  // only when empty: nothing else of the maker's
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveSettingsKey();
        RemoveMachineKey();
    }
    void TearDown() override {
        RemoveSettingsKey();
        RemoveMachineKey();
    }
};

TEST_F(SettingsTest, FreshProfileGetsTheDefaultsAndTheKey) {
    ASSERT_FALSE(SettingsKeyExists());
    Settings settings;
    EXPECT_TRUE(settings.Load());
    EXPECT_TRUE(SettingsKeyExists());
    EXPECT_EQ(settings.szAddress, "localhost");
    EXPECT_EQ(settings.dwPortNo, 54321u);
    EXPECT_EQ(settings.dwParam1, 27u);
    EXPECT_EQ(static_cast<DWORD>(settings.dwWindowTop), 0x80000000u);
    EXPECT_EQ(static_cast<DWORD>(settings.dwWindowLeft), 0x80000000u);
    EXPECT_EQ(static_cast<DWORD>(settings.dwWindowWidth), 0x80000000u);
    EXPECT_EQ(static_cast<DWORD>(settings.dwWindowHeight), 0x80000000u);
    EXPECT_TRUE(settings.categoryStates.empty());
    EXPECT_TRUE(settings.dwParam1 & P1_USE_TRAY);
    EXPECT_FALSE(settings.dwParam1 & P1_SHOW_CATEGORY_TREE);
}

// The installer's machine-wide server serves users without their own; a
// user's value wins; a user who only follows the machine is not pinned to
// its value by a save, and a nonsense machine port is not used.
TEST_F(SettingsTest, MachineServerIsTheDefaultAndTheUsersOwnWins) {
    {
        RegKey machine;
        ASSERT_EQ(machine.CreateKey(HKEY_LOCAL_MACHINE, Settings::kRegistryPath, KEY_WRITE), ERROR_SUCCESS);
        machine.WriteString("szAddress", "calsrv.example");
        machine.WriteDword("dwPortNo", 40000);
    }
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.szAddress, "calsrv.example");
    EXPECT_EQ(settings.dwPortNo, 40000u);
    settings.dwParam1 = P1_SHOW_TOOLBAR;
    settings.Save();
    EXPECT_EQ(ReadRawString("szAddress"), "<absent>") << "still follows the machine";
    EXPECT_EQ(ReadRawString("dwParam1"), "\x02") << "everything else is saved";

    settings.szAddress = "mine.example";
    settings.Save();
    WriteRaw("dwPortNo", REG_DWORD, "\x39\x30\0\0", 4);  // 12345
    Settings reloaded;
    reloaded.Load();
    EXPECT_EQ(reloaded.szAddress, "mine.example");
    EXPECT_EQ(reloaded.dwPortNo, 12345u);
    EXPECT_EQ(reloaded.dwParam1, static_cast<DWORD>(P1_SHOW_TOOLBAR));

    RemoveSettingsKey();
    {
        RegKey machine;
        machine.CreateKey(HKEY_LOCAL_MACHINE, Settings::kRegistryPath, KEY_WRITE);
        machine.WriteDword("dwPortNo", 70000);
    }
    Settings fresh;
    fresh.Load();
    EXPECT_EQ(fresh.dwPortNo, 54321u);
    EXPECT_EQ(fresh.szAddress, "calsrv.example");
}

TEST_F(SettingsTest, NumbersLongerThanFourBytesTakeTheDefault) {
    const char port[] = "12345";
    WriteRaw("dwPortNo", REG_SZ, port, sizeof port);
    const BYTE binary[4] = {0x39, 0x30, 0x00, 0x00};  // 12345, little-endian
    WriteRaw("dwParam1", REG_BINARY, binary, sizeof binary);
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.dwPortNo, 54321u);
    EXPECT_EQ(settings.dwParam1, 12345u);
}

TEST_F(SettingsTest, EmptyOrUnterminatedAddressIsHandled) {
    WriteRaw("szAddress", REG_SZ, "", 0);
    Settings settings;
    settings.Load();
    EXPECT_EQ(settings.szAddress, "localhost");

    const char bytes[] = {'h', 'o', 's', 't'};  // no terminating NUL
    WriteRaw("szAddress", REG_BINARY, bytes, sizeof bytes);
    settings.Load();
    EXPECT_EQ(settings.szAddress, "host");
}

TEST_F(SettingsTest, EverythingRoundTripsThroughTheRegistry) {
    Settings saved;
    saved.szAddress = "予定サーバ.example";
    saved.dwPortNo = 65000;
    saved.dwParam1 = P1_SHOW_TOOLBAR | P1_TOPMOST | 0x400;  // unknown bits pass through
    saved.dwWindowTop = -20;
    saved.dwWindowLeft = 30;
    saved.dwWindowWidth = 800;
    saved.dwWindowHeight = 600;
    saved.SetCategoryState(12, false, true);
    saved.SetCategoryState(3, true, true);
    saved.categoryStates[99];  // a key without an entry is not saved
    EXPECT_TRUE(saved.Save());
    EXPECT_EQ(ReadRawString("szCategorySetting"), "3,1,1;12,0,1;");

    Settings loaded;
    loaded.Load();
    EXPECT_EQ(loaded.szAddress, saved.szAddress);
    EXPECT_EQ(loaded.dwPortNo, 65000u);
    EXPECT_EQ(loaded.dwParam1, saved.dwParam1);
    EXPECT_EQ(loaded.dwWindowTop, -20);
    EXPECT_EQ(loaded.dwWindowLeft, 30);
    EXPECT_EQ(loaded.dwWindowWidth, 800);
    EXPECT_EQ(loaded.dwWindowHeight, 600);
    EXPECT_EQ(loaded.FormatCategoryStates(), "3,1,1;12,0,1;");
    EXPECT_EQ(loaded.categoryStates.count(99), 0u);
}

TEST_F(SettingsTest, CategoryStatesSurviveOnlyWellFormedPieces) {
    struct Case {
        const char* text;
        const char* restored;
    } cases[] = {
        {"5,1,1;7,0,0", "5,1,1;7,0,0;"},  // no final semicolon
        {"5,1;7,0,0,1;", ""},               // two and four fields
        {"x,1,1;", "0,1,1;"},               // a non-numeric id reads as 0
        {"4,yes,1;", "4,0,1;"},             // only "1" is on
        {"", ""},
        {";;;,,;", "0,0,0;"},  // three empty fields still make a piece
        {"8,1,1;8,0,0;", "8,0,0;"},  // the later piece overwrites
        {"-3,1,0;", "-3,1,0;"},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.ParseCategoryStates(c.text);
        EXPECT_EQ(settings.FormatCategoryStates(), c.restored) << c.text;
    }
}

TEST_F(SettingsTest, MalformedRegistryTextLoadsWithoutFailing) {
    const char text[] = "1,1,1;garbage;2,0,1;";
    WriteRaw("szCategorySetting", REG_SZ, text, sizeof text);
    Settings settings;
    EXPECT_TRUE(settings.Load());
    EXPECT_EQ(settings.FormatCategoryStates(), "1,1,1;2,0,1;");
}

}  // namespace
