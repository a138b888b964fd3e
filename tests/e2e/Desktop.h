// What an end-to-end test needs around the client it drives: X input and
// screenshots through the Unix tools (xdotool, ImageMagick's import), waiting
// with deadlines, and reading the client's windows from outside its process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls `condition` every 50 ms until it holds or `timeoutMs` have passed.
bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs);

// X input, in screen coordinates of the virtual desktop (which sits at the
// top left of the X screen, so they are the X root's coordinates too).
bool Click(POINT at, int count = 1);
bool Drag(POINT from, POINT to);
// xdotool key names, e.g. "ctrl+Next", "alt+v", "m".
bool Keys(const std::string& keys);
// Puts Shift-JIS text on the X clipboard (xclip) and waits until Wine's
// clipboard offers it, ready for Ctrl+V: typed Japanese would arrive as
// single bytes.
bool PutOnClipboard(const std::string& shiftJis);

// One screenshot of the whole screen.
class Screen {
public:
    // Captures the screen; also keeps it as NAME.png in `shotFolder`.
    static Screen Capture(const std::string& shotFolder, const std::string& name);

    bool Valid() const { return width_ > 0; }
    COLORREF At(int x, int y) const;
    // The smallest rectangle within `area` holding every pixel of `colour`
    // (empty when there is none).
    RECT BoundsOf(COLORREF colour, const RECT& area) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<unsigned char> rgb_;
};

// The windows of another process, found and read from outside. A null class
// name or an id of -1 matches any.
HWND FindDescendant(HWND root, const char* className, int id);

std::string WindowText(HWND window);
RECT ScreenRect(HWND window);
POINT ClientPointOnScreen(HWND window, int x, int y);
