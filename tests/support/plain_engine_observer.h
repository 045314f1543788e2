// An engine observer that records what it is told, for tests of the engine and its transfers.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/engine/engine_observer.h"

namespace pelldra {

class PlainEngineObserver : public EngineObserver
{
public:
    using Answerer = std::function<CredentialsAnswer(const std::string& url, std::chrono::milliseconds limit,
                                                     CredentialsPrompt& prompt)>;

    void ShowLines(const std::vector<std::string>& lines) override;
    void RunEnded(int result) override;
    void ShowMessage(const std::string& text) override;
    CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                     CredentialsPrompt& prompt) override;

    // Who answers credentials questions; without one every question is refused.
    void SetAnswerer(Answerer answerer);

    std::vector<std::string> Lines() const { return Copy(lines_); }
    std::vector<std::string> Messages() const { return Copy(messages_); }
    std::vector<int> RunResults() const { return Copy(results_); }
    std::vector<std::string> PromptedUrls() const { return Copy(prompted_); }
    // Blocks until `count` runs have ended; false on time-out.
    bool WaitForRuns(size_t count, std::chrono::milliseconds limit) const;

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
