// The smaller toolkit services: number formatting, string resources, menus,
// points, the notification icon, threads, global memory and dropped files.
#include "toolkit/Services.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(IntToString, NegativeValuesAreSignedInRadix10AndTwosComplementElsewhere) {
    EXPECT_EQ(IntToString(-42, 10), "-42");
    EXPECT_EQ(IntToString(-42, 16), "ffffffd6");
    EXPECT_EQ(IntToString(-2147483647 - 1, 10), "-2147483648");
    EXPECT_EQ(IntToString(-1, 2), std::string(32, '1'));
    EXPECT_EQ(IntToString(0, 10), "0");
    EXPECT_EQ(IntToString(35, 36), "z");
    EXPECT_EQ(IntToString(5, 1), "");
    EXPECT_EQ(IntToString(5, 37), "");
}

TEST(LoadString, ReadsTheToolkitTextsAndGivesEmptyForAMissingId) {
    HINSTANCE self = GetModuleHandleA(nullptr);
    EXPECT_EQ(LoadString(self, 501), "%sは既に開かれています。");
    EXPECT_EQ(LoadString(self, 508), "アプリケーションが登録されていません。");
    EXPECT_EQ(LoadString(self, 4711), "");
}

// A popup menu made for one test and destroyed with it.
struct TestMenu {
    TestMenu() : handle(CreatePopupMenu()) {
        AppendMenuA(handle, MF_STRING | MF_CHECKED, 1, "checked");
        AppendMenuA(handle, MF_STRING | MF_GRAYED, 2, "grayed");
        AppendMenuA(handle, MF_STRING, 3, "plain");
    }
    ~TestMenu() { DestroyMenu(handle); }
    HMENU handle;
};

