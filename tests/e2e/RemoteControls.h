// Reading the common controls of another process from outside. List view,
// tree view and tab messages carry pointers that Wine does not carry across
// processes, so their structures and texts go through memory allocated in
// the control's own process.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

// A block of memory inside the process that owns a window.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    // The block's address in the other process, to pass in a message.
    LPARAM Address(size_t offset = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }
    bool Write(const void* data, size_t size, size_t offset = 0);
    bool Read(void* data, size_t size, size_t offset = 0) const;

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_ = 0;
};

// A message to another process's window that gives up after 5 s.
LRESULT SendRemote(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The rows of a report list view, each its first `columns` cells joined by "|".
std::vector<std::string> ListViewRows(HWND list, int columns);
// The screen rectangle of a list view row (empty when there is none).
RECT ListViewRowRect(HWND list, int row);

struct TreeEntry {
    HTREEITEM item;
    int depth;  // 0 for a top-level item
    std::string text;
    int image;
    bool expanded;
    bool bold;
};
// Every item of a tree view, top-level items each followed by their children.
std::vector<TreeEntry> TreeEntries(HWND tree);
// The screen rectangle of an item's text (empty when it is not shown).
RECT TreeItemTextRect(HWND tree, HTREEITEM item);

// The screen rectangle of a tab of a tab control.
RECT TabRect(HWND tabs, int index);

// The text of part `part` of a status bar ("" when it has no such part).
std::string StatusPartText(HWND bar, int part);

// The texts of every tool of every tool-tip window on the desktop (the
// notification icons' tips among them).
std::vector<std::string> ToolTipTexts();

// The middle of a rectangle.
POINT Middle(const RECT& rect);
