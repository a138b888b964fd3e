#include "editing/DaySheetRules.h"

#include "text/ShiftJis.h"

#include <cstdio>

std::string DayPromptText(int year, int month, int day, int weekday) {
    static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    const char* name = weekday >= 0 && weekday < 7 ? kWeekdays[weekday] : "";
    char text[128];
    std::snprintf(text, sizeof text, "%d年%d月%d日(%s)の予定を入力してください。", year, month, day, name);
    return text;
}

std::string DeleteQuestionText(const ScheduleRecord& record) {
    return "「" + std::string(FieldText(record.text)) + "」を削除します。よろしいですか？";
}

bool EntryComplete(bool categorySelected, bool genreSelected, bool textEmpty) {
    return categorySelected && genreSelected && !textEmpty;
}

void StoreEntry(ScheduleRecord& record, const std::string& text, const CategoryRecord& category,
                const CategoryRecord& genre) {
    CopyToField(record.text, text);
    CopyToField(record.categoryName, FieldText(category.shortName));
    CopyToField(record.genreName, FieldText(genre.shortName));
    record.genreId = genre.id;
}

int InitialHolidayState(const DateInfoRecord* dateInfo) {
    return dateInfo && dateInfo->holiday == 1 ? 1 : 0;
}

bool DateSettingsChanged(const std::string& initialName, int initialHoliday, const std::string& name,
                         int holidayState) {
    return name != initialName || holidayState != initialHoliday;
}

DateInfoRecord MakeDateSettingsRecord(int32_t dateKey, const std::string& name, int holidayState) {
    DateInfoRecord record;
    record.date = dateKey;
    CopyToField(record.name, name);
    record.holiday = holidayState == 1 ? 1 : 0;  // BST_CHECKED
    return record;
}
