// CTavinRegKey over one SQLite database per user.
#include "core/registry/tavin_reg_key.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/platform/folders.h"
#include "core/platform/unique_fd.h"
#include "core/registry/sqlite_handle.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

using Clock = std::chrono::steady_clock;

// The busy handler waits this long for another process's write; the same bound caps our own retries.
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema = "PRAGMA journal_mode=WAL;"
                            "PRAGMA synchronous=FULL;"
                            "CREATE TABLE IF NOT EXISTS reg_key("
                            " path TEXT NOT NULL COLLATE NOCASE PRIMARY KEY) WITHOUT ROWID;"
                            "CREATE TABLE IF NOT EXISTS reg_value("
                            " key TEXT NOT NULL COLLATE NOCASE,"
                            " name TEXT NOT NULL COLLATE NOCASE,"
                            " value TEXT NOT NULL,"
                            " PRIMARY KEY(key, name)) WITHOUT ROWID;";

bool IsBusy(int rc)
{
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Switching to WAL and creating the tables can meet a lock that the busy handler does not wait for (another
// process creating the same store at the same moment), so those steps are retried for a bounded time.
template <typename F> int Retry(F step)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        const int rc = step();
        if (!IsBusy(rc) || Clock::now() >= deadline)
            return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool FileExists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

// SQLite creates its files with mode 0644; the store holds private paths and orders, so it is made 0600 before
// SQLite first opens it (the WAL and index files take the database file's mode). The database file itself is never
// opened here: closing any descriptor of it would drop the locks that this process's connections hold on it. A new
// store is made as a private temporary file and put into place, which fails harmlessly when one already exists.
void PrepareStoreFile(const std::string& file)
{
    struct stat st
    {
    };
    if (::stat(file.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 && st.st_uid == ::geteuid())
            ::chmod(file.c_str(), st.st_mode & 0600);
        return;
    }
    std::string temp = file + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid())
        return;
    ::fchmod(fd.get(), 0600);
    fd.reset(); // closed before it becomes the store, for the reason above
    // Neither way replaces a store another process made meanwhile. Where the file system offers neither, SQLite makes
    // the file and the check above makes it private at the next start.
    [[maybe_unused]] const bool placed =
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0 ||
        ::link(temp.c_str(), file.c_str()) == 0;
    ::unlink(temp.c_str()); // already gone when it was renamed
}

// Opens the store and makes sure its tables exist. SQLITE_OK, or an error with the connection's text in error.
int Connect(SqliteDb& db, const std::string& file, bool create, std::string& error)
{
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    int rc = db.open(file, flags);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);
        rc = Retry([&] { return db.exec(kSchema); });
    }
    if (rc != SQLITE_OK)
        error = db.errorText() + "\n(" + file + ")";
    return rc;
}

// Runs body inside BEGIN IMMEDIATE ... COMMIT: taking the write lock first means a concurrent writer makes us
// wait in the busy handler instead of failing our read-then-write halfway. Rolls back on any failure.
template <typename F> int WriteTransaction(SqliteDb& db, F body)
{
    int rc = Retry([&] { return db.exec("BEGIN IMMEDIATE"); });
    if (rc != SQLITE_OK)
        return rc;
    rc = body();
    if (rc == SQLITE_OK)
        rc = Retry([&] { return db.exec("COMMIT"); });
    if (rc != SQLITE_OK)
        db.exec("ROLLBACK");
    return rc;
}

int Done(int rc)
{
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int ReadValue(SqliteDb& db, const std::string& key, const std::string& name, std::string& value)
{
    SqliteStmt s(db, "SELECT value FROM reg_value WHERE key = ?1 AND name = ?2");
    if (s.prepared() != SQLITE_OK)
        return s.prepared();
    s.bind(1, key);
    s.bind(2, name);
    const int rc = s.step();
    value = rc == SQLITE_ROW ? s.column(0) : std::string();
    return rc == SQLITE_ROW ? SQLITE_OK : Done(rc);
}

int WriteValue(SqliteDb& db, const std::string& key, const std::string& name, const std::string& value)
{
    SqliteStmt s(db, "INSERT INTO reg_value(key, name, value) VALUES(?1, ?2, ?3)"
                     " ON CONFLICT(key, name) DO UPDATE SET value = excluded.value");
    if (s.prepared() != SQLITE_OK)
        return s.prepared();
    s.bind(1, key);
    s.bind(2, name);
    s.bind(3, value);
    return Done(s.step());
}

// Creates path and every parent key, as the registry does.
int CreateKey(SqliteDb& db, const std::string& path)
{
    SqliteStmt s(db, "INSERT OR IGNORE INTO reg_key(path) VALUES(?1)");
    if (s.prepared() != SQLITE_OK)
        return s.prepared();
    for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
        const std::string prefix = end == std::string::npos ? path : path.substr(0, end);
        if (!prefix.empty() || end == std::string::npos) {
            s.bind(1, prefix);
            const int rc = Done(s.step());
            if (rc != SQLITE_OK)
                return rc;
            s.reset();
        }
        if (end == std::string::npos)
            return SQLITE_OK;
    }
}

