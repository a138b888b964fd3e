#include "toolkit/Services.h"

#include <algorithm>

Dc::~Dc() {
    // The objects outlive this wrapper: they must not try to undo anything
    // through it later.
    for (GdiObject* object : selected_) {
        auto& records = object->selections_;
        records.erase(std::remove_if(records.begin(), records.end(),
                                     [this](const GdiObject::Selection& record) { return record.dc == this; }),
                      records.end());
    }
    selected_.clear();
}

void Dc::Forget(GdiObject* object) {
    auto found = std::find(selected_.rbegin(), selected_.rend(), object);
    if (found != selected_.rend()) selected_.erase(std::next(found).base());
}

HGDIOBJ Dc::SelectObject(GdiObject& object) {
    HGDIOBJ previous = ::SelectObject(dc_, object.handle_);
    // A failed selection changed nothing, so there is nothing to undo later.
    if (!previous || previous == HGDI_ERROR) return previous;
    object.selections_.push_back({this, previous});
    selected_.push_back(&object);
    return previous;
}

int Dc::DrawText(const char* text, int length, RECT* rect, UINT format) {
    return ::DrawTextA(dc_, text, length, rect, format);
}

COLORREF Dc::SetTextColor(COLORREF colour) { return ::SetTextColor(dc_, colour); }

int Dc::SetBkMode(int mode) { return ::SetBkMode(dc_, mode); }

BOOL Dc::BitBlt(int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rasterOperation) {
    return ::BitBlt(dc_, x, y, width, height, source, sourceX, sourceY, rasterOperation);
}

int Dc::FillRect(const RECT* rect, HBRUSH brush) { return ::FillRect(dc_, rect, brush); }

BOOL Dc::Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(dc_, left, top, right, bottom); }

WindowDc::WindowDc(HWND window) {
    window_ = window;
    dc_ = GetDC(window);
}

WindowDc::~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
}

PaintDc::PaintDc(HWND window) : paint_{} {
    window_ = window;
    dc_ = BeginPaint(window, &paint_);
}

PaintDc::~PaintDc() {
    if (dc_) EndPaint(window_, &paint_);
    // Ended: nothing is left to release.
    dc_ = nullptr;
    window_ = nullptr;
}

MemoryDc::MemoryDc(HWND window) {
    WindowDc screen(window);
    dc_ = CreateCompatibleDC(screen.Handle());
}

MemoryDc::~MemoryDc() {
    if (dc_) DeleteDC(dc_);
}
