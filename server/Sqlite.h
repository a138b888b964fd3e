// Small owners of SQLite handles: a connection and a prepared statement with
// bound parameters. Errors surface as SqliteError exceptions inside the
// store, which turns them into failure replies.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

class SqliteConnection {
public:
    // Opens (creating when asked) the database file; a read-only
    // connection never changes the file.
    SqliteConnection(const std::string& path, bool create, bool readOnly = false);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* Handle() const { return db_; }
    void Execute(const char* sql);
    int64_t LastInsertId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int Changes() const;
    // Whether a transaction is open on this connection.
    bool InTransaction() const;
    // Throws SqliteError with the connection's message when code is an error.
    void Check(int code, const char* context) const;

private:
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 1. Texts are bound as blobs: the bytes
    // are Shift-JIS and must come back exactly as they went in.
    SqliteStatement& BindInt(int index, int64_t value);
    SqliteStatement& BindBytes(int index, std::string_view bytes);
    SqliteStatement& BindText(int index, std::string_view text);

    // Steps once: true when a row is ready, false when done.
    bool Step();
    void Run() { while (Step()) {} }
    void Reset();

    int64_t Int(int column) const;
    std::string_view Bytes(int column) const;  // valid until the next Step
    bool IsNull(int column) const;

private:
    SqliteConnection& connection_;
    sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class SqliteWriteTransaction {
public:
    explicit SqliteWriteTransaction(SqliteConnection& connection);
    ~SqliteWriteTransaction();
    SqliteWriteTransaction(const SqliteWriteTransaction&) = delete;
    SqliteWriteTransaction& operator=(const SqliteWriteTransaction&) = delete;

    void Commit();

private:
    SqliteConnection& connection_;
    bool open_ = true;
};

// BEGIN (deferred) ... COMMIT for a consistent read of several statements.
class SqliteReadTransaction {
public:
    explicit SqliteReadTransaction(SqliteConnection& connection);
    ~SqliteReadTransaction();
    SqliteReadTransaction(const SqliteReadTransaction&) = delete;
    SqliteReadTransaction& operator=(const SqliteReadTransaction&) = delete;

private:
    SqliteConnection& connection_;
};
