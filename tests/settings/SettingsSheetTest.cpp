// The settings sheet driven through its window: what the page shows, what OK
// stores in the settings and the registry, what OK refuses, and that Cancel
// stores nothing.
#include "resources/RegistrationResource.h"
#include "settings/SettingsSheet.h"
#include "tests/support/MessageBoxRecorder.h"
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
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, " 8080 ");
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

    // The edges of the range are ports too.
    outcome = Run([](HWND page) {
        EXPECT_EQ(ItemText(page, IDC_SETTINGS_PORT), "8080");
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, "65535");
        return PSBTN_OK;
    });
    EXPECT_GT(outcome, 0);
    EXPECT_EQ(Stored()->dwPortNo, 65535u);
}

TEST_F(SettingsSheetTest, OkRefusesAMissingAddressAndABadPortNamingTheFieldAndKeepsTheSheet) {
    // A port stored out of range shows as the number it is, and OK does
    // not take it.
    RegKey key;
    key.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, KEY_WRITE);
    key.WriteDword("dwPortNo", static_cast<DWORD>(-5));
    settings.Load();
    MessageBoxRecorder boxes;
    SettingsSheet sheet(settings);
    HWND page = nullptr;
    // Each refused attempt: one box naming the field, its text selected,
    // the sheet still up, nothing stored.
    size_t expectedBoxes = 0;
    auto refused = [&](int field, const char* text) {
        return [&, field, text] {
            if (boxes.Shown().size() < expectedBoxes) return false;
            EXPECT_EQ(boxes.Shown().size(), expectedBoxes);
            const RecordedMessageBox box = boxes.Shown().back();
            EXPECT_EQ(box.text, text);
            EXPECT_EQ(box.caption, "設定");
            EXPECT_TRUE(IsWindowVisible(sheet.Handle()));
            EXPECT_EQ(GetFocus(), GetDlgItem(page, field));
            DWORD start = 1, end = 0;
            SendDlgItemMessageA(page, field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u);
            EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(GetDlgItem(page, field))));  // characters
            EXPECT_EQ(Stored()->dwPortNo, static_cast<DWORD>(-5));
            EXPECT_EQ(Stored()->szAddress, "localhost");
            return true;
        };
    };
    // Types into the fields and presses OK, expecting one more box.
    auto attempt = [&](const char* address, const char* port) {
        return [&, address, port] {
            SetDlgItemTextA(page, IDC_SETTINGS_ADDRESS, address);
            SetDlgItemTextA(page, IDC_SETTINGS_PORT, port);
            ++expectedBoxes;
            return PostMessageA(sheet.Handle(), PSM_PRESSBUTTON, PSBTN_OK, 0) != 0;
        };
    };
    std::vector<ModalScript::Step> steps = {
        [&] {
            page = sheet.Page().Handle();
            if (!page || !sheet.Handle()) return false;
            EXPECT_EQ(ItemText(page, IDC_SETTINGS_PORT), "-5");
            ++expectedBoxes;
            return PostMessageA(sheet.Handle(), PSM_PRESSBUTTON, PSBTN_OK, 0) != 0;
        },
        refused(IDC_SETTINGS_PORT, kTextPortInvalid),
        attempt("", "8080"),
        refused(IDC_SETTINGS_ADDRESS, kTextAddressMissing),
        attempt(" \t　", "8080"),
        refused(IDC_SETTINGS_ADDRESS, kTextAddressMissing),
    };
    for (const char* port : {"", "0", "65536", "70000", "119857", "-1", "+80", "8080abc", "x123", "80 80", "８０"}) {
        steps.push_back(attempt("calendar.example", port));
        steps.push_back(refused(IDC_SETTINGS_PORT, kTextPortInvalid));
    }
    steps.push_back([&] {
        SetDlgItemTextA(page, IDC_SETTINGS_PORT, "1");
        return PostMessageA(sheet.Handle(), PSM_PRESSBUTTON, PSBTN_OK, 0) != 0;
    });
    INT_PTR outcome = RunScripted(std::move(steps), [&] { return sheet.DoModal(frame.Handle()); });
    EXPECT_GT(outcome, 0);
    EXPECT_EQ(boxes.Shown().size(), expectedBoxes);
    EXPECT_EQ(Stored()->dwPortNo, 1u);
    EXPECT_EQ(Stored()->szAddress, "calendar.example");
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
