// What the two SQL engines share: the checks a SET makes before it writes
// (the record still has the revision a conditional change expects, the
// genre exists, a category is not edited, a genre in use is not deleted, a
// genre's name is neither blank nor another genre's of its category), the
// administration writes and the record lines of a GET. An
// engine supplies the single reads and writes, each within the write
// transaction this class opens.
#pragma once

#include "server/CalendarStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class SqlCalendarStore : public CalendarStore {
public:
    std::optional<Failure> ApplySchedule(const ScheduleChange& change, const ChangeStamp& stamp) final;
    std::optional<Failure> ApplyGenre(const GenreChange& change, const ChangeStamp& stamp) final;
    std::optional<Failure> ApplyDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) final;

    int32_t AddCategory(const std::string& name, const std::string& shortName, const ChangeStamp& stamp) final;
    int32_t AddGenre(int32_t categoryId, const std::string& name, const std::string& shortName,
                     const ChangeStamp& stamp) final;
    // One insert a row, in one transaction.
    void ImportSchedules(const std::vector<ScheduleRow>& rows, const ChangeStamp& stamp) override;
    int FillHolidays(const std::vector<HolidayRow>& holidays, const ChangeStamp& stamp) final;
    ForeignImportTally ImportForeignEvents(const std::vector<ForeignEvent>& events, const ChangeStamp& stamp) final;

protected:
    // A genre's name as it is to be stored under its category: refused when
    // blank, or when another genre there has the same name (blanks around
    // either left aside, the rest byte for byte). Within the write.
    std::optional<Failure> CheckGenreName(const GenreChange& change, bool adding);

    // How often (in rows) a GET checks its budget.
    static constexpr size_t kRowsPerCheck = 256;

    // One write transaction of the engine, open while the object lives;
    // rolled back unless committed.
    class WriteTransaction {
    public:
        explicit WriteTransaction(SqlCalendarStore& store) : store_(store) { store_.BeginWrite(); }
        ~WriteTransaction() { store_.EndWrite(); }
        WriteTransaction(const WriteTransaction&) = delete;
        WriteTransaction& operator=(const WriteTransaction&) = delete;
        void Commit() { store_.CommitWrite(); }

    private:
        SqlCalendarStore& store_;
    };

    virtual void BeginWrite() = 0;
    virtual void CommitWrite() = 0;
    // Rolls back what is not committed.
    virtual void EndWrite() = 0;

    // Level of the category record `id`, or nullopt when there is none.
    virtual std::optional<int64_t> LevelOf(int32_t id) = 0;
    virtual bool ScheduleExists(int32_t id) = 0;
    // The stored revision of the schedule or category record `key` (an id)
    // or of the date record `key` (a date key) of `dataSet`, or nullopt when
    // there is no such record.
    virtual std::optional<int32_t> RevisionOf(int dataSet, int32_t key) = 0;
    virtual void InsertSchedule(int32_t date, const std::string& text, int32_t genreId, const ChangeStamp& stamp) = 0;
    virtual void UpdateSchedule(const ScheduleChange& change, const ChangeStamp& stamp) = 0;
    virtual void DeleteSchedule(int32_t id) = 0;
    virtual int64_t CountGenreSchedules(int32_t genreId) = 0;
    // Id and name of every genre under the category `categoryId`.
    virtual std::vector<std::pair<int32_t, std::string>> GenresUnder(int32_t categoryId) = 0;
    // Returns the new record's id.
    virtual int32_t InsertCategoryRecord(int32_t level, int32_t parentId, const std::string& name,
                                         const std::string& shortName, const ChangeStamp& stamp) = 0;
    virtual void UpdateGenre(const GenreChange& change, const ChangeStamp& stamp) = 0;
    virtual void DeleteCategory(int32_t id) = 0;
    virtual void UpsertDateInfo(const DateInfoChange& change, const ChangeStamp& stamp) = 0;
    // Returns the number of days written (0 when the day has a name).
    virtual int FillHoliday(const HolidayRow& holiday, const ChangeStamp& stamp) = 0;
    // The keys of events imported from other calendars.
    virtual bool ForeignEventKnown(const std::string& key) = 0;
    virtual void RememberForeignEvent(const std::string& key, const ChangeStamp& stamp) = 0;

    // Updates, whatever their path, move the record's revision on by one
    // in the same statement; inserts start at 1.

    // The short names of the categories and genres, joined into the
    // schedules' record lines in memory (they are few).
    class GenreNames {
    public:
        void Add(int32_t id, int32_t parentId, std::string_view shortName);
        // Appends the schedule's record line when it passes the filter;
        // returns whether it did.
        bool AppendSchedule(std::string& reply, const ScheduleFilter& filter, int64_t date, int64_t id,
                            std::string_view text, int32_t genreId, int64_t revision, std::string_view entered,
                            std::string_view host) const;

    private:
        struct Names {
            int32_t parentId = 0;
            std::string shortName;
        };
        const Names* Find(int32_t id) const;
        std::unordered_map<int32_t, Names> names_;
    };

    static void AppendCategoryLine(std::string& reply, int64_t id, int64_t level, int64_t parentId,
                                   std::string_view name, std::string_view shortName, int64_t editState,
                                   std::string_view entered, std::string_view host, int64_t revision);
    static void AppendDateInfoLine(std::string& reply, int64_t date, std::string_view name, int64_t holiday,
                                   int64_t revision, std::string_view entered, std::string_view host);
};
