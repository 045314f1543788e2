// The credentials question's cancel hand-off and the progress meter.
#include "core/engine/engine_observer.h"

namespace pelldra {

void CredentialsPrompt::OnCancel(std::function<void()> close)
{
    std::unique_lock lock(mutex_);
    if (cancelled_) {
        lock.unlock();
        if (close)
            close();
        return;
    }
    close_ = std::move(close);
}

void CredentialsPrompt::Cancel()
{
    std::function<void()> close;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_)
            return;
        cancelled_ = true;
        close = std::move(close_);
    }
    cv_.notify_all();
    // Outside the lock: closing may call back into the observer.
    if (close)
        close();
}

bool CredentialsPrompt::Cancelled() const
{
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool CredentialsPrompt::WaitCancelled(std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, limit, [&] { return cancelled_; });
}

void ProgressMeter::Reset()
{
    std::lock_guard lock(mutex_);
    done_ = 0;
    failed_ = 0;
    requested_ = 0;
    bytes_ = 0;
    samples_.clear();
}

void ProgressMeter::AddRequested()
{
    requested_.fetch_add(1, std::memory_order_relaxed);
}

void ProgressMeter::AddDone()
{
    done_.fetch_add(1, std::memory_order_relaxed);
}

void ProgressMeter::AddFailed()
{
    failed_.fetch_add(1, std::memory_order_relaxed);
}

void ProgressMeter::AddBytes(int64_t n)
{
    bytes_.fetch_add(n, std::memory_order_relaxed);
}

ProgressSnapshot ProgressMeter::Snapshot(std::chrono::milliseconds window)
{
    std::lock_guard lock(mutex_);
    ProgressSnapshot out;
    out.done = done_.load(std::memory_order_relaxed);
    out.failed = failed_.load(std::memory_order_relaxed);
    out.requested = requested_.load(std::memory_order_relaxed);
    out.bytes = bytes_.load(std::memory_order_relaxed);
    const auto t = Clock::now();
    samples_.emplace_back(t, out.bytes);
    // Keep one sample older than the window so the rate always spans at least the window once it has passed.
    while (samples_.size() > 2 && t - samples_[1].first >= window)
        samples_.pop_front();
    const auto& first = samples_.front();
    const double seconds = std::chrono::duration<double>(t - first.first).count();
    out.rate = seconds > 0 ? static_cast<double>(out.bytes - first.second) / seconds : 0;
    return out;
}

} // namespace pelldra
