// The frame's two commands for these dialogs, in a client frame made as the
// program makes it, against the real server and registry: the category
// dialog's OK reloads the categories, and the schedules too once a genre
// they name was renamed, its Cancel nothing; after the
// settings sheet the tray icon follows the settings, however it closed.
#include "resources/RegistrationResource.h"
#include "protocol/ScheduleSet.h"
#include "resources/Resource.h"
#include "settings/Settings.h"
#include "shell/CalendarApp.h"
#include "shell/MainFrame.h"
#include "tests/support/CalendarServerProcess.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalScript.h"
#include "tests/support/TestServerContext.h"
#include "text/ShiftJis.h"
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

using namespace window_test;

void RemoveSettingsKeys() {
    RegDeleteKeyA(HKEY_CURRENT_USER, Settings::kRegistryPath);
    RegDeleteKeyA(HKEY_CURRENT_USER, CalendarApp::kMakerKey);
}

std::unique_ptr<Settings> Stored() {
    auto settings = std::make_unique<Settings>();
    settings->Load();
    return settings;
}

class FrameCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<CalendarServerProcess>(std::vector<std::vector<std::string>>{
            {"add-category", "業務", "業務"},
        });
        ASSERT_NE(server->Port(), 0) << "calendar server did not start: " << server->Log();
        RemoveSettingsKeys();
        {
            RegKey key;
            key.CreateKey(HKEY_CURRENT_USER, Settings::kRegistryPath, KEY_READ | KEY_WRITE);
            key.WriteString("szAddress", "127.0.0.1");
            key.WriteDword("dwPortNo", server->Port());
        }

        app = std::make_unique<CalendarApp>();
        app->Initialize(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
        ASSERT_EQ(app->StartFrame(), 0);
        frame = app->Frame();
        ASSERT_TRUE(frame && frame->Handle());
    }

    void TearDown() override {
        if (frame && IsWindow(frame->Handle())) {
            // Ctrl held: a real close, whatever the tray options say.
            BYTE keys[256];
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            SetKeyboardState(keys);
            SendMessageA(frame->Handle(), WM_CLOSE, 0, 0);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
        }
        TakeQuitMessage();
        app.reset();
        UnregisterClassA(CalendarApp::kInstanceName, GetModuleHandleA(nullptr));
        RemoveSettingsKeys();
    }

    // Whether the shell holds the frame's icon: only an icon that is there
    // can be modified.
    bool TrayShown() const {
        NOTIFYICONDATAA probe = frame->Tray().data;
        probe.uFlags = NIF_TIP;
        return Shell_NotifyIconA(NIM_MODIFY, &probe) != 0;
    }

    // Sends the command; `steps` drive the dialog it opens.
    void Command(UINT id, std::vector<ModalScript::Step> steps) {
        RunScripted(std::move(steps), [&] { return SendMessageA(frame->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    }

    // The settings sheet: `onPage` acts on its page and names the button
    // that closes it.
    void RunSettingsSheet(const std::function<int(HWND page)>& onPage) {
        HWND sheet = nullptr;
        int button = 0;
        Command(ID_SETTINGS, {
            [&] {
                sheet = FindShownWindow("設定");
                HWND page = sheet ? reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
                if (!page) return false;
                button = onPage(page);
                return true;
            },
            [&] { return PostMessageA(sheet, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0) != 0; },
        });
    }

    // Requests of `kind` ("SET 2", "GET 1", "HELLO"...) logged after `from`.
    size_t Logged(const std::string& kind, size_t from) const { return server->Logged(kind, from); }

    MessageBoxRecorder boxes;
    std::unique_ptr<CalendarServerProcess> server;
    std::unique_ptr<CalendarApp> app;
    MainFrame* frame = nullptr;
};

TEST_F(FrameCommandsTest, CategoryDialogReloadsTheCategoriesAndAfterARenameTheSchedulesToo) {
    ASSERT_EQ(frame->Store().categories.records.size(), 1u);
    size_t from = server->Log().size();
    Command(ID_CATEGORY_REGISTER, {
        [&] {
            HWND dialog = FindShownWindow("ｶﾃｺﾞﾘの登録・更新");
            if (!dialog) return false;
            SelectListItem(dialog, IDC_CATEGORY_LIST, 0);
            return PressButton(dialog, IDC_GENRE_ADD);
        },
        [&] {
            HWND genre = FindShownWindow("ｼﾞｬﾝﾙの登録");
            if (!genre) return false;
            SetDlgItemTextA(genre, IDC_GENRE_NAME, "研修");
            return PressButton(genre, IDOK);
        },
        [&] {
            if (FindShownWindow("ｼﾞｬﾝﾙの登録")) return false;
            return PressButton(FindShownWindow("ｶﾃｺﾞﾘの登録・更新"), IDOK);
        },
    });
    PumpUntil([&] { return Logged("GET 2", from) >= 1; }, std::chrono::milliseconds(3000));
    EXPECT_EQ(Logged("SET 2", from), 1u);
    EXPECT_EQ(Logged("GET 2", from), 1u);
    EXPECT_EQ(Logged("GET 1", from) + Logged("GET 3", from) + Logged("HELLO", from), 0u);
    // The store holds the server's record, with the id the server gave it.
    const CategorySet& categories = frame->Store().categories;
    ASSERT_EQ(categories.records.size(), 2u);
    EXPECT_STREQ(categories.records[1]->name, "研修");
    EXPECT_NE(categories.records[1]->id, 0);
    EXPECT_EQ(categories.records[1]->op, OP_NONE);

    // A schedule under the new genre, from another client; the frame loads it.
    {
        TestServerContext other("127.0.0.1", server->Port());
        ScheduleSet set(other);
        ScheduleRecord record;
        record.op = OP_ADD;
        record.date = 20261216;
        record.genreId = categories.records[1]->id;
        CopyToField(record.text, "新人研修");
        ASSERT_EQ(set.Set(record), 1);
    }
    frame->Refresh();
    const ScheduleSet& schedules = frame->Store().schedules;
    ASSERT_EQ(schedules.records.size(), 1u);
    EXPECT_STREQ(schedules.records[0]->genreName, "研修");

    // Renamed: the schedules come again, with the genre's new short name.
    from = server->Log().size();
    Command(ID_CATEGORY_REGISTER, {
        [&] {
            HWND dialog = FindShownWindow("ｶﾃｺﾞﾘの登録・更新");
            if (!dialog) return false;
            SelectListItem(dialog, IDC_CATEGORY_LIST, 0);
            SelectListItem(dialog, IDC_GENRE_LIST, 0);
            return PressButton(dialog, IDC_GENRE_EDIT);
        },
        [&] {
            HWND genre = FindShownWindow("ｼﾞｬﾝﾙの登録");
            if (!genre) return false;
            SetDlgItemTextA(genre, IDC_GENRE_NAME, "新人研修会");
            return PressButton(genre, IDOK);
        },
        [&] {
            if (FindShownWindow("ｼﾞｬﾝﾙの登録")) return false;
            return PressButton(FindShownWindow("ｶﾃｺﾞﾘの登録・更新"), IDOK);
        },
    });
    PumpUntil([&] { return Logged("GET 2", from) >= 1; }, std::chrono::milliseconds(3000));
    EXPECT_EQ(Logged("SET 2", from), 1u);
    EXPECT_EQ(Logged("GET 1", from), 1u);
    EXPECT_EQ(Logged("GET 2", from), 1u);
    EXPECT_EQ(Logged("GET 3", from) + Logged("HELLO", from), 0u);
    ASSERT_EQ(schedules.records.size(), 1u);
    EXPECT_STREQ(schedules.records[0]->genreName, "新人研修会");
    EXPECT_STREQ(categories.records[1]->name, "新人研修会");

    // Cancel: no request at all.
    from = server->Log().size();
    Command(ID_CATEGORY_REGISTER, {[&] {
        HWND dialog = FindShownWindow("ｶﾃｺﾞﾘの登録・更新");
        return dialog && PressButton(dialog, IDCANCEL);
    }});
    PumpUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(server->Log().size(), from);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(FrameCommandsTest, TrayFollowsTheSettingsAfterOkAndAfterCancel) {
    ASSERT_TRUE(frame->GetSettings().dwParam1 & P1_USE_TRAY);
    EXPECT_TRUE(TrayShown());

    // Off with OK: the icon goes at once, and the settings are saved.
    RunSettingsSheet([](HWND page) {
        SendDlgItemMessageA(page, IDC_SETTINGS_USE_TRAY, BM_CLICK, 0, 0);
        return PSBTN_OK;
    });
    EXPECT_FALSE(TrayShown());
    EXPECT_FALSE(frame->GetSettings().dwParam1 & P1_USE_TRAY);
    EXPECT_FALSE(Stored()->dwParam1 & P1_USE_TRAY);

    // Turned on, then cancelled: still off.
    RunSettingsSheet([](HWND page) {
        SendDlgItemMessageA(page, IDC_SETTINGS_USE_TRAY, BM_CLICK, 0, 0);
        return PSBTN_CANCEL;
    });
    EXPECT_FALSE(TrayShown());

    // On with OK: the icon is back.
    RunSettingsSheet([](HWND page) {
        SendDlgItemMessageA(page, IDC_SETTINGS_USE_TRAY, BM_CLICK, 0, 0);
        return PSBTN_OK;
    });
    EXPECT_TRUE(TrayShown());
    EXPECT_TRUE(Stored()->dwParam1 & P1_USE_TRAY);

    // An icon the shell lost comes back after a cancelled sheet too: the
    // tray is applied as the settings hold it, whichever button closed it.
    NOTIFYICONDATAA gone = frame->Tray().data;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &gone));
    ASSERT_FALSE(TrayShown());
    RunSettingsSheet([](HWND) { return PSBTN_CANCEL; });
    EXPECT_TRUE(TrayShown());
}

}  // namespace
