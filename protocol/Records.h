// The fixed-size records of the three data sets, as the client holds them,
// and their codings on the wire: a GET record line into a record, a record
// into a SET body. No Windows header: the server and the native tests share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Pending change of a schedule or category record.
enum : int32_t { OP_NONE = 0, OP_ADD = 1, OP_CHANGE = 2, OP_DELETE = 3 };

// `level` of a category record.
enum : int32_t { LEVEL_CATEGORY = 0, LEVEL_GENRE = 1 };

// The data set numbers of the protocol.
enum : int { DATASET_SCHEDULES = 1, DATASET_CATEGORIES = 2, DATASET_DATE_INFO = 3 };

struct _TREEITEM;  // the tree view's item; HTREEITEM is a pointer to it

// One schedule: a short text dated to a day and filed under a genre.
struct ScheduleRecord {
    ScheduleRecord() { std::memset(this, 0, sizeof *this); }

    // Schedules made one by one with new come from a pool of large slabs:
    // a set holds them by the million, and a heap block of its own would add
    // its header to each.
    static void* operator new(std::size_t size);
    static void operator delete(void* record, std::size_t size) noexcept;

    int32_t op;
    int32_t date;  // date key
    int32_t id;
    char text[256];
    int32_t genreId;
    // Whatever the server sends here; a server that announces versions sends
    // the schedule's revision, which a conditional change carries back.
    int32_t aux;
    char entered[19];
    char host[128];
    char categoryName[64];
    char genreName[64];
};

// A category (level 0) or a genre (level 1, its parentId the category's id).
struct CategoryRecord {
    CategoryRecord() { std::memset(this, 0, sizeof *this); }

    int32_t op;
    int32_t id;
    int32_t level;
    int32_t parentId;
    char name[256];
    char shortName[64];
    int32_t editState;
    char entered[19];
    char host[128];
    // The record's revision, from servers that send one (0 from others).
    int32_t revision;
    _TREEITEM* treeItem;  // not on the wire
};
using GenreRecord = CategoryRecord;

// The name and holiday mark of one day.
struct DateInfoRecord {
    DateInfoRecord() { std::memset(this, 0, sizeof *this); }

    int32_t date;  // date key
    char name[256];
    int32_t holiday;
    // As with schedules: the day's revision from a server that announces
    // versions. A record made for a day the server had no record of keeps 0.
    int32_t aux;
    char entered[19];
    char host[128];
};

// Fill a zero-filled record from one GET record line ("DATA:f1:f2:...").
// Missing fields read as 0 or empty; extra fields are ignored.
void ParseScheduleRecord(std::string_view line, ScheduleRecord& record);
void ParseCategoryRecord(std::string_view line, CategoryRecord& record);
void ParseDateInfoRecord(std::string_view line, DateInfoRecord& record);

// SET bodies, fields joined by ":" (texts escaped). A conditional body
// carries the revision the record was loaded with as one more field, and the
// server applies it only while the stored record still has that revision:
// nobody's change is overwritten unseen. Only changes and deletions of
// stored records are made conditional; an addition, or a record sent
// unchanged, goes out in the plain form, which never conflicts.
std::string FormatScheduleSetBody(const ScheduleRecord& record, bool conditional = false);
std::string FormatCategorySetBody(const CategoryRecord& record, bool conditional = false);
// A day's record always states the day as it should be; conditional, it
// carries the day's revision (0: the day had no record when it was loaded).
std::string FormatDateInfoSetBody(const DateInfoRecord& record, bool conditional = false);
