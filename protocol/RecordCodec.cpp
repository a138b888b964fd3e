#include "protocol/Records.h"

#include "protocol/BlockPool.h"
#include "protocol/WireFormat.h"

#include <new>

namespace {

// Slabs of about 2.3 MB. The heap hands blocks this large out as regions of
// their own, rounded up to the 64 KB of the address space's granularity: a
// slab with its heap header fills 36 such granules to within 600 bytes.
constexpr size_t kSlabBytes = 36 * 65536 - 512;

// Made on first use and never destroyed, so that records in objects
// destroyed late still have their pool.
BlockPool& SchedulePool() {
    static BlockPool* pool = new BlockPool(sizeof(ScheduleRecord), kSlabBytes / sizeof(ScheduleRecord));
    return *pool;
}

}  // namespace

void* ScheduleRecord::operator new(std::size_t size) {
    if (size != sizeof(ScheduleRecord)) return ::operator new(size);
    return SchedulePool().Allocate();
}

void ScheduleRecord::operator delete(void* record, std::size_t size) noexcept {
    if (size != sizeof(ScheduleRecord)) {
        ::operator delete(record);
        return;
    }
    SchedulePool().Free(record);
}

// Field numbers follow the wire order of each data set; field 0 ("DATA") is
// not used.

void ParseScheduleRecord(std::string_view line, ScheduleRecord& record) {
    RecordFields fields(line);
    record.date = fields.Int(1);
    record.id = fields.Int(2);
    UnescapeToField(record.text, fields.Text(3));
    record.genreId = fields.Int(4);
    record.aux = fields.Int(5);
    UnescapeToField(record.entered, fields.Text(6));
    UnescapeToField(record.host, fields.Text(7));
    // The server sends the genre's short name before the category's.
    UnescapeToField(record.genreName, fields.Text(8));
    UnescapeToField(record.categoryName, fields.Text(9));
}

void ParseCategoryRecord(std::string_view line, CategoryRecord& record) {
    RecordFields fields(line);
    record.id = fields.Int(1);
    record.level = fields.Int(2);
    record.parentId = fields.Int(3);
    UnescapeToField(record.name, fields.Text(4));
    UnescapeToField(record.shortName, fields.Text(5));
    record.editState = fields.Int(6);
    UnescapeToField(record.entered, fields.Text(7));
    UnescapeToField(record.host, fields.Text(8));
    record.revision = fields.Int(9);
}

void ParseDateInfoRecord(std::string_view line, DateInfoRecord& record) {
    RecordFields fields(line);
    record.date = fields.Int(1);
    UnescapeToField(record.name, fields.Text(2));
    record.holiday = fields.Int(3);
    record.aux = fields.Int(4);
    UnescapeToField(record.entered, fields.Text(5));
    UnescapeToField(record.host, fields.Text(6));
}

namespace {

void AppendInt(std::string& body, int32_t value) {
    body += FormatInt(value);
    body += ':';
}

void AppendText(std::string& body, std::string_view text) {
    body += Escape(text);
    body += ':';
}

// Whether a record with this pending change goes out with its revision.
bool ChangesStoredRecord(int32_t op, int32_t id) {
    return (op == OP_CHANGE || op == OP_DELETE) && id != 0;
}

void AppendRevision(std::string& body, int32_t revision) {
    body += ':';
    body += FormatInt(revision);
}

}  // namespace

std::string FormatScheduleSetBody(const ScheduleRecord& record, bool conditional) {
    std::string body;
    AppendInt(body, record.op);
    AppendInt(body, record.date);
    AppendInt(body, record.id);
    AppendText(body, FieldText(record.text));
    body += FormatInt(record.genreId);
    if (conditional && ChangesStoredRecord(record.op, record.id)) AppendRevision(body, record.aux);
    return body;
}

std::string FormatCategorySetBody(const CategoryRecord& record, bool conditional) {
    std::string body;
    AppendInt(body, record.op);
    AppendInt(body, record.id);
    AppendInt(body, record.level);
    AppendInt(body, record.parentId);
    AppendText(body, FieldText(record.name));
    body += Escape(FieldText(record.shortName));
    if (conditional && ChangesStoredRecord(record.op, record.id)) AppendRevision(body, record.revision);
    return body;
}

std::string FormatDateInfoSetBody(const DateInfoRecord& record, bool conditional) {
    std::string body;
    AppendInt(body, record.date);
    AppendText(body, FieldText(record.name));
    AppendInt(body, record.holiday);
    // The server's auxiliary column; the client always sends 1 here.
    body += '1';
    if (conditional) AppendRevision(body, record.aux);
    return body;
}
