// How the download engine reaches whoever shows it: status lines, the run's end, messages, the credentials
// question; and a progress meter a window can poll.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace pelldra {

struct CredentialsAnswer
{
    bool ok = false; // false: refused, cancelled or timed out
    std::string user;
    std::string pass;
};

// One open credentials question. The transfer that asked may cancel it from another thread (its own Cancel); the
// observer registers how to close its prompt and the prompt then answers as cancelled.
class CredentialsPrompt
{
public:
    CredentialsPrompt() = default;
    CredentialsPrompt(const CredentialsPrompt&) = delete;
    CredentialsPrompt& operator=(const CredentialsPrompt&) = delete;

    // Called by the observer while it shows the question. When the question is already cancelled, close runs at
    // once on the calling thread. close may run on any thread.
    void OnCancel(std::function<void()> close);
    void Cancel();
    bool Cancelled() const;
    // For observers that wait themselves: true when cancelled within the time.
    bool WaitCancelled(std::chrono::milliseconds limit) const;

private:
    mutable std::mutex mutex_; // guards both below
    mutable std::condition_variable cv_;
    bool cancelled_ = false;
    std::function<void()> close_;
};

// Lines come from the engine's threads (its own or a transfer's), one call at a time; credentials questions from a
// transfer's thread; the run's end from the engine's thread. Only the message of a refused start comes from the
// caller of CDownloadEngine::Start.
class EngineObserver
{
public:
    virtual ~EngineObserver() = default;
    // Status lines in their order: the engine hands over what gathered while it worked. Returns only once they have
    // been shown and logged, so that lines appear in order.
    virtual void ShowLines(std::span<const std::string> lines) = 0;
    // The run ended: 1 when it ended with every job finished, 0 otherwise (abort, start-up failure).
    virtual void RunEnded(int result) = 0;
    // A message box text (start-up failures).
    virtual void ShowMessage(const std::string& text) = 0;
    // Asks for the user name and password for url; called on a transfer's thread, blocks until answered, refused,
    // cancelled through prompt, or limit has passed (which answers as refused).
    virtual CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                             CredentialsPrompt& prompt) = 0;
};

struct ProgressSnapshot
{
    int done = 0;      // files saved
    int failed = 0;    // jobs that failed
    int requested = 0; // jobs handed to slots
    int64_t bytes = 0; // body bytes written in this run
    double rate = 0;   // bytes per second over the last few seconds
};

// Fast-changing figures of a run, updated by the workers and collected by a window or the command line on a timer.
class ProgressMeter
{
public:
    using Clock = std::chrono::steady_clock;

    void Reset();
    void AddRequested();
    void AddDone();
    void AddFailed();
    void AddBytes(int64_t n);
    // The rate is measured between this call and the earliest call of the last `window` (at least one earlier call).
    ProgressSnapshot Snapshot(std::chrono::milliseconds window = std::chrono::milliseconds(3000));

private:
    // Every transfer adds to these for every file: counters of their own, with no lock, spare the ten threads a
    // shared lock each time.
    std::atomic<int> done_{0};
    std::atomic<int> failed_{0};
    std::atomic<int> requested_{0};
    std::atomic<int64_t> bytes_{0};
    std::mutex mutex_; // guards samples_
    std::deque<std::pair<Clock::time_point, int64_t>> samples_;
};

} // namespace pelldra
