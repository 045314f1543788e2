// CNinshoCenter: the credential store and its data file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/credentials/auth_record.h"
#include "core/engine/login_store.h"

namespace pelldra {

// Records are kept sorted by SiteUrl in byte order, each key once. The store is shared between the download threads
// (lookups, inserts after an accepted login) and the windows (listing, editing): every member takes the store's lock.
// The data file is written back when the store is destroyed, if anything was added or removed.
class CNinshoCenter final : public LoginStore
{
public:
    static constexpr const char* kFileName = "NinshoCenter.dat";

    struct Setup
    {
        // The data file's path as recorded ("Location"); empty: none yet.
        std::string location;
        // Told the path a store without one chose at its first save, to record it; may be null.
        std::function<void(const std::string& location)> recordLocation;
        // Where a store without a location writes its file; empty: the program's data folder.
        std::string dataFolder;
        // Seconds since 1970 for scrambling the passwords on save; null: the system clock.
        std::function<std::int64_t()> clock;
    };
    // A store that reads no file and never writes one.
    struct InMemory
    {
    };

    explicit CNinshoCenter(Setup setup);
    explicit CNinshoCenter(InMemory);
    ~CNinshoCenter() override;
    CNinshoCenter(const CNinshoCenter&) = delete;
    CNinshoCenter& operator=(const CNinshoCenter&) = delete;

    // Writes the data file (mode 0600, replaced atomically). 0 written, 1 not written. A file that could not be read
    // at load (a bad header, say) is first kept as "<file>.bad"; when even that fails nothing is overwritten. A file
    // that another program saved since this store read it keeps its records: this store's changes are made on them.
    int Save();

    // 1 inserted, 0 replaced an existing record (the same key, or a longer key for the same user and password),
    // -1 refused (empty SiteUrl; nothing changes). On 0 and 1 index receives the record's position.
    int Add(const CAuthRecord& rec, int& index);
    // What a transfer learned from a login the server accepted: inserted as by Add, but a record it replaces keeps
    // its SiteName, and its PageUrl when rec has none, so the transfer overwrites only what it knows.
    int AddLearned(const CAuthRecord& rec, int& index);
    // 0 found (query filled, SiteUrl = the matching key), -1 not found. See FindCredential.
    int FindForUrl(CAuthRecord& query) const;
    int GetCount() const;
    // A copy of the record; a cleared record when index is out of range.
    CAuthRecord GetAt(int index) const;
    // 0 removed, 1 index out of range (nothing changes).
    int RemoveAt(int index);
    // The same for the record filed under siteUrl: a window that shows the records finds the one it showed even
    // when a download has added another meanwhile.
    int RemoveSiteUrl(const std::string& siteUrl);
    // False when the data file's first line was not a valid header: such a store finds nothing.
    bool IsUsable() const;
    bool IsModified() const;
    // The data file's path; empty until a location is given or the first save.
    std::string GetDataFilePath() const;

    // What a transfer asks: FindForUrl and AddLearned over plain logins.
    bool FindLogin(const std::string& pageUrl, const std::string& previousKey, SiteLogin& found) const override;
    void AddLearnedLogin(const SiteLogin& login) override;

private:
    // A change since the file was read: made again on the records of a file that another program (the window, or
    // pelldra-get) saved meanwhile, so that a save keeps what that program saved.
    struct Change
    {
        CAuthRecord rec;
        bool keepLabels = false;
        bool removal = false; // of the record filed under rec's SiteUrl
    };

    void Load();
    int Insert(const CAuthRecord& rec, int& index, bool keepLabels);
    bool KeepUnreadableFile(const std::string& path) const;
    void TakeInNewerFile();

    mutable std::mutex mutex_; // guards everything below
    std::function<void(const std::string&)> recordLocation_;
    std::string dataFolder_;
    std::function<std::int64_t()> clock_;
    bool inMemory_ = false;
    bool usable_ = true;
    bool modified_ = false;
    bool keepBeforeWrite_ = false; // the file on disk could not be read: keep it before replacing it
    std::string location_;
    std::vector<CAuthRecord> records_;
    std::string loadedBytes_;     // the data file as last read or written
    std::vector<Change> changes_; // since then
};

} // namespace pelldra
