#include "tests/e2e/Desktop.h"

#include "tests/support/CalendarServerProcess.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
}

namespace {

std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

}  // namespace

bool Click(POINT at, int count) {
    // Two separate clicks on one spot within the double-click time would
    // reach the program as a double-click: let that time pass first.
    static POINT lastAt{-1000, -1000};
    static ULONGLONG lastTick = 0;
    const ULONGLONG wait = GetDoubleClickTime() + 100;
    if (std::abs(at.x - lastAt.x) <= 4 && std::abs(at.y - lastAt.y) <= 4 && GetTickCount64() - lastTick < wait) {
        Sleep(static_cast<DWORD>(wait - (GetTickCount64() - lastTick)));
    }
    const bool done =
        RunShell("xdotool mousemove " + At(at) + " click --repeat " + std::to_string(count) + " --delay 80 1", 10000);
    lastAt = at;
    lastTick = GetTickCount64();
    return done;
}

bool Drag(POINT from, POINT to) {
    // A person's drag: press, move in two steps, release.
    POINT half{(from.x + to.x) / 2, (from.y + to.y) / 2};
    return RunShell("xdotool mousemove " + At(from) + " mousedown 1 sleep 0.2 mousemove " + At(half) +
                        " sleep 0.2 mousemove " + At(to) + " sleep 0.2 mouseup 1",
                    10000);
}

bool Keys(const std::string& keys) { return RunShell("xdotool key --delay 60 " + keys, 10000); }

bool PutOnClipboard(const std::string& shiftJis) {
    const int wideLength = MultiByteToWideChar(932, 0, shiftJis.data(), static_cast<int>(shiftJis.size()), nullptr, 0);
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(932, 0, shiftJis.data(), static_cast<int>(shiftJis.size()), &wide[0], wideLength);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(utf8Length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, nullptr, nullptr);

    const std::string file = std::string(RDZ_TEST_TMP) + "/clipboard.txt";
    {
        std::ofstream out(WindowsPathOf(file), std::ios::binary | std::ios::trunc);
        out << utf8;
        if (!out) return false;
    }
    if (!RunShell("xclip -selection clipboard -i " + ShellQuote(file) + " >/dev/null 2>&1", 10000)) return false;
    return WaitUntil(
        [&] {
            if (!OpenClipboard(nullptr)) return false;
            std::string held;
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                if (const char* text = static_cast<const char*>(GlobalLock(data))) {
                    held = text;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
            return held == shiftJis;
        },
        10000);
}

Screen Screen::Capture(const std::string& shotFolder, const std::string& name) {
    Screen screen;
    const std::string ppm = shotFolder + "/" + name + ".ppm";
    const std::string png = shotFolder + "/" + name + ".png";
    if (!RunShell("mkdir -p " + ShellQuote(shotFolder) + " && import -window root -depth 8 ppm:" + ShellQuote(ppm) +
                      " && /usr/bin/convert " + ShellQuote(ppm) + " " + ShellQuote(png),
                  20000)) {
        return screen;
    }
    {
        std::ifstream in(WindowsPathOf(ppm), std::ios::binary);
        std::string magic;
        int maxValue = 0;
        in >> magic >> screen.width_ >> screen.height_ >> maxValue;
        in.get();
        if (magic == "P6" && maxValue == 255 && screen.width_ > 0 && screen.height_ > 0 &&
            screen.width_ <= 8192 && screen.height_ <= 8192) {
            screen.rgb_.resize(static_cast<size_t>(screen.width_) * screen.height_ * 3);
            in.read(reinterpret_cast<char*>(screen.rgb_.data()), static_cast<std::streamsize>(screen.rgb_.size()));
        }
        if (!in || screen.rgb_.empty()) screen.width_ = 0;
    }
    DeleteFileA(WindowsPathOf(ppm).c_str());
    return screen;
}

COLORREF Screen::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    const unsigned char* p = &rgb_[(static_cast<size_t>(y) * width_ + x) * 3];
    return RGB(p[0], p[1], p[2]);
}

RECT Screen::BoundsOf(COLORREF colour, const RECT& area) const {
    RECT bounds{0, 0, 0, 0};
    bool found = false;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (At(x, y) != colour) continue;
            if (!found) {
                bounds = RECT{x, y, x + 1, y + 1};
                found = true;
            } else {
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
            }
        }
    }
    return bounds;
}

namespace {

struct Search {
    const char* className;
    int id;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM lParam) {
    Search& search = *reinterpret_cast<Search*>(lParam);
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    const bool classMatches = !search.className || lstrcmpiA(name, search.className) == 0;
    if (classMatches && (search.id < 0 || GetDlgCtrlID(window) == search.id)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindDescendant(HWND root, const char* className, int id) {
    Search search{className, id, nullptr};
    EnumChildWindows(root, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string WindowText(HWND window) {
    char text[512] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                             3000, &copied)) {
        return std::string();
    }
    return std::string(text, strnlen(text, sizeof text));
}

RECT ScreenRect(HWND window) {
    RECT rect{0, 0, 0, 0};
    GetWindowRect(window, &rect);
    return rect;
}

POINT ClientPointOnScreen(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}
