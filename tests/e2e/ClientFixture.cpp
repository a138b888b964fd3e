#include "tests/e2e/ClientFixture.h"

#include <commctrl.h>

#include <cstdio>

#ifndef RDZ_SHOT_FOLDER
#error "RDZ_SHOT_FOLDER must name the folder for screenshots (Unix path)"
#endif

long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

Day CivilFromDays(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return Day{static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

int Weekday(long days) { return static_cast<int>((days % 7 + 11) % 7); }

long CellDays(int year, int month, int c, int r) {
    const long first = DaysFromCivil(year, month, 1);
    return first - Weekday(first) + r * 7 + c;
}

std::string StatusDate(int year, int month, int c, int r) {
    static const char* const names[] = {"日", "月", "火", "水", "木", "金", "土"};
    const long days = CellDays(year, month, c, r);
    const Day d = CivilFromDays(days);
    char text[64];
    std::snprintf(text, sizeof text, "%d年%d月%d日(%s)", d.year, d.month, d.day, names[Weekday(days)]);
    return text;
}

Day Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Day{now.wYear, now.wMonth, now.wDay};
}

Day AddMonths(Day d, int months) {
    const int index = d.year * 12 + (d.month - 1) + months;
    return Day{index / 12, index % 12 + 1, 1};
}

std::unique_ptr<ClientProcess> ClientFixture::client_;

void ClientFixture::ResetSettings(unsigned short port) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    HKEY key = nullptr;
    if (port != 0 &&
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
        DWORD value = port;
        RegSetValueExA(key, "dwPortNo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
}

DWORD ClientFixture::ReadSetting(const char* name) {
    DWORD value = 0, size = sizeof value;
    RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

bool ClientFixture::StartClient() {
    client_.reset(new ClientProcess());
    return client_->Started() && WaitUntil([] { return IsWindowVisible(Frame()) != FALSE; }, kStartMs);
}

HWND ClientFixture::Frame() { return FindWindowA("RendezClient", nullptr); }

HWND ClientFixture::Grid() {
    HWND split = FindDescendant(Frame(), "QxKit_SplitWindow", 100);
    return split ? FindDescendant(split, "QxKit_Window", 1) : nullptr;
}

HWND ClientFixture::Toolbar() { return FindDescendant(Frame(), "QXKIT_ToolbarWindow32", 2); }

HWND ClientFixture::Tabs() { return FindDescendant(Frame(), "QXKITTabControl32", 4); }

HWND ClientFixture::StatusBar() {
    for (HWND child = GetWindow(Frame(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        if (GetDlgCtrlID(child) == 3 && lstrcmpiA(name, "QxKit_Window") != 0) return child;
    }
    return nullptr;
}

int ClientFixture::ShownMonth() { return static_cast<int>(SendMessageA(Tabs(), TCM_GETCURSEL, 0, 0)) + 1; }

POINT ClientFixture::CellCentre(int c, int r) {
    RECT client{0, 0, 0, 0};
    GetClientRect(Grid(), &client);
    const int w = client.right, h = client.bottom;
    return ClientPointOnScreen(Grid(), (2 * c + 1) * w / 14, 50 + (2 * r + 1) * (h - 50) / 12);
}

HWND ClientFixture::Tree() {
    HWND split = FindDescendant(Frame(), "QxKit_SplitWindow", 100);
    return split ? FindDescendant(split, nullptr, 30) : nullptr;
}

// The columns and rows share out the pixels in 16.16 fixed point below a
// 50-pixel head; neighbours overlap by their one-pixel border.
RECT ClientFixture::CellRect(int c, int r) {
    RECT client{0, 0, 0, 0};
    GetClientRect(Grid(), &client);
    const long long cw = static_cast<long long>(client.right) * 65536 / 7;
    const long long rh = static_cast<long long>(client.bottom - 50) * 65536 / 6;
    RECT cell{static_cast<LONG>((c * cw) >> 16), static_cast<LONG>(50 + ((r * rh) >> 16)),
              static_cast<LONG>(((c + 1) * cw >> 16) + 1), static_cast<LONG>(51 + (((r + 1) * rh) >> 16))};
    MapWindowPoints(Grid(), nullptr, reinterpret_cast<POINT*>(&cell), 2);
    return cell;
}

// Black pixels inside the cell, below its head line and clear of its border
// (a selected day's is two pixels wide).
bool ClientFixture::CellListsText(const Screen& screen, int c, int r) {
    const RECT cell = CellRect(c, r);
    const RECT list{cell.left + 4, cell.top + 16, cell.right - 4, cell.bottom - 4};
    const RECT black = screen.BoundsOf(RGB(0, 0, 0), list);
    return black.right - black.left > 3;
}

bool ClientFixture::StatusShows(Day month, int c, int r) {
    const std::string expected = StatusDate(month.year, month.month, c, r);
    return WaitUntil([&] { return WindowText(StatusBar()).rfind(expected, 0) == 0; }, kStepMs) &&
           ShownMonth() == month.month;
}

std::string ClientFixture::StatusText() { return WindowText(StatusBar()); }

Screen ClientFixture::Shot(const std::string& name) { return Screen::Capture(RDZ_SHOT_FOLDER, name); }

bool ClientFixture::ToolbarDrawn(const std::string& shotName) {
    return WaitUntil(
        [&] {
            RECT blue = Shot(shotName).BoundsOf(RGB(0, 64, 176), ScreenRect(Toolbar()));
            return blue.right - blue.left > 100;
        },
        kStepMs);
}
