// CDevFetch: one download slot of the engine, fetching one file at a time through its own CFetchCore.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/engine/fetch_core.h"
#include "core/sequence/download_job.h"

namespace pelldra {

class CDevFetch
{
public:
    enum class SlotState {
        Ready,
        Working,
        Done,
    };

    // onDone(index) runs on the transfer's thread each time a job is done; the engine uses it to wake up.
    CDevFetch(int index, FetchContext context, std::function<void(int)> onDone);
    // Cancels the job in hand and waits for its transfer to end.
    ~CDevFetch();
    CDevFetch(const CDevFetch&) = delete;
    CDevFetch& operator=(const CDevFetch&) = delete;

    // Hands the slot a job (it must be Ready); the slot is Working until the job is done. folder: a folder to make
    // (with its parents) when the file arrives, or "".
    void Start(DownloadJob&& job, const std::string& folder = {});
    // Cancels the transfer in hand; safe from any thread at any moment.
    void Stop();
    // Stops for good: the transfer's thread ends without the caller waiting for it (the destructor waits).
    void Quit() { transfer_.Quit(); }
    // What a done job has to report: the result code, the text to report (for a success, the file's name only when
    // it is not the one asked for), and the job with what the transfer learnt.
    using Report = FetchOutcome;
    // Once the slot is Done: its report, taken once, and the slot Ready again. Empty while the slot is not Done.
    std::optional<Report> TakeReport();

    int Index() const { return index_; }

private:
    // On the transfer's thread, once it has ended: the result the engine reports.
    void CollectResult();

    const int index_;
    const std::function<void(int)> onDone_;

    mutable std::mutex mutex_; // guards everything below but transfer_
    SlotState state_ = SlotState::Ready;
    Report report_;

    // Last, so that it goes first: its thread reports into the members above until it has been joined. The
    // slot's only transfer: one easy handle, one connection kept open from job to job.
    CFetchCore transfer_;
};

} // namespace pelldra
