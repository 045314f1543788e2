// CTavinRegKey: one key of the per-user registry store, string values only.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pelldra {

class SqliteDb;

// One value of the store as the listing gives it.
struct RegValue
{
    std::string key;
    std::string name;
    std::string value;
};

// A key path such as "Software\\Tavin\\Pelldra" in the store shared by this program, tavin-reg and the companion
// program: $XDG_CONFIG_HOME/Tavin/registry.sqlite. Key paths and value names compare without regard to ASCII case,
// as registry names do, and keep the spelling they were first created with. Every write commits at once, so several
// processes may use the store side by side. An object may be used from several threads.
class CTavinRegKey
{
public:
    // Receives the caption and the text of a store that cannot be created or opened.
    using ErrorReporter = std::function<void(const std::string& caption, const std::string& text)>;
    static constexpr const char* kErrorCaption = "予期せぬエラーです。\nアプリケーションでは対処できません。";

    // Not open-only: opens the key, creating it (and its parent keys) when missing. Open-only: opens an existing key
    // and never writes through it. A store that cannot be created or opened is reported once through report (nothing
    // is reported for a missing key); the object then reads "" and refuses every write.
    explicit CTavinRegKey(std::string path, bool openOnly = false, ErrorReporter report = {});
    ~CTavinRegKey();
    CTavinRegKey(const CTavinRegKey&) = delete;
    CTavinRegKey& operator=(const CTavinRegKey&) = delete;

    bool IsOpen() const { return open_; }
    const std::string& GetPath() const { return path_; }

    // The value's text; "" when it is missing or the key is not open.
    std::string GetString(const std::string& name) const;
    // Replaces the value. 0, or -1 when the key is not open, is open-only or the write failed.
    int SetString(const std::string& name, const std::string& text);
    // Writes the value only when it is missing or empty: 0 written, 1 a text is still waiting there, -1 as SetString.
    int SetStringIfEmpty(const std::string& name, const std::string& text);
    // Reads the value and empties it in one transaction, so that an order handed over through it is taken exactly
    // once however many readers race for it. "" when there was nothing, or on a key that is not writable.
    std::string Take(const std::string& name);

    // Where the store lives ($XDG_CONFIG_HOME/Tavin/registry.sqlite); creates the folder.
    static std::string StorePath();
    // Every value of key and of the keys below it ("" lists the whole store), ordered by key path and name.
    // False with error set when the store cannot be read; a store that does not exist yet lists nothing.
    static bool ListValues(const std::string& key, std::vector<RegValue>& out, std::string& error);

private:
    bool Open(const ErrorReporter& report);

    std::string path_;
    bool openOnly_;
    bool open_ = false;
    mutable std::mutex mutex_; // guards db_: one connection, one statement at a time
    std::unique_ptr<SqliteDb> db_;
};

} // namespace pelldra
