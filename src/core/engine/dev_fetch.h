// CDevFetch: one download slot of the engine, fetching one file at a time through its own CFetchCore.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/engine/download_job.h"
#include "core/engine/fetch_core.h"

namespace pelldra {

class CDevFetch
{
public:
    enum class SlotState {
        Ready,
        Working,
        Done,
    };

    // onDone(index) runs on the slot's thread each time a job is done; the engine uses it to wake up.
    CDevFetch(int index, FetchContext context, std::function<void(int)> onDone);
    // Cancels the job in hand and ends the slot's thread.
    ~CDevFetch();
    CDevFetch(const CDevFetch&) = delete;
    CDevFetch& operator=(const CDevFetch&) = delete;

    // Hands the slot a job (it must be Ready); the slot is Working until the job is done.
    void Start(const DownloadJob& job);
    // Cancels the transfer in hand; safe from any thread at any moment.
    void Stop();
    // Done back to Ready, after the engine has reported the job.
    void MarkReady();

    SlotState State() const;
    int Index() const { return index_; }
    // Valid once the slot is Done: the result code, the text to report, and the job with what the transfer learnt.
    int32_t Result() const;
    std::string Message() const;
    DownloadJob Job() const;

    static const char* StateName(SlotState s);

private:
    void Loop();
    void FetchFile();

    const int index_;
    const std::chrono::milliseconds answerLimit_;
    const std::function<void(int)> onDone_;
    CFetchCore transfer_; // the slot's only transfer: one easy handle, one connection kept open from job to job

    mutable std::mutex mutex_; // guards everything below
    std::condition_variable wake_;
    SlotState state_ = SlotState::Ready;
    bool startPending_ = false;
    bool stopRequested_ = false; // Stop came for the job in hand, perhaps before its transfer began
    bool quit_ = false;
    DownloadJob job_;
    int32_t result_ = -1;
    std::string message_;
    std::thread thread_;
};

} // namespace pelldra
