// An engine observer that records what it is told, for tests of the engine and its transfers.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/engine/engine_observer.h"

namespace pelldra {

class PlainEngineObserver : public EngineObserver
{
public:
    using Answerer = std::function<CredentialsAnswer(const std::string& url, std::chrono::milliseconds limit,
                                                     CredentialsPrompt& prompt)>;

    void ShowLines(std::span<const std::string> lines) override
    {
        std::lock_guard lock(mutex_);
        lines_.insert(lines_.end(), lines.begin(), lines.end());
    }
    void RunEnded(int result) override
    {
        std::lock_guard lock(mutex_);
        results_.push_back(result);
        ended_.notify_all();
    }
    void ShowMessage(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    // Asks the answerer, if any, unless the question is cancelled first; every other question is refused.
    CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                     CredentialsPrompt& prompt) override
    {
        Answerer answerer;
        {
            std::lock_guard lock(mutex_);
            prompted_.push_back(url);
            answerer = answerer_;
        }
        CredentialsAnswer a = answerer && !prompt.Cancelled() ? answerer(url, limit, prompt) : CredentialsAnswer{};
        return prompt.Cancelled() ? CredentialsAnswer{} : a;
    }

    void SetAnswerer(Answerer answerer)
    {
        std::lock_guard lock(mutex_);
        answerer_ = std::move(answerer);
    }

    std::vector<std::string> Lines() const { return Copy(lines_); }
    std::vector<std::string> Messages() const { return Copy(messages_); }
    std::vector<int> RunResults() const { return Copy(results_); }
    std::vector<std::string> PromptedUrls() const { return Copy(prompted_); }
    // Blocks until `count` runs have ended; false on time-out.
    bool WaitForRuns(size_t count, std::chrono::milliseconds limit) const
    {
        std::unique_lock lock(mutex_);
        return ended_.wait_for(lock, limit, [&] { return results_.size() >= count; });
    }

private:
    template <typename T> T Copy(const T& member) const
    {
        std::lock_guard lock(mutex_);
        return member;
    }

    mutable std::mutex mutex_; // guards everything below
    mutable std::condition_variable ended_;
    Answerer answerer_;
    std::vector<std::string> lines_;
    std::vector<std::string> messages_;
    std::vector<int> results_;
    std::vector<std::string> prompted_;
};

} // namespace pelldra