TEST(Menu, GetItemStateReadsTheStateByIdAndByPosition) {
    TestMenu popup;
    Menu menu(popup.handle);
    EXPECT_EQ(menu.GetItemState(1, FALSE) & MFS_CHECKED, static_cast<UINT>(MFS_CHECKED));
    EXPECT_NE(menu.GetItemState(1, TRUE) & MF_GRAYED, 0u);
    EXPECT_EQ(menu.GetItemState(2, TRUE), 0u);

    menu.CheckMenuItem(3, MF_BYCOMMAND | MF_CHECKED);
    menu.EnableMenuItem(1, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_EQ(menu.GetItemState(3, FALSE) & MFS_CHECKED, static_cast<UINT>(MFS_CHECKED));
    UINT both = menu.GetItemState(1, FALSE);
    EXPECT_NE(both & MFS_CHECKED, 0u);
    EXPECT_NE(both & MF_GRAYED, 0u);
    EXPECT_EQ(menu.GetItemState(99, FALSE), 0u) << "no such item";
}

TEST(Point, TakesTheLow16BitsSigned) {
    Point zero;
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.y, 0);
    Point point(0x12345, 0xFFFF);  // as a captured mouse left of the window reports it
    EXPECT_EQ(point.x, 0x2345);
    EXPECT_EQ(point.y, -1);
    Point negative(-20, 30);
    EXPECT_EQ(negative.x, -20);
    EXPECT_EQ(negative.y, 30);
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowExA(0, "STATIC", "tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override { DestroyWindow(window_); }
    HWND window_ = nullptr;
};

TEST_F(TrayIconTest, AddAndDeleteSucceedWithTheFirstShellsStructure) {
#ifndef _WIN64
    static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the 32-bit structure the first shell knows");
#endif
    TrayIcon tray;
    EXPECT_EQ(tray.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    tray.data.hWnd = window_;
    tray.data.uID = 0;
    tray.data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    tray.data.uCallbackMessage = WM_USER + 100;
    tray.data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    tray.SetTip("ミモザ手帳 1.1.4");
    EXPECT_TRUE(tray.Add());
    EXPECT_TRUE(tray.Delete());
    EXPECT_FALSE(tray.Delete()) << "already gone";
}

TEST(TrayIcon, TheTipIsCutTo63BytesNeverInsideACharacter) {
    TrayIcon tray;
    tray.SetTip(std::string(80, 'x'));
    EXPECT_EQ(std::strlen(tray.data.szTip), 63u);
    tray.SetTip(std::string(62, 'x') + "あ");  // the character would need bytes 63 and 64
    EXPECT_EQ(std::string(tray.data.szTip), std::string(62, 'x'));
    tray.SetTip("短い");
    EXPECT_EQ(std::string(tray.data.szTip), "短い");
}

class RecordingThread : public Thread {
public:
    void* seenParameter = nullptr;
    DWORD runThreadId = 0;

protected:
    DWORD Run(void* parameter) override {
        seenParameter = parameter;
        runThreadId = GetCurrentThreadId();
        return 1234;
    }
};

DWORD WaitForExitCode(HANDLE thread) {
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

TEST(Thread, RunsRunWithItsParameterOnItsOwnThreadAndReturnsItsExitCode) {
    int marker = 0;
    RecordingThread thread;
    HANDLE handle = thread.Create(nullptr, 0, &marker, 0);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle, thread.Handle());
    EXPECT_EQ(WaitForExitCode(handle), 1234u);
    EXPECT_EQ(thread.seenParameter, &marker);
    EXPECT_EQ(thread.runThreadId, thread.ThreadId());
    EXPECT_NE(thread.runThreadId, GetCurrentThreadId());
}

TEST(Thread, CreationFlagsReachTheThreadAndTheDefaultRunExitsWithZero) {
    Thread thread;
    ASSERT_NE(thread.Create(nullptr, 0, nullptr, CREATE_SUSPENDED), nullptr);
    EXPECT_EQ(WaitForSingleObject(thread.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "still suspended";
    ResumeThread(thread.Handle());
    EXPECT_EQ(WaitForExitCode(thread.Handle()), 0u);
    EXPECT_TRUE(thread.Close());
    EXPECT_EQ(thread.Handle(), nullptr);
}

// The block goes even while locked twice. (Wine frees a locked block as
// well, so the unlocking before GlobalFree is not visible from here.)
TEST(GlobalMemory, ALockedBlockIsFreed) {
    HGLOBAL handle = nullptr;
    {
        GlobalMemory memory;
        handle = memory.Alloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
        ASSERT_NE(handle, nullptr);
        ASSERT_NE(memory.Lock(), nullptr);
        ASSERT_NE(memory.Lock(), nullptr);
        EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 2u);
    }
    EXPECT_EQ(GlobalFlags(handle), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "freed";
}

TEST(DropFiles, ListsTheDroppedFilesAndEndsTheDrop) {
    static const char kFiles[] = "C:\\a.txt\0C:\\予定 表.csv\0";  // double NUL at the end
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + sizeof kFiles);
    ASSERT_NE(block, nullptr);
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(header + 1, kFiles, sizeof kFiles);
    GlobalUnlock(block);
    {
        DropFiles drop(static_cast<HDROP>(block));
        EXPECT_EQ(drop.Count(), 2u);
        EXPECT_EQ(drop.FileName(0), "C:\\a.txt");
        EXPECT_EQ(drop.FileName(1), "C:\\予定 表.csv");
        EXPECT_EQ(drop.FileName(2), "");
    }
    EXPECT_EQ(GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "DragFinish freed the block";
}

TEST(ImageList, IconsAreAppendedInOrder) {
    ImageList images;
    ASSERT_NE(images.Create(16, 16, ILC_MASK | ILC_COLOR4, 3, 0), nullptr);
    HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
    EXPECT_EQ(images.AddIcon(icon), 0);
    EXPECT_EQ(images.AddIcon(icon), 1);
    EXPECT_EQ(ImageList_GetImageCount(images.Handle()), 2);
}

}  // namespace
