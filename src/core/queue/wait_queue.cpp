// The queue file: append, take the first item out, load and save the whole list.
#include "core/queue/wait_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"
#include "core/text/text_lines.h"
#include "core/text/text_utils.h"

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

// Removes one order equal to text from orders; false when there is none.
bool TakeOne(std::vector<std::string>& orders, const std::string& text)
{
    const auto it = std::find(orders.begin(), orders.end(), text);
    if (it == orders.end())
        return false;
    orders.erase(it);
    return true;
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

int CWaitQueue::ReadQueueBytes(std::string& bytes) const
{
    bytes.clear();
    const UniqueFd fd = OpenPlainFile(path_, O_RDONLY);
    if (!fd.valid() || !ReadToEnd(fd.get(), 0, bytes))
        return errno;
    return 0;
}

// The caller makes the rename durable (SyncFolder) once its change is complete.
int CWaitQueue::WriteQueueFile(const std::string& text) const
{
    int error = 0;
    {
        UniqueFd tmp(::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kFileMode));
        if (!tmp.valid() || !WriteAll(tmp.get(), text) || ::fsync(tmp.get()) != 0 || ::close(tmp.release()) != 0)
            error = errno ? errno : EIO;
    }
    if (error == 0 && ::rename(tempPath_.c_str(), path_.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(tempPath_.c_str());
    return error;
}

int CWaitQueue::ReturnOrder(TakenRecord& record)
{
    std::string bytes;
    int error = ReadQueueBytes(bytes);
    if (error != 0 && error != ENOENT)
        return error;
    const std::string text = std::string(kOrderFileMark) + record.orderText() + OrderFileText(bytes);
    if ((error = record.MoveTo(TakenRecord::State::Return, QueueFingerprint(text))) != 0 ||
        (error = WriteQueueFile(text)) != 0)
        return error; // the record tells the next look how far this got
    record.Remove();
    SyncFolder(folder_);
    hasItems_ = 1;
    return 0;
}

int CWaitQueue::SettleRecords(bool returnOrphans)
{
    std::vector<TakenRecord> orphans = TakenRecord::FindOrphans(folder_);
    int error = 0;
    for (TakenRecord& record : orphans) {
        if (record.state() == TakenRecord::State::Run)
            continue;
        // Every change of the queue file settles these first, so the file is as the cut-short change left it:
        // either before it or after it.
        std::string bytes;
        const int read = ReadQueueBytes(bytes);
        if (read != 0 && read != ENOENT) {
            error = read;
            continue;
        }
        const bool reached = QueueFingerprint(bytes) == record.fingerprint();
        if (record.state() == TakenRecord::State::Taking ? !reached : reached)
            record.Remove(); // the queue file holds the order: still, or again
        else if (const int moved = record.MoveTo(TakenRecord::State::Run); moved != 0)
            error = moved;
    }
    if (!returnOrphans)
        return error;
    // Newest first, so that the oldest ends at the very head.
    for (auto it = orphans.rbegin(); it != orphans.rend(); ++it) {
        if (it->valid() && it->state() == TakenRecord::State::Run)
            if (const int returned = ReturnOrder(*it); returned != 0)
                error = returned;
    }
    return error;
}

int CWaitQueue::RemoveQueueFile(std::string_view unreadableText)
{
    if (!TrimBlanks(unreadableText).empty()) {
        const std::string aside = path_ + ".bad";
        if (::rename(path_.c_str(), aside.c_str()) != 0)
            return errno;
        keptAside_ = aside;
        return 0;
    }
    return ::unlink(path_.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

TakeResult CWaitQueue::CannotTake(const std::string& path, int error)
{
    takeFailure_ = path + ": " + std::system_category().message(error);
    return TakeResult::CannotTake;
}

std::string CWaitQueue::TakeFailure() const
{
    std::lock_guard guard(lock_);
    return takeFailure_;
}

std::string CWaitQueue::TakeKeptAside()
{
    std::lock_guard guard(lock_);
    return std::exchange(keptAside_, {});
}

int CWaitQueue::Append(const CQueueItem& item)
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    if (SettleRecords(false) != 0)
        return 1;
    struct stat st = {};
    const UniqueFd fd = OpenPlainFile(path_, O_WRONLY | O_APPEND | O_CREAT, kFileMode, &st);
    if (!fd.valid())
        return 1;
    char head[3] = {};
    const bool marked = st.st_size >= 3 && ::pread(fd.get(), head, 3, 0) == 3 &&
                        std::string_view(head, 3) == kOrderFileMark.substr(0, 3);
    std::string text;
    if (st.st_size > 0 && !marked) {
        // A file of the older program: it becomes one of ours as a whole, so that one encoding holds for all of it.
        std::string bytes;
        if (ReadQueueBytes(bytes) != 0)
            return 1;
        text = std::string(kOrderFileMark) + OrderFileText(bytes);
        if (!text.empty() && text.back() != '\n')
            text += "\r\n";
        item.WriteTo(text);
        if (WriteQueueFile(text) != 0)
            return 1;
        SyncFolder(folder_);
        emptied_ = 0;
        hasItems_ = 1;
        return 0;
    }
    if (st.st_size == 0)
        text = kOrderFileMark;
    // A file cut off inside a line (a crash while appending) must not swallow the begin marker of this item.
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd.get(), &last, 1, st.st_size - 1) == 1 && last != '\n')
        text += "\r\n";
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

TakeResult CWaitQueue::TakeFirst(CQueueItem& item)
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    held_.Remove();
    item.Clear();
    if (const int error = SettleRecords(true); error != 0)
        return CannotTake(folder_, error); // taking the next order now would pass over an older one
    std::string bytes;
    if (const int error = ReadQueueBytes(bytes); error != 0) {
        if (error != ENOENT)
            return CannotTake(path_, error);
        hasItems_ = 0;
        return TakeResult::Empty;
    }
    const std::string text = OrderFileText(bytes);
    StringLineSource lines(text);
    if (!item.ReadItem(lines)) {
        item.Clear();
        // Nothing can be taken from this file, now or later.
        RemoveQueueFile(text);
        hasItems_ = 0;
        return TakeResult::Empty;
    }
    const std::string_view taken = std::string_view(text).substr(0, lines.position());
    const std::string_view rest = std::string_view(text).substr(lines.position());
    const bool more = HoldsItem(rest);
    const std::string after = more ? std::string(kOrderFileMark) + std::string(rest) : std::string();

    // First the record, then the queue without the order, then the record says so: a crash at any point leaves
    // the order in the queue or in a record, and the record's name tells which.
    TakenRecord record;
    if (const int error = TakenRecord::Create(folder_, taken, QueueFingerprint(after), record); error != 0) {
        item.Clear();
        return CannotTake(folder_, error);
    }
    int error = more ? WriteQueueFile(after) : (::unlink(path_.c_str()) == 0 || errno == ENOENT ? 0 : errno);
    if (error != 0) {
        record.Remove();
        item.Clear();
        return CannotTake(more ? folder_ : path_, error);
    }
    if ((error = record.MoveTo(TakenRecord::State::Run)) != 0) {
        // Let the record settle as if this process had died here: the order goes back to the head.
        record.Release();
        SettleRecords(true);
        item.Clear();
        return CannotTake(folder_, error);
    }
    SyncFolder(folder_);
    held_ = std::move(record);
    hasItems_ = more ? 1 : 0;
    if (!more)
        emptied_ = 1;
    return TakeResult::Taken;
}

void CWaitQueue::EndTakenRun()
{
    std::lock_guard guard(lock_);
    if (!held_.valid())
        return;
    // Under the folder lock: a look at the records from elsewhere must not find it unlocked but still there.
    FolderLock folderLock(folder_);
    held_.Remove();
    SyncFolder(folder_); // lest a run that ended comes back after a power loss
}

int CWaitQueue::LoadAll()
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    SettleRecords(true); // a failure leaves those orders where they are; the queue can still be shown
    items_.clear();
    loaded_.clear();
    std::string bytes;
    if (ReadQueueBytes(bytes) != 0) {
        hasItems_ = 0;
        return 0;
    }
    const std::string text = OrderFileText(bytes);
    StringLineSource lines(text);
    CQueueItem work;
    while (work.ReadItem(lines)) {
        loaded_.push_back(work.ToText());
        items_.push_back(std::move(work)); // ReadItem clears it again
    }
    hasItems_ = items_.empty() ? 0 : 1;
    return static_cast<int>(items_.size());
}

