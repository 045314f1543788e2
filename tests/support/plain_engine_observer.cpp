// The recording engine observer.
#include "support/plain_engine_observer.h"

namespace pelldra {

void PlainEngineObserver::ShowLines(const std::vector<std::string>& lines)
{
    std::lock_guard lock(mutex_);
    lines_.insert(lines_.end(), lines.begin(), lines.end());
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

bool PlainEngineObserver::WaitForRuns(size_t count, std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, limit, [&] { return results_.size() >= count; });
}

} // namespace pelldra
