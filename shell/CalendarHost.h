// What the calendar display needs from the window that holds it (the main
// frame): the store it shows, the frame's window for commands and keys it
// does not handle itself, the day-selected state of command 40005, the
// status text, reloads, and the category tree and day sheet, whose classes
// the display does not know.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class CalendarGrid;
class DayCell;
class ScheduleStore;
class WindowBase;

class CalendarHost {
public:
    virtual ~CalendarHost() = default;

    virtual ScheduleStore& Store() = 0;
    // Receives, unchanged, the WM_COMMAND and unhandled WM_KEYDOWN messages
    // of the grid.
    virtual HWND FrameWindow() const = 0;
    // Enables or grays command 40005 (toolbar and menu).
    virtual void SetDaySelected(bool selected) = 0;
    // The status bar's text.
    virtual void SetStatusText(const std::string& text) = 0;
    // Runs the load sequence for the data sets in `mask` and returns when it
    // is done.
    virtual void Reload(uint32_t mask) = 0;

    // Creates the category tree's object and window as a child of `split`
    // (CalendarSplit::kTree* give its id, styles and width); the tree writes
    // `grid`.genreFilter and reads `grid`.genreCounts.
    virtual std::unique_ptr<WindowBase> CreateCategoryTree(HWND split, CalendarGrid& grid) = 0;
    // The tree's Rebuild and UpdateCounts.
    virtual void RebuildCategoryTree() = 0;
    virtual void UpdateCategoryCounts() = 0;

    // Shows the date-information sheet of `day` modally over `owner`,
    // starting on page `startPage` (0 = schedules, 1 = date settings);
    // returns 1 when it was confirmed.
    virtual int RunDaySheet(HWND owner, DayCell& day, int startPage) = 0;
};
