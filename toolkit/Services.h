// Toolkit services: small owners of Windows resources (registry keys, ...),
// string resources and number formatting, and the one seam through which
// every message box of the program is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Message boxes

// Shows a message box and returns the button pressed. Every message box of the
// program goes through the installed handler; the default is MessageBoxA.
// While a modal window of the calling thread is up, the box is owned by it
// (MessageBoxOwnerFor in Dialog.h) rather than by the window beneath it.
using MessageBoxHandler = int (*)(HWND owner, const char* text, const char* caption, UINT style);

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Installs a handler (null restores MessageBoxA) and returns the previous one.
// Tests install a recorder here to see what a user would have seen.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// ---------------------------------------------------------------------------
// Strings and numbers

// The string resource `id` of `instance` (at most 1023 bytes); an absent
// string gives "". Windows headers spell this name LoadStringA: this is its
// two-argument overload.
std::string LoadString(HINSTANCE instance, UINT id);

// `value` in `radix` (2 to 36) with digits and lower-case letters; radix 10
// writes negative values with a minus sign, every other radix reads the value
// as unsigned 32-bit. An unsupported radix gives "".
std::string IntToString(int32_t value, int radix);

// Cuts a text at every occurrence of a delimiter, keeping empty pieces.
class StringSplitter {
public:
    explicit StringSplitter(std::string text) : text_(std::move(text)) {}

    // The pieces between occurrences of `delimiter`, in order; the rest after
    // the last occurrence is always the final piece.
    std::vector<std::string> Split(const std::string& delimiter) const;

private:
    std::string text_;
};

// ---------------------------------------------------------------------------
// Registry

// Owns one open registry key; the destructor closes it.
class RegKey {
public:
    RegKey() = default;
    ~RegKey();
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY Handle() const { return key_; }

    // RegCreateKeyExA; the new handle replaces (and closes) any held one.
    LONG CreateKey(HKEY parent, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM access,
                   SECURITY_ATTRIBUTES* security, DWORD* disposition);
    // Opens (creating if missing) with the common defaults.
    LONG CreateKey(HKEY parent, const char* subKey, REGSAM access);
    // RegOpenKeyExA: an existing key only, never created (for keys the user
    // may read but not write, such as the machine's).
    LONG OpenKey(HKEY parent, const char* subKey, REGSAM access);
    LONG Close();

    LONG QueryValue(const char* name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) const;
    LONG SetValue(const char* name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

    // The value's text up to its first NUL, or `fallback` when the value is
    // missing, empty or unreadable.
    std::string ReadString(const char* name, const std::string& fallback) const;
    // A value of at most four bytes (little-endian), or `fallback`.
    DWORD ReadDword(const char* name, DWORD fallback) const;
    LONG WriteString(const char* name, const std::string& value);
    LONG WriteDword(const char* name, DWORD value);

    LONG EnumKey(DWORD index, char* name, DWORD* nameLength) const;
    LONG QueryInfo(DWORD* subKeys, DWORD* maxSubKeyLength) const;
    // The number of subkeys, or -1 when the key cannot be queried.
    int SubKeyCount() const;
    LONG DeleteKey(const char* subKey);
    // Deletes every subkey, deepest first, then this key; returns 0 or the
    // first failing registry error (what could not be deleted stays).
    LONG DeleteTree();

private:
    HKEY key_ = nullptr;
};

// ---------------------------------------------------------------------------
// Resource wrappers: device contexts, GDI objects, image lists, menus, the
// notification icon, threads, global memory, dropped files, dates.

#include <commctrl.h>
#include <shellapi.h>

#include <ctime>

#include "toolkit/Application.h"

// ---------------------------------------------------------------------------
// Device contexts and GDI objects
//
// Selections through a Dc are tracked: a GdiObject remembers every DC it was
// selected into and the object it replaced there, so destroying it puts the
// replaced object back before the handle is deleted (a font deleted while
// still selected would leave the DC drawing with a dead handle).

class Dc;

// Owns one GDI object (font, pen, brush or bitmap); the destructor undoes the
// object's tracked selections, then deletes it.
class GdiObject {
public:
    GdiObject() = default;
    virtual ~GdiObject();
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    HGDIOBJ Handle() const { return handle_; }

protected:
    // Takes ownership of a newly created handle; one held before is released
    // first, as by the destructor. Returns the new handle.
    HGDIOBJ Attach(HGDIOBJ handle);

private:
    friend class Dc;

    // One selection into `dc` that replaced `previous` there.
    struct Selection {
        Dc* dc;
        HGDIOBJ previous;
    };

    void Release();
    // Puts back what this object replaced in `dc`, where it still shows.
    void UndoSelection(const Selection& selection);

    HGDIOBJ handle_ = nullptr;
    std::vector<Selection> selections_;
};

class Font : public GdiObject {
public:
    // CreateFontA with its fourteen arguments (windows.h spells this
    // CreateFontA).
    HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                     DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                     DWORD quality, DWORD pitchAndFamily, const char* face);
    HFONT Get() const { return static_cast<HFONT>(Handle()); }
};

