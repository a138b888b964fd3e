// One cell of the calendar grid: a rectangle that draws itself into the
// grid's off-screen device context with its own bold head font.
#pragma once

#include "toolkit/Services.h"

#include <windows.h>

class CellBase {
public:
    CellBase();
    virtual ~CellBase() = default;
    CellBase(const CellBase&) = delete;
    CellBase& operator=(const CellBase&) = delete;

    virtual void Draw(Dc& dc) = 0;

    // In grid client pixels; set by the grid before every paint.
    void SetRect(const RECT& rect) { rect_ = rect; }
    const RECT& Rect() const { return rect_; }

protected:
    RECT rect_{};
    Font headFont_;
};
