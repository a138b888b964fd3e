// The texts and decisions of the day sheet and the schedule entry dialog,
// kept apart from their windows.
#pragma once

#include "protocol/Records.h"

#include <cstdint>
#include <string>

// "2006年7月9日(日)の予定を入力してください。" for the given day; weekday 0 is
// Sunday (a number outside 0-6 gives an empty weekday name).
std::string DayPromptText(int year, int month, int day, int weekday);

// The question before a schedule is deleted: its text between "「" and
// "」を削除します。よろしいですか？".
std::string DeleteQuestionText(const ScheduleRecord& record);

// The entry dialog may be confirmed only with a category, a genre and a text.
bool EntryComplete(bool categorySelected, bool genreSelected, bool textEmpty);

// Writes the confirmed entry into `record`: the text (cut to the field on a
// character boundary), the genre's id and the short names of the category and
// the genre (cut likewise).
void StoreEntry(ScheduleRecord& record, const std::string& text, const CategoryRecord& category,
                const CategoryRecord& genre);

// The holiday state a date page shows for a master entry: checked only for
// the value 1.
int InitialHolidayState(const DateInfoRecord* dateInfo);

// Whether the date page holds something else than it showed at first: the
// name byte by byte, or the check box state.
bool DateSettingsChanged(const std::string& initialName, int initialHoliday, const std::string& name,
                         int holidayState);

// The SET 3 record of the date page: the day, the name cut to the field on a
// character boundary, holiday 1 exactly when the box is checked.
DateInfoRecord MakeDateSettingsRecord(int32_t dateKey, const std::string& name, int holidayState);
