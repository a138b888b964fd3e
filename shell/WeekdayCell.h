// One weekday name over a day column, red on Sunday and blue on Saturday.
#pragma once

#include "shell/CellBase.h"

class WeekdayCell : public CellBase {
public:
    void Draw(Dc& dc) override;

    // 0 = Sunday .. 6 = Saturday; set by the grid before every paint.
    void SetIndex(int index) { index_ = index; }

private:
    int index_ = 0;
};
