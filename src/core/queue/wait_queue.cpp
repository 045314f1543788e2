// The queue file: append, take the first item out, load and save the whole list.
#include "core/queue/wait_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"
#include "core/queue/text_lines.h"

namespace pelldra {

namespace {

// The queue holds passwords in clear.
constexpr mode_t kFileMode = 0600;

// Serialises queue operations of several processes on one folder. The queue file itself cannot carry the lock,
// because it is replaced by renaming; the folder stays. Released when the holder ends, even by a crash.
class FolderLock
{
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (!fd_.valid())
            return; // without the folder every file operation fails on its own
        while (::flock(fd_.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    }

private:
    UniqueFd fd_;
};

void SyncFolder(const std::string& folder)
{
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

bool HoldsItem(std::string_view text)
{
    StringLineSource lines(text);
    CQueueItem probe;
    return probe.ReadItem(lines);
}

} // namespace

CWaitQueue::CWaitQueue(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/Waiting.wlt"), tempPath_(folder_ + "/temp.tmp")
{
    struct stat st
    {
    };
    hasItems_ = ::stat(path_.c_str(), &st) == 0 ? 1 : 0;
}

int CWaitQueue::Append(const CQueueItem& item)
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    UniqueFd fd(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kFileMode));
    if (!fd.valid())
        return 1;
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        return 1;
    std::string text;
    // A file cut off inside a line (a crash while appending) must not swallow the begin marker of this item.
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
        text = "\r\n";
    item.WriteTo(text);
    if (!WriteAll(fd.get(), text) || ::fdatasync(fd.get()) != 0) {
        // Leave no half item behind.
        [[maybe_unused]] const int ignored = ::ftruncate(fd.get(), st.st_size);
        return 1;
    }
    emptied_ = 0;
    hasItems_ = 1;
    return 0;
}

bool CWaitQueue::TakeFirst(CQueueItem& item)
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    item.Clear();
    std::string text;
    if (!ReadWholeFile(path_, text)) {
        hasItems_ = 0;
        return false;
    }
    StringLineSource lines(text);
    if (!item.ReadItem(lines)) {
        item.Clear();
        // Nothing can be taken from this file, now or later.
        ::unlink(path_.c_str());
        hasItems_ = 0;
        return false;
    }
    const std::string_view rest = std::string_view(text).substr(lines.position());
    if (!HoldsItem(rest)) {
        // The last item: the file goes. If it cannot, the item stays queued rather than being taken twice.
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT) {
            item.Clear();
            return false;
        }
        SyncFolder(folder_);
        hasItems_ = 0;
        emptied_ = 1;
        return true;
    }
    // The rest goes to the temporary file, which then takes the queue file's name in one step: a crash at any
    // point leaves either the whole queue or the queue without this item.
    bool ok = false;
    {
        UniqueFd tmp(::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode));
        ok = tmp.valid() && WriteAll(tmp.get(), std::string(rest)) && ::fsync(tmp.get()) == 0 &&
             ::close(tmp.release()) == 0;
    }
    if (!ok || ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        ::unlink(tempPath_.c_str());
        item.Clear();
        return false;
    }
    SyncFolder(folder_);
    hasItems_ = 1;
    return true;
}

int CWaitQueue::LoadAll()
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    items_.clear();
    std::string text;
    if (!ReadWholeFile(path_, text)) {
        hasItems_ = 0;
        return 0;
    }
    StringLineSource lines(text);
    CQueueItem work;
    while (work.ReadItem(lines))
        items_.push_back(std::move(work)); // ReadItem clears it again
    hasItems_ = items_.empty() ? 0 : 1;
    return static_cast<int>(items_.size());
}

int CWaitQueue::SaveAll()
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    if (items_.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
            return 1;
        hasItems_ = 0;
        return 0;
    }
    std::string text;
    for (const CQueueItem& item : items_)
        item.WriteTo(text);
    if (ReplaceFileAtomically(path_, text, kFileMode) != 0)
        return 1;
    hasItems_ = 1;
    return 0;
}

int CWaitQueue::RemoveAt(int i)
{
    std::lock_guard guard(lock_);
    if (i < 0 || static_cast<size_t>(i) >= items_.size())
        return 1;
    items_.erase(items_.begin() + i);
    return 0;
}

int CWaitQueue::InsertAt(int i, const CQueueItem& item)
{
    std::lock_guard guard(lock_);
    if (i < 0)
        return 1;
    const size_t at = std::min(static_cast<size_t>(i), items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), item);
    return 0;
}

std::string CWaitQueue::GetFolderAt(int i) const
{
    std::lock_guard guard(lock_);
    if (i < 0 || static_cast<size_t>(i) >= items_.size())
        return "";
    return items_[static_cast<size_t>(i)].Fol;
}

int CWaitQueue::Count() const
{
    std::lock_guard guard(lock_);
    return static_cast<int>(items_.size());
}

CQueueItem CWaitQueue::ItemAt(int i) const
{
    std::lock_guard guard(lock_);
    if (i < 0 || static_cast<size_t>(i) >= items_.size()) {
        CQueueItem empty;
        empty.Clear();
        return empty;
    }
    return items_[static_cast<size_t>(i)];
}

std::vector<CQueueItem> CWaitQueue::Items() const
{
    std::lock_guard guard(lock_);
    return items_;
}

} // namespace pelldra
