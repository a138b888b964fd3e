#include "shell/WeekdayCell.h"

#include "shell/CellAppearance.h"

#include <cstring>

using namespace cell_appearance;

void WeekdayCell::Draw(Dc& dc) {
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(WeekdayTextColour(index_));
    Brush brush;
    brush.CreateSolidBrush(kPlainBackground);
    Pen pen;
    pen.CreatePen(PS_SOLID, 0, kBorder);
    dc.SelectObject(brush);
    dc.SelectObject(pen);
    dc.Rectangle(rect_.left, rect_.top, rect_.right, rect_.bottom);

    const char* name = WeekdayName(index_);
    dc.SelectObject(headFont_);
    RECT rect = rect_;
    dc.DrawText(name, static_cast<int>(std::strlen(name)), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
