// The grid's title bar: "<year> 年 <month> 月のスケジュール" on grey.
#pragma once

#include "shell/CellBase.h"

class MonthTitleCell : public CellBase {
public:
    void Draw(Dc& dc) override;

    // Set by the grid before every paint from its shown date.
    void SetMonth(int year, int month) {
        year_ = year;
        month_ = month;
    }

private:
    int year_ = 0;
    int month_ = 0;
};