// key itself or a key below it.
bool InKey(const std::string& candidate, const std::string& key)
{
    if (key.empty())
        return true;
    if (candidate.size() < key.size() || !StartsWithNoCase(candidate, key))
        return false;
    return candidate.size() == key.size() || candidate[key.size()] == '\\';
}

} // namespace

std::string CTavinRegKey::StorePath()
{
    return GetTavinConfigFolder() + "/registry.sqlite";
}

CTavinRegKey::CTavinRegKey(std::string path, bool openOnly, ErrorReporter report)
    : path_(std::move(path)), openOnly_(openOnly), db_(std::make_unique<SqliteDb>())
{
    open_ = Open(report);
    if (!open_)
        db_.reset();
}

CTavinRegKey::~CTavinRegKey() = default;

bool CTavinRegKey::Open(const ErrorReporter& report)
{
    const std::string file = StorePath();
    // An open-only key cannot exist in a store that does not: that is a missing key, not a failure.
    if (openOnly_ && !FileExists(file))
        return false;
    if (!openOnly_)
        PrepareStoreFile(file);

    std::string error;
    int rc = Connect(*db_, file, !openOnly_, error);
    if (rc == SQLITE_OK) {
        if (openOnly_) {
            SqliteStmt s(*db_, "SELECT 1 FROM reg_key WHERE path = ?1");
            rc = s.prepared();
            if (rc == SQLITE_OK) {
                s.bind(1, path_);
                rc = s.step();
                if (rc == SQLITE_ROW || rc == SQLITE_DONE)
                    return rc == SQLITE_ROW;
            }
        } else {
            rc = WriteTransaction(*db_, [&] { return CreateKey(*db_, path_); });
            if (rc == SQLITE_OK)
                return true;
        }
        error = db_->errorText() + "\n(" + file + ")";
    }
    if (report)
        report(kErrorCaption, error);
    return false;
}

std::string CTavinRegKey::GetString(const std::string& name) const
{
    if (!open_)
        return "";
    std::lock_guard lock(mutex_);
    std::string value;
    ReadValue(*db_, path_, name, value);
    return value;
}

int CTavinRegKey::SetString(const std::string& name, const std::string& text)
{
    if (!open_ || openOnly_)
        return -1;
    std::lock_guard lock(mutex_);
    const int rc = WriteTransaction(*db_, [&] { return WriteValue(*db_, path_, name, text); });
    return rc == SQLITE_OK ? 0 : -1;
}

int CTavinRegKey::SetStringIfEmpty(const std::string& name, const std::string& text)
{
    if (!open_ || openOnly_)
        return -1;
    std::lock_guard lock(mutex_);
    bool waiting = false;
    const int rc = WriteTransaction(*db_, [&] {
        std::string current;
        int r = ReadValue(*db_, path_, name, current);
        if (r != SQLITE_OK)
            return r;
        waiting = !current.empty();
        return waiting ? SQLITE_OK : WriteValue(*db_, path_, name, text);
    });
    if (rc != SQLITE_OK)
        return -1;
    return waiting ? 1 : 0;
}

std::string CTavinRegKey::Take(const std::string& name)
{
    if (!open_ || openOnly_)
        return "";
    std::lock_guard lock(mutex_);
    std::string taken;
    const int rc = WriteTransaction(*db_, [&] {
        int r = ReadValue(*db_, path_, name, taken);
        if (r != SQLITE_OK || taken.empty())
            return r;
        return WriteValue(*db_, path_, name, "");
    });
    // A failed transaction left the value in place, so it has not been taken.
    return rc == SQLITE_OK ? taken : std::string();
}

bool CTavinRegKey::ListValues(const std::string& key, std::vector<RegValue>& out, std::string& error)
{
    out.clear();
    const std::string file = StorePath();
    if (!FileExists(file))
        return true;
    SqliteDb db;
    if (Connect(db, file, false, error) != SQLITE_OK)
        return false;
    SqliteStmt s(db, "SELECT coalesce(k.path, v.key), v.name, v.value FROM reg_value v"
                     " LEFT JOIN reg_key k ON k.path = v.key ORDER BY 1 COLLATE NOCASE, 2");
    int rc = s.prepared();
    if (rc == SQLITE_OK) {
        while ((rc = s.step()) == SQLITE_ROW) {
            RegValue v{s.column(0), s.column(1), s.column(2)};
            if (InKey(v.key, key))
                out.push_back(std::move(v));
        }
    }
    if (rc != SQLITE_DONE && rc != SQLITE_OK) {
        error = db.errorText() + "\n(" + file + ")";
        return false;
    }
    return true;
}

} // namespace pelldra
