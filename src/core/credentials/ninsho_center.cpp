// The credential store: sorted records, loading and saving the data file.
#include "core/credentials/ninsho_center.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <utility>

#include "core/credentials/credential_lookup.h"
#include "core/credentials/ninsho_file.h"
#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/platform/unique_fd.h"

namespace pelldra {

namespace {

int InsertInto(std::vector<CAuthRecord>& records, const CAuthRecord& rec, bool keepLabels, int& index)
{
    const auto it = std::lower_bound(records.begin(), records.end(), rec.GetSiteUrl(),
                                     [](const CAuthRecord& r, const std::string& key) { return r.GetSiteUrl() < key; });
    int result = 0;
    auto placed = it;
    if (it != records.end() && TakesPlaceOf(rec, *it)) {
        const CAuthRecord old = std::exchange(*it, rec);
        if (keepLabels) {
            it->SetSiteName(old.GetSiteName());
            if (rec.GetPageUrl().empty())
                it->SetPageUrl(old.GetPageUrl());
        }
    } else {
        placed = records.insert(it, rec);
        result = 1;
    }
    index = static_cast<int>(placed - records.begin());
    return result;
}

// Serialises the saves of several programs on one store, so that none writes over records another just added. The
// file itself carries the lock: a save replaces it by a rename, so a lock won on a file already replaced is taken
// again on the one now there. A store not written yet has nothing to wait for.
class StoreFileLock
{
public:
    explicit StoreFileLock(const std::string& path)
    {
        for (int tries = 0; tries < 100; ++tries) {
            struct stat held = {}, now = {};
            fd_ = OpenPlainFile(path, O_RDONLY, 0, &held);
            if (!fd_.valid())
                return;
            while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
            }
            if (::stat(path.c_str(), &now) != 0 || (held.st_dev == now.st_dev && held.st_ino == now.st_ino))
                return;
        }
    }

private:
    UniqueFd fd_;
};

void RemoveSiteUrlFrom(std::vector<CAuthRecord>& records, const std::string& siteUrl)
{
    std::erase_if(records, [&siteUrl](const CAuthRecord& r) { return r.GetSiteUrl() == siteUrl; });
}

} // namespace

CNinshoCenter::CNinshoCenter(Setup setup)
    : recordLocation_(std::move(setup.recordLocation)), dataFolder_(std::move(setup.dataFolder)),
      clock_(std::move(setup.clock)), location_(std::move(setup.location))
{
    if (!clock_)
        clock_ = [] { return static_cast<std::int64_t>(std::time(nullptr)); };
    Load();
}

CNinshoCenter::CNinshoCenter(InMemory) : inMemory_(true) {}

CNinshoCenter::~CNinshoCenter()
{
    if (IsModified())
        Save();
}

void CNinshoCenter::Load()
{
    if (location_.empty())
        return;
    struct stat st = {};
    if (::stat(location_.c_str(), &st) != 0) {
        // Missing is the ordinary first start; anything else is a file we must not overwrite blindly.
        keepBeforeWrite_ = errno != ENOENT;
        return;
    }
    std::string bytes;
    if (!S_ISREG(st.st_mode) || !ReadWholeFile(location_, bytes)) {
        keepBeforeWrite_ = true;
        return;
    }
    // Written by an older version or copied in by hand: the passwords in it are for this user's eyes only, now
    // rather than at the next save.
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid())
        ::chmod(location_.c_str(), st.st_mode & kPrivateFileMode);
    NinshoFileContents contents = ParseNinshoFile(bytes);
    usable_ = contents.headerOk;
    keepBeforeWrite_ = !contents.headerOk;
    records_ = std::move(contents.records);
    loadedBytes_ = std::move(bytes);
}

void CNinshoCenter::TakeInNewerFile()
{
    struct stat st = {};
    std::string bytes;
    if (::stat(location_.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !ReadWholeFile(location_, bytes) ||
        bytes == loadedBytes_)
        return;
    NinshoFileContents contents = ParseNinshoFile(bytes);
    if (!contents.headerOk)
        return;
    int index = 0;
    for (const Change& change : changes_) {
        if (change.removal)
            RemoveSiteUrlFrom(contents.records, change.rec.GetSiteUrl());
        else
            InsertInto(contents.records, change.rec, change.keepLabels, index);
    }
    records_ = std::move(contents.records);
}

bool CNinshoCenter::KeepUnreadableFile(const std::string& path) const
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT; // gone meanwhile: nothing to keep
    std::string bytes;
    if (!S_ISREG(st.st_mode) || !ReadWholeFile(path, bytes))
        return false;
    return ReplaceFileAtomically(path + ".bad", bytes, kPrivateFileMode) == 0;
}

