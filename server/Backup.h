// Backups of a live calendar and putting them back. A backup is one SQLite
// file holding the whole calendar as of one moment, taken while servers go
// on answering and writing; it never touches the database's own files
// beyond reading them.
#pragma once

#include <string>

// What a backup or restore moved, for the administrator's terminal.
struct CalendarCounts {
    long long categories = 0;  // categories and genres
    long long schedules = 0;
    long long dates = 0;
};

// Writes a consistent copy of the calendar at `location` (a SQLite file or a
// postgresql:// URI) to the SQLite file `file`. A SQLite source is copied
// page by page inside one read transaction (SQLite's online backup), a
// PostgreSQL one record by record from one snapshot; writers are not held up
// either way. The copy is built beside `file` and renamed over it only when
// complete and checked, so an earlier backup of that name survives a failure.
// Throws std::runtime_error with the reason.
CalendarCounts BackupCalendar(const std::string& location, const std::string& file);

// Puts the backup `file` back as the calendar at `location`. A SQLite
// database (created when missing) gets the backup's contents in place of its
// own, in one step; its data-set counters move on past both, so a server that
// still runs serves nothing it had cached before. A PostgreSQL database must
// be empty (the backup's ids and revisions are kept). A backup made before
// records had revisions is restored with every record at revision 1.
// Throws std::runtime_error with the reason; a file that is no calendar
// backup is refused before anything changes.
CalendarCounts RestoreCalendar(const std::string& file, const std::string& location);
