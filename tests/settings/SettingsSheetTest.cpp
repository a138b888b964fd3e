// The settings sheet driven through its window: what the page shows, what OK
// stores in the settings and the registry, and that Cancel stores nothing.
#include "resources/RegistrationResource.h"
#include "settings/SettingsSheet.h"
#include "tests/support/ModalScript.h"
#include "tests/support/WindowTestSupport.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

using namespace window_test;

// The sheet's Apply button.
constexpr int kApplyButton = 0x3021;

void RemoveKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, Settings::kRegistryPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Sorano");
}

// The settings as a fresh load from the registry sees them.
std::unique_ptr<Settings> Stored() {
    auto settings = std::make_unique<Settings>();
    settings->Load();
    return settings;
}

class SettingsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveKey();
        settings.Load();
        settings.dwParam1 |= P1_TOPMOST;  // a bit the page does not own
        settings.Save();
    }
    void TearDown() override { RemoveKey(); }

    // Runs the sheet; `onPage` acts on the page once it is up and tells
    // which button closes the sheet.
    INT_PTR Run(const std::function<int(HWND page)>& onPage) {
        SettingsSheet sheet(settings);
        int button = 0;
        INT_PTR outcome = RunScripted({
            [&] {
                HWND page = sheet.Page().Handle();
                if (!page || !sheet.Handle()) return false;
                button = onPage(page);
                return true;
            },
            // Clicks are posted: the sheet closes once they are through.
            [&] { return PostMessageA(sheet.Handle(), PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0) != 0; },
        }, [&] { return sheet.DoModal(frame.Handle()); });
        EXPECT_EQ(FindShownWindow("設定"), nullptr);
        return outcome;
    }

    static int Check(HWND page, int id) {
        return static_cast<int>(SendDlgItemMessageA(page, id, BM_GETCHECK, 0, 0));
    }

    StandInFrame frame;
    Settings settings;
};

TEST_F(SettingsSheetTest, OkStoresTheServerAndThePortsLeadingDigits) {
    INT_PTR outcome = Run([](HWND page) {
        EXPECT_EQ(ItemText(page, IDC_SETTINGS_ADDRESS), "localhost");
        EXPECT_EQ(ItemText(page, IDC_SETTINGS_PORT), "54321");
        EXPECT_EQ(Check(page, IDC_SETTINGS_USE_TRAY), BST_CHECKED);
        EXPECT_EQ(Check(page, IDC_SETTINGS_CLOSE_TO_TRAY), BST_CHECKED);
        EXPECT_TRUE(ItemEnabled(page, IDC_SETTINGS_CLOSE_TO_TRAY));
        // Nothing on the page reports a change: Apply stays off.
        HWND apply = GetDlgItem(GetParent(page), kApplyButton);
        EXPECT_TRUE(apply);
        EXPECT_FALSE(IsWindowEnabled(apply));
        SetDlgItemTextA(page, IDC_SETTINGS_ADDRESS, "calendar.example");
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, "8080abc");
        return PSBTN_OK;
    });
    EXPECT_GT(outcome, 0);
    EXPECT_EQ(settings.szAddress, "calendar.example");
    EXPECT_EQ(settings.dwPortNo, 8080u);
    EXPECT_EQ(settings.dwParam1, Settings::kDefaultParam1 | P1_TOPMOST);
    std::unique_ptr<Settings> stored = Stored();
    EXPECT_EQ(stored->szAddress, "calendar.example");
    EXPECT_EQ(stored->dwPortNo, 8080u);
    EXPECT_EQ(stored->dwParam1, Settings::kDefaultParam1 | P1_TOPMOST);

    // A port that starts with a letter is stored as 0, an empty address as
    // empty: nothing is checked here, the next connection fails instead.
    outcome = Run([](HWND page) {
        EXPECT_EQ(ItemText(page, IDC_SETTINGS_PORT), "8080");
        SetDlgItemTextA(page, IDC_SETTINGS_ADDRESS, "");
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, "x123");
        return PSBTN_OK;
    });
    EXPECT_GT(outcome, 0);
    EXPECT_EQ(settings.dwPortNo, 0u);
    EXPECT_EQ(Stored()->dwPortNo, 0u);
    EXPECT_EQ(settings.szAddress, "");
}

TEST_F(SettingsSheetTest, TurningTheTrayOffKeepsTheCloseToTrayCheck) {
    INT_PTR outcome = Run([](HWND page) {
        // A real click on the auto check box.
        SendDlgItemMessageA(page, IDC_SETTINGS_USE_TRAY, BM_CLICK, 0, 0);
        EXPECT_EQ(Check(page, IDC_SETTINGS_USE_TRAY), BST_UNCHECKED);
        EXPECT_FALSE(ItemEnabled(page, IDC_SETTINGS_CLOSE_TO_TRAY));
        EXPECT_EQ(Check(page, IDC_SETTINGS_CLOSE_TO_TRAY), BST_CHECKED);
        return PSBTN_OK;
    });
    EXPECT_GT(outcome, 0);
    EXPECT_FALSE(settings.dwParam1 & P1_USE_TRAY);
    EXPECT_TRUE(settings.dwParam1 & P1_CLOSE_TO_TRAY);
    EXPECT_EQ(Stored()->dwParam1, (Settings::kDefaultParam1 & ~static_cast<DWORD>(P1_USE_TRAY)) | P1_TOPMOST);

    // Reopened: the close-to-tray check is still there, but disabled.
    outcome = Run([](HWND page) {
        EXPECT_EQ(Check(page, IDC_SETTINGS_USE_TRAY), BST_UNCHECKED);
        EXPECT_EQ(Check(page, IDC_SETTINGS_CLOSE_TO_TRAY), BST_CHECKED);
        EXPECT_FALSE(ItemEnabled(page, IDC_SETTINGS_CLOSE_TO_TRAY));
        SendDlgItemMessageA(page, IDC_SETTINGS_USE_TRAY, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemEnabled(page, IDC_SETTINGS_CLOSE_TO_TRAY));
        // Typed, then cancelled.
        SetDlgItemTextA(page, IDC_SETTINGS_ADDRESS, "elsewhere");
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, "1");
        return PSBTN_CANCEL;
    });
    EXPECT_EQ(outcome, 0);
    EXPECT_FALSE(settings.dwParam1 & P1_USE_TRAY);
    EXPECT_EQ(settings.szAddress, "localhost");
    EXPECT_EQ(settings.dwPortNo, 54321u);
    std::unique_ptr<Settings> stored = Stored();
    EXPECT_FALSE(stored->dwParam1 & P1_USE_TRAY);
    EXPECT_EQ(stored->szAddress, "localhost");
    EXPECT_EQ(stored->dwPortNo, 54321u);
}

}  // namespace
