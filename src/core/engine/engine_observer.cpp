// The credentials question's cancel hand-off, the plain observer and the progress meter.
#include "core/engine/engine_observer.h"

#include "core/engine/daily_log.h"

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

PlainEngineObserver::PlainEngineObserver(std::FILE* out, CDailyLog* log) : out_(out), log_(log) {}

void PlainEngineObserver::ShowLines(const std::vector<std::string>& lines)
{
    {
        std::lock_guard lock(mutex_);
        lines_.insert(lines_.end(), lines.begin(), lines.end());
        if (out_) {
            for (const std::string& line : lines)
                std::fprintf(out_, "%s\n", line.c_str());
            std::fflush(out_);
        }
    }
    if (log_)
        log_->AppendLines(lines);
}

void PlainEngineObserver::RunEnded(int result)
{
    {
        std::lock_guard lock(mutex_);
        results_.push_back(result);
    }
    ended_.notify_all();
}

void PlainEngineObserver::ShowMessage(const std::string& text)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    if (out_) {
        std::fprintf(out_, "%s\n", text.c_str());
        std::fflush(out_);
    }
}

CredentialsAnswer PlainEngineObserver::AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                                      CredentialsPrompt& prompt)
{
    Answerer answerer;
    {
        std::lock_guard lock(mutex_);
        prompted_.push_back(url);
        answerer = answerer_;
    }
    if (!answerer || prompt.Cancelled())
        return {};
    CredentialsAnswer a = answerer(url, limit, prompt);
    if (prompt.Cancelled())
        return {};
    return a;
}

void PlainEngineObserver::SetAnswerer(Answerer answerer)
{
    std::lock_guard lock(mutex_);
    answerer_ = std::move(answerer);
}

std::vector<std::string> PlainEngineObserver::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> PlainEngineObserver::Messages() const
{
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<int> PlainEngineObserver::RunResults() const
{
    std::lock_guard lock(mutex_);
    return results_;
}

std::vector<std::string> PlainEngineObserver::PromptedUrls() const
{
    std::lock_guard lock(mutex_);
    return prompted_;
}

bool PlainEngineObserver::WaitForRuns(size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, limit, [&] { return results_.size() >= count; });
}

void ProgressMeter::Reset()
{
    std::lock_guard lock(mutex_);
    now_ = {};
    samples_.clear();
}

void ProgressMeter::AddRequested()
{
    std::lock_guard lock(mutex_);
    ++now_.requested;
}

void ProgressMeter::AddDone()
{
    std::lock_guard lock(mutex_);
    ++now_.done;
}

void ProgressMeter::AddFailed()
{
    std::lock_guard lock(mutex_);
    ++now_.failed;
}

void ProgressMeter::AddBytes(int64_t n)
{
    std::lock_guard lock(mutex_);
    now_.bytes += n;
}

ProgressSnapshot ProgressMeter::Snapshot(std::chrono::milliseconds window)
{
    std::lock_guard lock(mutex_);
    const auto t = Clock::now();
    samples_.emplace_back(t, now_.bytes);
    // Keep one sample older than the window so the rate always spans at least the window once it has passed.
    while (samples_.size() > 2 && t - samples_[1].first >= window)
        samples_.pop_front();
    ProgressSnapshot out = now_;
    const auto& first = samples_.front();
    const double seconds = std::chrono::duration<double>(t - first.first).count();
    out.rate = seconds > 0 ? static_cast<double>(now_.bytes - first.second) / seconds : 0;
    return out;
}

} // namespace pelldra
