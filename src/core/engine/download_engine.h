// CDownloadEngine: runs one download order at a time on its own thread, up to ten slots at once, and reports every
// finished job as status lines through its observer.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/engine/auth_area_table.h"
#include "core/engine/credential_access.h"
#include "core/engine/curl_handles.h"
#include "core/engine/dev_fetch.h"
#include "core/engine/engine_observer.h"
#include "core/engine/fetch_core.h"
#include "core/engine/link_file_writer.h"
#include "core/queue/queue_item.h"
#include "core/sequence/seq_job_source.h"

namespace pelldra {

class CContentTypeTable;
class LoginStore;

class CDownloadEngine
{
public:
    static constexpr int kMaxSlots = 10;
    enum : int32_t {
        kRunning = 1000,
        kIdle = 1001,
    };

    explicit CDownloadEngine(FetchLimits limits = {}, LinkLockTimes linkTimes = {});
    // Aborts a run in progress, waits for the engine thread, then destroys the slots and the link writer (which
    // writes what is still queued).
    ~CDownloadEngine();
    CDownloadEngine(const CDownloadEngine&) = delete;
    CDownloadEngine& operator=(const CDownloadEngine&) = delete;

    // Whom the engine tells what happens, and the content-type table for the transfers (may be null). Called once,
    // before the first Start.
    void Setup(EngineObserver* observer, const CContentTypeTable* types);

    // Runs item on the engine thread; the item must stay alive until the observer's RunEnded. A start during a
    // run is refused with the message "まだダウンロードがビジーです。" and returns false; that run goes on.
    bool Start(CQueueItem& item);
    // Asks the run to stop: no further job goes out and every slot's transfer is cancelled. Returns the run's
    // slot count. Any thread.
    int Abort();

    // The main window's "keep no update links"; a run keeps the value it had when it started.
    void SetNoUpdateLinks(bool noLinks) { noUpdateLinks_ = noLinks; }
    // The credentials store while the manager has it open; null when it was closed.
    void SetCredentialStore(std::shared_ptr<LoginStore> store) { store_.Set(std::move(store)); }
    std::shared_ptr<LoginStore> CredentialStore() const { return store_.Get(); }

    int32_t RunState() const { return runState_.load(); }
    int SlotCount() const { return slotCount_.load(); }
    ProgressSnapshot Progress() { return progress_.Snapshot(); }
    CAuthAreaTable& Areas() { return areas_; }
    CLinkFileWriter& LinkWriter() { return linkWriter_; }

    // 1 slow, 2 middle, 3 fast; anything else is the middle speed.
    static int SlotsForSpeed(int32_t seri);

private:
    void ThreadLoop();
    int Run();
    // On a slot's transfer thread when its job is done: reports it and hands the free slots the next jobs.
    void OnSlotDone(int index);
    // Hands jobs to the ready slots, in slot order, until the source has none now or none at all.
    void FillReadySlots();
    // folder: the subfolder the job's file goes to, made when the file arrives.
    CSeqJobSource::Next NextJob(DownloadJob& job, std::string& folder);
    void Hand(CDevFetch& slot, DownloadJob&& job, const std::string& folder);
    void Report(CDevFetch::Report& report);
    bool AbortRequested() const { return item_->AbortRequested.load() != 0; }
    // Lines gather under the run lock and go to the observer in batches, so that a report costs the window or the
    // log one hand-over instead of one per line. FlushLines lets go of lock while the observer shows them.
    void ShowLine(std::string_view text);
    void FlushLines(std::unique_lock<std::mutex>& lock);
    bool AllReady() const;

    const FetchLimits limits_;
    CurlShare share_;
    CAuthAreaTable areas_;
    CredentialStoreRef store_;
    ProgressMeter progress_;
    CSeqJobSource source_;
    std::array<std::unique_ptr<CDevFetch>, kMaxSlots> slots_;
    EngineObserver* observer_ = nullptr;
    std::atomic<bool> noUpdateLinks_{false};
    std::atomic<int32_t> runState_{kIdle};
    std::atomic<int> slotCount_{3};

    // The run: the engine thread and the slots' transfer threads take turns on it.
    std::mutex runMutex_; // guards the fields below and the handing out and reporting of jobs
    std::condition_variable runChanged_;
    CQueueItem* item_ = nullptr;
    DownloadJob current_;
    bool sequenceMode_ = false;
    bool runNoLinks_ = false;
    bool noMoreJobs_ = false;
    // Which slots may take a job. Kept here rather than asked of each slot: a slot becomes free and busy only
    // under this lock, and asking ten slots under their own locks for every file costs more than the file's headers.
    std::array<bool, kMaxSlots> ready_{};
    int lineIndex_ = -1;
    int successes_ = 0;
    int failures_ = 0;
    std::vector<std::string> lines_; // the first lineCount_ are shown, not yet handed to the observer
    size_t lineCount_ = 0;
    std::vector<std::string> spareLines_;
    bool flushing_ = false; // a thread is handing lines to the observer

    mutable std::mutex mutex_; // guards the fields below
    std::condition_variable wake_;
    CQueueItem* pending_ = nullptr; // the item a Start hands to the thread
    CQueueItem* running_ = nullptr; // the item of the run in progress, for Abort
    bool quit_ = false;
    std::thread thread_;

    CLinkFileWriter linkWriter_; // writes what is still queued when the engine goes
};

} // namespace pelldra
