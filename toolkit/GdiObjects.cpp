#include "toolkit/Services.h"

#include <algorithm>

GdiObject::~GdiObject() { Release(); }

HGDIOBJ GdiObject::Attach(HGDIOBJ handle) {
    Release();
    handle_ = handle;
    return handle_;
}

void GdiObject::Release() {
    // Latest selection first, so that each undo sees the DC as that selection
    // left it.
    while (!selections_.empty()) {
        Selection selection = selections_.back();
        selections_.pop_back();
        UndoSelection(selection);
        selection.dc->Forget(this);
    }
    if (handle_) DeleteObject(handle_);
    handle_ = nullptr;
}

void GdiObject::UndoSelection(const Selection& selection) {
    HDC dc = selection.dc->Handle();
    DWORD type = GetObjectType(handle_);
    if (type != 0 && GetCurrentObject(dc, type) == handle_) {
        ::SelectObject(dc, selection.previous);
        return;
    }
    // Another object has replaced this one in the DC since. Putting the old
    // object back now would throw that one out; instead, the selection that
    // replaced this object inherits what this object replaced, so undoing it
    // later restores the right object.
    for (GdiObject* other : selection.dc->selected_) {
        for (Selection& later : other->selections_) {
            if (later.dc == selection.dc && later.previous == handle_) later.previous = selection.previous;
        }
    }
}

HFONT Font::CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                       DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                       DWORD quality, DWORD pitchAndFamily, const char* face) {
    return static_cast<HFONT>(Attach(::CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                                                   strikeOut, charSet, outPrecision, clipPrecision, quality,
                                                   pitchAndFamily, face)));
}

HPEN Pen::CreatePen(int style, int width, COLORREF colour) {
    return static_cast<HPEN>(Attach(::CreatePen(style, width, colour)));
}

HBRUSH Brush::CreateSolidBrush(COLORREF colour) { return static_cast<HBRUSH>(Attach(::CreateSolidBrush(colour))); }

HBITMAP Bitmap::CreateCompatibleBitmap(HDC dc, int width, int height) {
    return static_cast<HBITMAP>(Attach(::CreateCompatibleBitmap(dc, width, height)));
}

ImageList::~ImageList() {
    if (list_) ImageList_Destroy(list_);
}

HIMAGELIST ImageList::Create(int width, int height, UINT flags, int initialCount, int grow) {
    if (list_) ImageList_Destroy(list_);
    list_ = ImageList_Create(width, height, flags, initialCount, grow);
    return list_;
}

int ImageList::AddIcon(HICON icon) { return ImageList_ReplaceIcon(list_, -1, icon); }
