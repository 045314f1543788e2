// Owners of an SQLite connection and a prepared statement.
// Traps: sqlite3_open_v2 hands back a connection even when it fails (it must still be closed), and sqlite3_errmsg
// belongs to the connection, so read it before the next call. Text is bound with its length and copied, so zero
// bytes and long values survive; a column's text pointer dies at the next step, so it is copied out at once.
// Never open and close a database file beside SQLite: closing any descriptor drops all the process's locks on it.
#pragma once

#include <sqlite3.h>

#include <string>
#include <utility>

namespace pelldra {

class SqliteDb
{
public:
    SqliteDb() = default;
    ~SqliteDb() { sqlite3_close_v2(db_); }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens path with the sqlite3_open_v2 flags; the connection is kept even on failure, for its error text.
    int open(const std::string& path, int flags)
    {
        sqlite3_close_v2(std::exchange(db_, nullptr));
        return sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    }
    sqlite3* get() const { return db_; }
    std::string errorText() const { return db_ ? sqlite3_errmsg(db_) : "out of memory"; }
    // Runs statements that return no rows.
    int exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

private:
    sqlite3* db_ = nullptr;
};

class SqliteStmt
{
public:
    SqliteStmt(const SqliteDb& db, const char* sql) { rc_ = sqlite3_prepare_v2(db.get(), sql, -1, &stmt_, nullptr); }
    ~SqliteStmt() { sqlite3_finalize(stmt_); }
    SqliteStmt(const SqliteStmt&) = delete;
    SqliteStmt& operator=(const SqliteStmt&) = delete;

    // SQLITE_OK when the statement was prepared.
    int prepared() const { return rc_; }
    void bind(int index, const std::string& text)
    {
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    // Makes the statement ready to run again; bindings stay until rebound.
    void reset() { sqlite3_reset(stmt_); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return stmt_ ? sqlite3_step(stmt_) : rc_; }
    std::string column(int index) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, index))) : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
};

} // namespace pelldra
