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

// A calendar's first start: a database nothing was ever written to gets the
// holidays of this year and the next. Returns the number of days written,
// or -1 when the calendar was written to before (nothing changes then).
int PrepareNewCalendar(CalendarStore& store);