class Pen : public GdiObject {
public:
    HPEN CreatePen(int style, int width, COLORREF colour);
    HPEN Get() const { return static_cast<HPEN>(Handle()); }
};

class Brush : public GdiObject {
public:
    HBRUSH CreateSolidBrush(COLORREF colour);
    HBRUSH Get() const { return static_cast<HBRUSH>(Handle()); }
};

class Bitmap : public GdiObject {
public:
    HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
    HBITMAP Get() const { return static_cast<HBITMAP>(Handle()); }
};

// A device context used through the toolkit. The plain Dc only borrows the
// HDC it is given (a handler's DC); the variants below own theirs. Destroying
// any Dc forgets its tracked selections without undoing them.
class Dc {
public:
    explicit Dc(HDC dc) : dc_(dc) {}
    virtual ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    HDC Handle() const { return dc_; }

    // Tracked SelectObject: returns the handle the selection replaced.
    HGDIOBJ SelectObject(GdiObject& object);
    // DrawTextA (windows.h spells this member DrawTextA).
    int DrawText(const char* text, int length, RECT* rect, UINT format);
    COLORREF SetTextColor(COLORREF colour);
    int SetBkMode(int mode);
    BOOL BitBlt(int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rasterOperation);
    int FillRect(const RECT* rect, HBRUSH brush);
    BOOL Rectangle(int left, int top, int right, int bottom);

protected:
    Dc() = default;

    HDC dc_ = nullptr;
    HWND window_ = nullptr;  // the window the DC was obtained from, if any

private:
    friend class GdiObject;

    void Forget(GdiObject* object);

    std::vector<GdiObject*> selected_;
};

// The client-area DC of a window: GetDC, released with ReleaseDC.
class WindowDc : public Dc {
public:
    explicit WindowDc(HWND window);
    ~WindowDc() override;
};

// The DC of a WM_PAINT: BeginPaint, ended with EndPaint.
class PaintDc : public Dc {
public:
    explicit PaintDc(HWND window);
    ~PaintDc() override;

    const PAINTSTRUCT& Paint() const { return paint_; }

private:
    PAINTSTRUCT paint_;
};

// An off-screen DC compatible with a window's DC; deleted with DeleteDC.
class MemoryDc : public Dc {
public:
    explicit MemoryDc(HWND window);
    ~MemoryDc() override;
};

// Owns one image list; destroyed through the common controls.
class ImageList {
public:
    ImageList() = default;
    virtual ~ImageList();
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;

    HIMAGELIST Handle() const { return list_; }

    // ImageList_Create; a list held before is destroyed first.
    HIMAGELIST Create(int width, int height, UINT flags, int initialCount, int grow);
    // Appends the icon; returns its image index, or -1.
    int AddIcon(HICON icon);

private:
    HIMAGELIST list_ = nullptr;
};

// ---------------------------------------------------------------------------
// Menus, rectangles, points

// Borrows a menu handle: loaded menus live as long as the process, and menus
// handed to a handler belong to Windows.
class Menu {
public:
    explicit Menu(HMENU menu = nullptr) : menu_(menu) {}
    virtual ~Menu() = default;

    HMENU Handle() const { return menu_; }

    // LoadMenuA (windows.h spells this member LoadMenuA); the result is kept.
    HMENU LoadMenu(HINSTANCE instance, const char* name);
    // The submenu at `position` of `menu`; the result is kept.
    HMENU GetSubMenu(HMENU menu, int position);
    BOOL EnableMenuItem(UINT item, UINT enable);
    DWORD CheckMenuItem(UINT item, UINT check);
    BOOL TrackPopupMenu(UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
    // GetMenuItemInfoA (windows.h spells this member GetMenuItemInfoA).
    BOOL GetMenuItemInfo(UINT item, BOOL byPosition, MENUITEMINFOA* info);
    // The item's MFS_ state bits, or 0 when the item cannot be read.
    UINT GetItemState(UINT item, BOOL byPosition);

private:
    HMENU menu_;
};

// A RECT, zero until set, usable wherever a RECT is.
class Rect : public RECT {
public:
    Rect() : RECT{} {}
    Rect(LONG left, LONG top, LONG right, LONG bottom) : RECT{left, top, right, bottom} {}

    BOOL GetClientRect(HWND window) { return ::GetClientRect(window, this); }
    BOOL GetWindowRect(HWND window) { return ::GetWindowRect(window, this); }
    BOOL CopyRect(const RECT* source) { return ::CopyRect(this, source); }
    BOOL SetRect(int l, int t, int r, int b) { return ::SetRect(this, l, t, r, b); }
    BOOL PtInRect(int x, int y) const { return ::PtInRect(this, POINT{x, y}); }
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
};

// A POINT, usable wherever a POINT is.
class Point : public POINT {
public:
    Point() : POINT{} {}
    // From the two 16-bit halves of a mouse message's lParam (or any two
    // values): the low 16 bits of each, signed, so positions left of or above
    // the window (a captured mouse) stay negative.
    Point(int x16, int y16) : POINT{static_cast<SHORT>(x16 & 0xFFFF), static_cast<SHORT>(y16 & 0xFFFF)} {}

