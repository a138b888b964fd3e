#include "server/Sqlite.h"

#include <sqlite3.h>

SqliteConnection::SqliteConnection(const std::string& path, bool create, bool readOnly) {
    int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX |
                (create && !readOnly ? SQLITE_OPEN_CREATE : 0);
    int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(code, "cannot open " + path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() {
    // Every statement is finalized by its owner first; close_v2 would defer.
    sqlite3_close(db_);
}

void SqliteConnection::Execute(const char* sql) {
    char* error = nullptr;
    int code = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
    if (code != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errstr(code);
        sqlite3_free(error);
        throw SqliteError(code, message);
    }
}

int64_t SqliteConnection::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

bool SqliteConnection::InTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

int SqliteConnection::Changes() const {
    return sqlite3_changes(db_);
}

void SqliteConnection::Check(int code, const char* context) const {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) return;
    throw SqliteError(code, std::string(context) + ": " + sqlite3_errmsg(db_));
}

SqliteStatement::SqliteStatement(SqliteConnection& connection, const char* sql) : connection_(connection) {
    connection_.Check(sqlite3_prepare_v2(connection_.Handle(), sql, -1, &statement_, nullptr), "prepare");
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

SqliteStatement& SqliteStatement::BindInt(int index, int64_t value) {
    connection_.Check(sqlite3_bind_int64(statement_, index, value), "bind");
    return *this;
}

SqliteStatement& SqliteStatement::BindBytes(int index, std::string_view bytes) {
    // A zero-length blob must still be a blob, not NULL: pass a valid pointer.
    static const char empty = 0;
    const char* data = bytes.empty() ? &empty : bytes.data();
    connection_.Check(sqlite3_bind_blob64(statement_, index, data, bytes.size(), SQLITE_TRANSIENT), "bind");
    return *this;
}

SqliteStatement& SqliteStatement::BindText(int index, std::string_view text) {
    connection_.Check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
                      "bind");
    return *this;
}

bool SqliteStatement::Step() {
    int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    connection_.Check(code, "step");
    return false;
}

void SqliteStatement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::string_view SqliteStatement::Bytes(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    int size = sqlite3_column_bytes(statement_, column);
    if (!data || size <= 0) return std::string_view();
    return std::string_view(static_cast<const char*>(data), static_cast<size_t>(size));
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

SqliteWriteTransaction::SqliteWriteTransaction(SqliteConnection& connection) : connection_(connection) {
    connection_.Execute("BEGIN IMMEDIATE");
}

SqliteWriteTransaction::~SqliteWriteTransaction() {
    if (open_) sqlite3_exec(connection_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteWriteTransaction::Commit() {
    connection_.Execute("COMMIT");
    open_ = false;
}

SqliteReadTransaction::SqliteReadTransaction(SqliteConnection& connection) : connection_(connection) {
    connection_.Execute("BEGIN");
}

SqliteReadTransaction::~SqliteReadTransaction() {
    sqlite3_exec(connection_.Handle(), "COMMIT", nullptr, nullptr, nullptr);
}
