// pelldra-get's side of the engine: status lines to standard output, messages to standard error, the credentials
// question on the terminal, and the progress line.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/engine/engine_observer.h"

namespace pelldra::cli {

// One message of pelldra-get on standard error: "pelldra-get: ", the path it is about when given, the text.
void Complain(const std::string& text, const std::string& path = {});

class CliObserver final : public EngineObserver
{
public:
    // progress: draw the progress line on standard error; ask: credentials questions go to the terminal (else
    // every question is refused).
    CliObserver(bool progress, bool ask);

    void ShowLines(std::span<const std::string> lines) override;
    void RunEnded(int result) override;
    void ShowMessage(const std::string& text) override;
    CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                     CredentialsPrompt& prompt) override;

    // Before each run.
    void BeginRun();
    // Blocks until the run has ended, redrawing the progress line that progressLine gives, and takes it away.
    // Returns the run's result.
    int WaitRunEnded(const std::function<std::string()>& progressLine);
    // The run's figures once it has ended; they stay on the terminal.
    void ShowLastProgress(const std::string& text);
    // Whether the engine refused the run with a message since BeginRun.
    bool MessageShown() const;
    // Whether lines wait for the next tick (standard output is a file or a pipe).
    bool BuffersLines() const { return !flushEachLine_; }
    // Runs with each flush of standard output, so that the day's log keeps pace with it. Before the first run.
    void SetTickFlush(std::function<void()> flush) { tickFlush_ = std::move(flush); }

private:
    void ClearProgressLocked();
    void FlushLocked();

    const bool progress_;
    const bool ask_;
    // A terminal shows each line at once; into a file or pipe they go in blocks, at the latest every 250 ms, as
    // one write per line would cost more than the downloads of small files themselves.
    const bool flushEachLine_;
    std::mutex askLock_; // one credentials question on the terminal at a time
    std::function<void()> tickFlush_;

    mutable std::mutex mutex_; // guards the output streams and everything below
    std::condition_variable ended_;
    std::condition_variable answered_; // the credentials question has left the terminal
    bool runEnded_ = false;
    int result_ = 0;
    bool messageShown_ = false;
    bool progressDrawn_ = false;
    bool asking_ = false; // the terminal belongs to the question: no progress line now
};

} // namespace pelldra::cli
