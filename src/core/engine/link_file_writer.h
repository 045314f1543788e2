// Appends each downloaded job to the update-link file of its save folder, on a thread of its own started by the
// first block.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "core/sequence/download_job.h"

namespace pelldra {

inline constexpr const char* kLinkFileName = "pdr.hlk";
inline constexpr const char* kLinkLockName = "append.lock";

// How the writer waits for the folder's lock file. The defaults are the program's; tests shorten them.
struct LinkLockTimes
{
    std::chrono::milliseconds retry_interval{100}; // pause between two attempts
    int retries_per_stale_check = 3;               // retries between two looks at the lock file's age
    std::chrono::milliseconds stale_age{2000};     // a lock file this old was left behind and is taken over
    std::chrono::milliseconds give_up_after{5000}; // the block is dropped when the lock cannot be had by then
};

class CLinkFileWriter
{
public:
    explicit CLinkFileWriter(LinkLockTimes times = {});
    // Writes what is still queued, then ends the thread: a run that ends just before the program does loses nothing.
    ~CLinkFileWriter();
    CLinkFileWriter(const CLinkFileWriter&) = delete;
    CLinkFileWriter& operator=(const CLinkFileWriter&) = delete;

    // Queues one block for the folder of job.Dest; returns at once. Safe from any thread.
    void Queue(const DownloadJob& job);

    // Blocks until every block queued so far has been written or dropped.
    void WaitIdle();

    // Blocks dropped because the lock could not be had or the link file could not be written.
    size_t Dropped() const;

private:
    void Run();
    // Writes one block; false when it had to be dropped.
    bool WriteOne(const DownloadJob& job);
    bool TakeLock(const std::string& lock_path, std::chrono::milliseconds budget) const;

    const LinkLockTimes times_;
    mutable std::mutex mutex_; // guards everything below up to dropped_, and the start of thread_
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<DownloadJob> queue_;
    bool busy_ = false; // the thread holds a job taken from queue_
    bool quit_ = false;
    size_t dropped_ = 0;
    // Only the writer thread touches these two: the last folder whose lock was given up, and when.
    std::string given_up_folder_;
    std::chrono::steady_clock::time_point given_up_at_{};
    std::thread thread_;
};

} // namespace pelldra
