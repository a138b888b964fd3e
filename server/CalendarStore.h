// The server's three data sets (schedules, the categories with their genres,
// the date-information master) behind one interface, kept by one of two
// engines: a SQLite file (the default) or a PostgreSQL database that several
// server processes share. Each worker thread owns one store (one
// connection); each SET is one transaction, and writes are serialized so a
// check and the change it guards see the same data.
#pragma once

#include "server/Outcome.h"
#include "server/RequestParser.h"
#include "server/StoreVersion.h"
#include "server/WorkBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Who made a change and when, stamped on every stored record.
struct ChangeStamp {
    std::string entered;  // local time, "YYYY/MM/DD HH:MM"
    std::string host;     // the client's address
};

// The stamp for a change made now from `host`.
ChangeStamp StampNow(const std::string& host);

// One schedule for a bulk import (demo data, benchmark seeding).
struct ScheduleRow {
    int32_t date = 0;
    std::string text;
    int32_t genreId = 0;
};

struct HolidayRow {
    int32_t date = 0;
    std::string name;
};

// One event of another calendar as it is imported: the schedules and
// holidays made from it, and its identity there (UID and recurrence),
// remembered so that the same event imported again adds nothing.
struct ForeignEvent {
    std::string key;
    std::vector<ScheduleRow> schedules;
    std::vector<HolidayRow> holidays;
};

struct ForeignImportTally {
    int events = 0;  // events written
    int schedules = 0;
    int holidays = 0;
    int known = 0;      // events imported before (or twice in one file): nothing written
    int namedDays = 0;  // holidays for days that already have a name: left alone
};

// Everything a calendar holds, record for record, for moving it from one
// engine to the other with its ids and revisions.
struct CalendarContents {
    struct Category {
        int32_t id = 0, level = 0, parentId = 0, editState = 0, revision = 1;
        std::string name, shortName, entered, host;
    };
    struct Schedule {
        int32_t id = 0, date = 0, genreId = 0, aux = 0, revision = 1;
        std::string text, entered, host;
    };
    struct DateInfo {
        int32_t date = 0, holiday = 0, aux = 0, revision = 1;
        std::string name, entered, host;
    };
    // An event imported from another calendar (see ForeignEvent).
    struct ForeignKey {
        std::string key, entered, host;
    };
    std::vector<Category> categories;
    std::vector<Schedule> schedules;
    std::vector<DateInfo> dateInfo;
    std::vector<ForeignKey> foreignEvents;
    // The highest ids ever given out (deleted records' ids are not reused).
    int64_t lastCategoryId = 0;
    int64_t lastScheduleId = 0;
};

class CalendarStore {
public:
    virtual ~CalendarStore() = default;
    CalendarStore() = default;
    CalendarStore(const CalendarStore&) = delete;
    CalendarStore& operator=(const CalendarStore&) = delete;

    // A consistent view for several reads (the version and a GET), held
    // while the object lives.
    class ReadSnapshot {
    public:
        explicit ReadSnapshot(CalendarStore& store) : store_(store) { store_.BeginRead(); }
        ~ReadSnapshot() { store_.EndRead(); }
        ReadSnapshot(const ReadSnapshot&) = delete;
        ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    private:
        CalendarStore& store_;
    };

    // Where the data lives, for the log (never a password).
    virtual std::string Describe() = 0;
    // How commits reach the disk, e.g. "journal_mode=wal synchronous=2".
    virtual std::string CommitDurability() = 0;

    // The change counters of the data sets, kept in the database itself:
    // moved on by every committed change, from this process or any other.
    virtual StoreVersion Version() = 0;

    // GET: appends one record line per record to `reply`; returns the
    // number of lines appended. The budget is checked as rows go by; when it
    // runs out, WorkStopped is thrown and `reply` is partial.
    virtual size_t AppendSchedules(const ScheduleFilter& filter, std::string& reply, WorkBudget& budget) = 0;
    virtual size_t AppendCategories(std::string& reply, WorkBudget& budget) = 0;
    virtual size_t AppendDateInfo(std::string& reply, WorkBudget& budget) = 0;

    // SET: applies one checked change in one transaction; on failure
    // nothing is stored and the failure says why. Every record has a
    // revision, 1 when it is made and one more with each change; a change
    // that expects a revision (ExpectedRevision) is checked against the
    // stored one in the same transaction and refused when they differ.
    virtual std::optional<Failure> ApplySchedule(const ScheduleChange& change, const ChangeStamp& stamp) = 0;
    virtual std::optional<Failure> ApplyGenre(const GenreChange& change, const ChangeStamp& stamp) = 0;
    virtual std::optional<Failure> ApplyDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) = 0;

    // Administration, each in one transaction. Return the new ids.
    virtual int32_t AddCategory(const std::string& name, const std::string& shortName, const ChangeStamp& stamp) = 0;
    virtual int32_t AddGenre(int32_t categoryId, const std::string& name, const std::string& shortName,
                             const ChangeStamp& stamp) = 0;
    virtual void ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp) = 0;
    // Names each holiday unless the day already has a name; returns the
    // number of days written.
    virtual int FillHolidays(const std::vector<HolidayRow>& holidays, const ChangeStamp& stamp) = 0;

    // Writes the events not imported before, in one transaction, and
    // remembers their keys. Throws (nothing written) when a schedule's genre
    // does not exist.
    virtual ForeignImportTally ImportForeignEvents(const std::vector<ForeignEvent>& events,
                                                   const ChangeStamp& stamp) = 0;

    virtual int64_t CountSchedules() = 0;
    virtual int64_t CountCategories() = 0;

    // Every record, with the keys of the events imported from other
    // calendars, from one snapshot.
    virtual CalendarContents Export() = 0;
    // Writes `contents` into this empty store in one transaction, ids and
    // revisions kept; later additions get ids above the highest ever given
    // out.
    virtual void Import(const CalendarContents& contents) = 0;

protected:
    virtual void BeginRead() = 0;
    virtual void EndRead() = 0;
};

// Whether `location` names a PostgreSQL database rather than a SQLite file.
bool IsPostgresLocation(const std::string& location);

// Opens the store at `location` (a file path or a postgresql:// URI),
// creating the file and the tables when they do not exist yet.
std::unique_ptr<CalendarStore> OpenCalendarStore(const std::string& location);

// Whether `error` is the database cutting work short for a run-out budget.
bool IsStoreInterruption(const std::exception& error);
// A store error as a reply failure, or nullopt when `error` is no store error.
std::optional<Failure> StoreFailure(const std::exception& error);
