// The update-link writer thread and the folder lock it shares with other writers.
#include "core/engine/link_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"
#include "core/text/text_utils.h"

namespace pelldra {

namespace {

std::string LockContent()
{
    return "Pelldra[" + std::to_string(static_cast<long long>(std::time(nullptr))) + "]";
}

// O_NOFOLLOW: a symbolic link planted under the lock's name must not make us truncate the file it points to.
bool WriteLockFile(const std::string& path, int extra_flags)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | extra_flags, 0666));
    if (!fd.valid())
        return false;
    if (!WriteAll(fd.get(), LockContent())) {
        fd.reset();
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool TryCreateLock(const std::string& path)
{
    return WriteLockFile(path, O_EXCL);
}

// A lock file whose writer died is taken over once it is old enough.
bool TakeOverStaleLock(const std::string& path, std::chrono::milliseconds stale_age)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const auto mtime = std::chrono::system_clock::time_point(std::chrono::seconds(st.st_mtim.tv_sec) +
                                                             std::chrono::nanoseconds(st.st_mtim.tv_nsec));
    if (std::chrono::system_clock::now() - mtime < stale_age)
        return false;
    return WriteLockFile(path, O_TRUNC);
}

} // namespace

CLinkFileWriter::CLinkFileWriter(LinkLockTimes times) : times_(times) {}

CLinkFileWriter::~CLinkFileWriter()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void CLinkFileWriter::Queue(const DownloadJob& job)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(job);
        // Started by the first block: a run that writes no links (the setting is off) never needs the thread.
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    work_.notify_one();
}

void CLinkFileWriter::WaitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

size_t CLinkFileWriter::Dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

void CLinkFileWriter::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        // The queue is drained even after quit: the engine may queue its last blocks just before it is destroyed.
        if (queue_.empty())
            return;
        DownloadJob job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        const bool written = WriteOne(job);
        lock.lock();
        busy_ = false;
        if (!written)
            ++dropped_;
        if (queue_.empty())
            idle_.notify_all();
    }
}

bool CLinkFileWriter::WriteOne(const DownloadJob& job)
{
    // A save path always names its folder; one without a slash has no folder to write to.
    if (job.Dest.find('/') == std::string::npos)
        return false;
    std::string folder = UpToLast(job.Dest, '/');
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    const std::string lock_path = folder + "/" + kLinkLockName;

    // A folder whose lock was just given up gets one attempt per block, so that a long queue for a folder that
    // cannot be written drops its blocks at once instead of waiting the full time for each.
    const auto now = std::chrono::steady_clock::now();
    const bool recently_failed = folder == given_up_folder_ && now - given_up_at_ < times_.give_up_after;
    if (!TakeLock(lock_path, recently_failed ? std::chrono::milliseconds(0) : times_.give_up_after)) {
        given_up_folder_ = folder;
        given_up_at_ = std::chrono::steady_clock::now();
        return false;
    }
    given_up_folder_.clear();

    const std::string link_path = folder + "/" + kLinkFileName;
    bool written = false;
    {
        // One write of the whole block, so that a reader never sees half of it. The block may hold a password, and
        // a symbolic link planted under the file's name in a shared folder must not take it elsewhere.
        UniqueFd fd = OpenPrivateForAppend(link_path);
        if (fd.valid())
            written = WriteAll(fd.get(), job.UpdateLinkBlock());
    }
    ::unlink(lock_path.c_str());
    return written;
}

bool CLinkFileWriter::TakeLock(const std::string& lock_path, std::chrono::milliseconds budget) const
{
    if (TryCreateLock(lock_path))
        return true;
    const auto deadline = std::chrono::steady_clock::now() + budget;
    for (int retries = 0;;) {
        if (++retries > times_.retries_per_stale_check) {
            if (TakeOverStaleLock(lock_path, times_.stale_age))
                return true;
            retries = 0;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(times_.retry_interval);
        if (TryCreateLock(lock_path))
            return true;
    }
}

} // namespace pelldra
