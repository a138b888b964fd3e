#include "editing/ScheduleListView.h"

#include "protocol/Records.h"
#include "protocol/WireFormat.h"

#include <cstdio>

ScheduleColumn ScheduleColumnOf(uint8_t bit) {
    switch (bit) {
    case SCHEDULE_COLUMN_DATE: return {"日付", 70};
    case SCHEDULE_COLUMN_ID: return {"ID", 30};
    case SCHEDULE_COLUMN_CATEGORY: return {"ｶﾃｺﾞﾘ", 55};
    case SCHEDULE_COLUMN_GENRE: return {"ｼﾞｬﾝﾙ", 55};
    case SCHEDULE_COLUMN_TEXT: return {"名称", 235};
    case SCHEDULE_COLUMN_ENTERED: return {"入力日", 250};
    case SCHEDULE_COLUMN_HOST: return {"ホスト", 250};
    default: return {nullptr, 0};
    }
}

std::string ScheduleCellText(const ScheduleRecord& record, uint8_t bit) {
    char number[40];
    switch (bit) {
    case SCHEDULE_COLUMN_DATE:
        std::snprintf(number, sizeof number, "%d/%d/%d", record.date / 10000, record.date / 100 % 100,
                      record.date % 100);
        return number;
    case SCHEDULE_COLUMN_ID: std::snprintf(number, sizeof number, "%d", record.id); return number;
    case SCHEDULE_COLUMN_CATEGORY: return std::string(FieldText(record.categoryName));
    case SCHEDULE_COLUMN_GENRE: return std::string(FieldText(record.genreName));
    case SCHEDULE_COLUMN_TEXT: return std::string(FieldText(record.text));
    case SCHEDULE_COLUMN_ENTERED: return std::string(FieldText(record.entered));
    case SCHEDULE_COLUMN_HOST: return std::string(FieldText(record.host));
    default: return {};
    }
}

ScheduleListView::ScheduleListView(HWND item, uint8_t columns) : ListViewCtrl(item), columns_(columns) {}

void ScheduleListView::SetupColumns() {
    SetExtendedStyle(0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    int index = 0;
    for (unsigned bit = 0x01; bit <= 0x40; bit <<= 1) {
        if (!(columns_ & bit)) continue;
        ScheduleColumn column = ScheduleColumnOf(static_cast<uint8_t>(bit));
        LVCOLUMNA insert{};
        insert.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        insert.fmt = LVCFMT_LEFT;
        insert.cx = column.width;
        insert.pszText = const_cast<char*>(column.header);
        insert.iSubItem = index;
        InsertColumn(index, &insert);
        ++index;
    }
}

void ScheduleListView::AddRow(const ScheduleRecord& record) {
    LVITEMA row{};
    row.mask = LVIF_TEXT | LVIF_PARAM;
    row.iItem = GetItemCount();
    row.pszText = const_cast<char*>("");
    row.lParam = reinterpret_cast<LPARAM>(&record);
    int index = InsertItem(&row);
    if (index < 0) return;
    int column = 0;
    for (unsigned bit = 0x01; bit <= 0x40; bit <<= 1) {
        if (!(columns_ & bit)) continue;
        std::string text = ScheduleCellText(record, static_cast<uint8_t>(bit));
        LVITEMA cell{};
        cell.mask = LVIF_TEXT;
        cell.iItem = index;
        cell.iSubItem = column++;
        cell.pszText = text.data();
        SetItem(&cell);
    }
}