int CWaitQueue::SaveAll()
{
    std::lock_guard guard(lock_);
    FolderLock folderLock(folder_);
    if (SettleRecords(false) != 0)
        return 1;
    std::string bytes;
    if (const int error = ReadQueueBytes(bytes); error != 0 && error != ENOENT)
        return 1; // what cannot be seen cannot be kept
    std::vector<std::string> appended;
    std::vector<std::string> gone = loaded_;
    const std::string fileText = OrderFileText(bytes);
    bool anyRead = false;
    {
        StringLineSource lines(fileText);
        CQueueItem work;
        for (; work.ReadItem(lines); anyRead = true) {
            std::string order = work.ToText();
            if (!TakeOne(gone, order))
                appended.push_back(std::move(order));
        }
    }
    std::vector<CQueueItem> kept;
    std::vector<std::string> keptTexts;
    for (CQueueItem& item : items_) {
        std::string order = item.ToText();
        if (TakeOne(gone, order))
            continue;
        kept.push_back(std::move(item));
        keptTexts.push_back(std::move(order));
    }
    items_ = std::move(kept);

    std::string text(kOrderFileMark);
    for (const std::string& order : keptTexts)
        text += order;
    for (const std::string& order : appended)
        text += order;
    const bool empty = keptTexts.empty() && appended.empty();
    if (empty ? RemoveQueueFile(anyRead ? std::string_view() : fileText) != 0
              : ReplaceFileAtomically(path_, text, kFileMode) != 0)
        return 1;
    loaded_ = std::move(keptTexts);
    hasItems_ = empty ? 0 : 1;
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
