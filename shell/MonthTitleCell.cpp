#include "shell/MonthTitleCell.h"

#include "shell/CellAppearance.h"

using namespace cell_appearance;

void MonthTitleCell::Draw(Dc& dc) {
    dc.SetBkMode(TRANSPARENT);
    Pen pen;
    pen.CreatePen(PS_SOLID, 0, kBorder);
    Brush brush;
    brush.CreateSolidBrush(kTitleBackground);
    dc.SelectObject(pen);
    dc.SelectObject(brush);
    dc.Rectangle(rect_.left, rect_.top, rect_.right, rect_.bottom);

    // The title is drawn first into a fresh context, in its black text colour.
    std::string text = TitleText(year_, month_);
    dc.SelectObject(headFont_);
    RECT rect = rect_;
    dc.DrawText(text.c_str(), static_cast<int>(text.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