int CNinshoCenter::Save()
{
    std::lock_guard lock(mutex_);
    if (inMemory_)
        return 1;
    if (location_.empty()) {
        const std::string folder = dataFolder_.empty() ? GetProgramFolder() : dataFolder_;
        location_ = folder + "/" + kFileName;
        if (recordLocation_)
            recordLocation_(location_); // a record that fails leaves the file to be written still
    }
    const StoreFileLock fileLock(location_);
    if (keepBeforeWrite_ && !KeepUnreadableFile(location_))
        return 1;
    if (!keepBeforeWrite_)
        TakeInNewerFile();
    keepBeforeWrite_ = false;
    std::string text = FormatNinshoFile(records_, clock_());
    if (ReplaceFileAtomically(location_, text, kPrivateFileMode) != 0)
        return 1;
    loadedBytes_ = std::move(text);
    changes_.clear();
    modified_ = false;
    return 0;
}

int CNinshoCenter::Add(const CAuthRecord& rec, int& index)
{
    return Insert(rec, index, false);
}

int CNinshoCenter::AddLearned(const CAuthRecord& rec, int& index)
{
    return Insert(rec, index, true);
}

int CNinshoCenter::Insert(const CAuthRecord& rec, int& index, bool keepLabels)
{
    if (rec.GetSiteUrl().empty())
        return -1;
    std::lock_guard lock(mutex_);
    const int result = InsertInto(records_, rec, keepLabels, index);
    changes_.push_back({rec, keepLabels, false});
    modified_ = true;
    return result;
}

int CNinshoCenter::FindForUrl(CAuthRecord& query) const
{
    std::lock_guard lock(mutex_);
    if (!usable_)
        return -1;
    return FindCredential(records_, query);
}

int CNinshoCenter::GetCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(records_.size());
}

CAuthRecord CNinshoCenter::GetAt(int index) const
{
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= records_.size())
        return {};
    return records_[static_cast<size_t>(index)];
}

int CNinshoCenter::RemoveAt(int index)
{
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= records_.size())
        return 1;
    changes_.push_back({records_[static_cast<size_t>(index)], false, true});
    records_.erase(records_.begin() + index);
    modified_ = true;
    return 0;
}

int CNinshoCenter::RemoveSiteUrl(const std::string& siteUrl)
{
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(records_.begin(), records_.end(),
                                 [&siteUrl](const CAuthRecord& r) { return r.GetSiteUrl() == siteUrl; });
    if (it == records_.end())
        return 1;
    changes_.push_back({*it, false, true});
    records_.erase(it);
    modified_ = true;
    return 0;
}

bool CNinshoCenter::IsUsable() const
{
    std::lock_guard lock(mutex_);
    return usable_;
}

bool CNinshoCenter::IsModified() const
{
    std::lock_guard lock(mutex_);
    return modified_;
}

std::string CNinshoCenter::GetDataFilePath() const
{
    std::lock_guard lock(mutex_);
    return location_;
}

bool CNinshoCenter::FindLogin(const std::string& pageUrl, const std::string& previousKey, SiteLogin& found) const
{
    CAuthRecord query;
    query.SetPageUrl(pageUrl);
    query.SetSiteUrl(previousKey);
    if (FindForUrl(query) != 0)
        return false;
    found = {query.GetSiteUrl(), query.GetPageUrl(), query.GetUserId(), query.GetPassword()};
    return true;
}

void CNinshoCenter::AddLearnedLogin(const SiteLogin& login)
{
    CAuthRecord rec;
    rec.SetSiteUrl(login.siteUrl);
    rec.SetPageUrl(login.pageUrl);
    rec.SetUserId(login.user);
    rec.SetPassword(login.password);
    int index = 0;
    AddLearned(rec, index);
}

} // namespace pelldra