    BOOL GetCursorPos() { return ::GetCursorPos(this); }
};

// ---------------------------------------------------------------------------
// Notification-area icon

// One icon in the notification area. The owner fills `data` (window, id,
// flags, callback message, icon) and the tip through SetTip; the destructor
// removes the icon.
class TrayIcon {
public:
    TrayIcon();
    virtual ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shell_NotifyIconA(NIM_ADD / NIM_MODIFY / NIM_DELETE).
    BOOL Add();
    BOOL Modify();
    BOOL Delete();

    // The tip, cut to the 63 bytes the structure holds (never in the middle
    // of a double-byte character).
    void SetTip(const std::string& tip);

    // cbSize is the size of the original structure (up to szTip), which every
    // version of the shell accepts.
    NOTIFYICONDATAA data;
};

// ---------------------------------------------------------------------------
// Threads and global memory

// A thread whose work is the virtual Run. The destructor closes the handle
// but neither waits for nor stops the thread: the object must outlive Run.
class Thread : public KernelHandle {
public:
    Thread() = default;
    ~Thread() override = default;

    // Stores `parameter` and starts a thread that calls Run(parameter);
    // returns the thread handle (null on failure). A handle held before is
    // closed first.
    HANDLE Create(SECURITY_ATTRIBUTES* security, SIZE_T stackSize, void* parameter, DWORD creationFlags);

    DWORD ThreadId() const { return threadId_; }
    void* Parameter() const { return parameter_; }

protected:
    // The thread's work; its result is the thread's exit code.
    virtual DWORD Run(void* parameter);

private:
    static DWORD WINAPI Start(void* self);

    DWORD threadId_ = 0;
    void* parameter_ = nullptr;
};

// Owns one global memory block. The destructor undoes the block's locks and
// frees it.
class GlobalMemory {
public:
    GlobalMemory() = default;
    virtual ~GlobalMemory();
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;

    HGLOBAL Handle() const { return memory_; }

    // GlobalAlloc; a block held before is freed first.
    HGLOBAL Alloc(UINT flags, SIZE_T bytes);
    void* Lock() { return GlobalLock(memory_); }
    BOOL Unlock() { return GlobalUnlock(memory_); }

private:
    void Free();

    HGLOBAL memory_ = nullptr;
};

// The files of a WM_DROPFILES; the destructor ends the drop (DragFinish).
class DropFiles {
public:
    explicit DropFiles(HDROP drop) : drop_(drop) {}
    virtual ~DropFiles();
    DropFiles(const DropFiles&) = delete;
    DropFiles& operator=(const DropFiles&) = delete;

    HDROP Handle() const { return drop_; }
    UINT Count() const;
    // The path of file `index`, or "" when there is no such file.
    std::string FileName(UINT index) const;

private:
    HDROP drop_;
};

// ---------------------------------------------------------------------------
// Dates

// A point in calendar time (the run-time library's time value), read in the
// local time zone. Day and month steps move the calendar date, keeping the
// time of day: across a daylight-saving change a day is 23 or 25 hours, not
// 86,400 seconds, and counting seconds would repeat or skip a date.
class DateValue {
public:
    // The current time.
    DateValue();
    explicit DateValue(time_t time) : time_(time) {}

    time_t Time() const { return time_; }

    // Local midnight of the date (month 1-12), or the first time after it
    // where a daylight-saving change skips midnight; the date is normalised
    // like mktime does (day 0 is the last day of the previous month). Returns
    // 1, or 0 and keeps the old value when the date cannot be represented.
    int SetDate(int year, int month, int day);

    int Year() const;
    int Month() const;  // 1-12
    int Day() const;
    int Weekday() const;  // 0 = Sunday
    int Hour() const;

    // Form 1: year * 10000 + month * 100 + day; any other form gives 0.
    int DateKey(int form) const;

    // Moves n calendar days forward (negative n: backward), keeping the time
    // of day (or taking the first time after it that the target date has).
    // Returns the signed change in seconds; 0 when the result could not be
    // represented (the value is then kept).
    time_t AddDays(int n);
    // Moves n calendar days backward. Returns the signed change in seconds.
    time_t SubtractDays(int n);
    // `count` times: forward by the number of days of the current month.
    // Returns the last step's change in seconds.
    time_t AddMonths(int count);
    // `count` times: backward by the number of days of the previous month.
    // Returns the last step's change in seconds.
    time_t SubtractMonths(int count);

    // Days of the month in the Gregorian calendar; 0 for a month outside 1-12.
    static int DaysInMonth(int year, int month);

private:
    // The local-time breakdown (all zero when the time cannot be broken down).
    std::tm Local() const;
    // Moves the date by `days` days on the local calendar; returns the change.
    time_t StepDays(int days);

    time_t time_;
};
