// Fills an empty database with a realistic demo: categories with genres,
// the holidays of this year and the next, and a few hundred schedules around
// the current month.
#pragma once

class CalendarStore;

// Returns the number of schedules added.
int FillDemoData(CalendarStore& store);

// Writes the holidays of the years into the date-information master, leaving
// days that already have a name alone. Returns the number of days written.
int FillHolidayYears(CalendarStore& store, int fromYear, int toYear);
