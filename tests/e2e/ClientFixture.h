// What every end-to-end program shares around the client it drives: the
// client process, its settings key, finding its frame, grid, toolbar, tabs
// and status bar from outside, the places of the day cells, screenshots, and
// the calendar arithmetic behind the texts it should show.
#pragma once

#include "tests/e2e/ClientProcess.h"
#include "tests/e2e/Desktop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

const char kSettingsKey[] = "Software\\Sorano\\Mimosa";
const char kTitle[] = "ミモザ手帳 1.1.4";
const unsigned kStartMs = 90000;
const unsigned kStepMs = 15000;

// ---- calendar arithmetic for the expected texts ----

struct Day {
    int year, month, day;
};

long DaysFromCivil(int y, int m, int d);
Day CivilFromDays(long z);
int Weekday(long days);  // 0 = Sunday
// The date the grid shows in column c, row r of a month.
long CellDays(int year, int month, int c, int r);
// The status bar's date, "2026年12月16日(水)", of column c, row r.
std::string StatusDate(int year, int month, int c, int r);
Day Today();
Day AddMonths(Day d, int months);

// ---- the client and its windows ----

class ClientFixture : public ::testing::Test {
protected:
    // Deletes the client's settings key, then, when `port` is not 0, writes
    // that server port into it: the client keeps its defaults otherwise.
    static void ResetSettings(unsigned short port);
    static DWORD ReadSetting(const char* name);

    // Starts the client and waits until its frame is shown.
    static bool StartClient();
    static HWND Frame();
    static HWND Grid();
    static HWND Toolbar();
    static HWND Tabs();
    static HWND StatusBar();
    static int ShownMonth();

    static HWND Tree();

    // The middle of day cell (c, r) of the grid, on the screen.
    static POINT CellCentre(int c, int r);
    // Day cell (c, r) on the screen, as the grid paints it.
    static RECT CellRect(int c, int r);
    // Whether the schedule lines under the day's head show any text.
    static bool CellListsText(const Screen& screen, int c, int r);

    // Waits until the status bar reads the date of cell (c, r) of the month.
    static bool StatusShows(Day month, int c, int r);
    static std::string StatusText();

    static Screen Shot(const std::string& name);
    // Waits until the toolbar's pictures are on the screen: the navigation
    // arrows' blue spreads over more than 100 pixels of the toolbar.
    static bool ToolbarDrawn(const std::string& shotName);

    static std::unique_ptr<ClientProcess> client_;
};
