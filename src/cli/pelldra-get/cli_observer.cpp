// Status lines, messages, the terminal question and the progress line of pelldra-get.
#include "cli/pelldra-get/cli_observer.h"

#include <stdio.h>
#include <unistd.h>

#include "cli/pelldra-get/terminal.h"

namespace pelldra::cli {

void Complain(const std::string& text, const std::string& path)
{
    std::fprintf(stderr, "pelldra-get: %s%s%s\n", path.c_str(), path.empty() ? "" : ": ", text.c_str());
    std::fflush(stderr);
}

CliObserver::CliObserver(bool progress, bool ask)
    : progress_(progress), ask_(ask), flushEachLine_(::isatty(STDOUT_FILENO) == 1)
{
}

void CliObserver::ClearProgressLocked()
{
    if (progressDrawn_) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        progressDrawn_ = false;
    }
}

void CliObserver::ShowLines(std::span<const std::string> lines)
{
    std::unique_lock lock(mutex_);
    // A line shown now would land in the middle of the question; the engine goes on meanwhile.
    if (flushEachLine_)
        answered_.wait(lock, [this] { return !asking_; });
    ClearProgressLocked();
    // One hold on the stream for the batch rather than two per line.
    ::flockfile(stdout);
    for (const std::string& line : lines) {
        ::fwrite_unlocked(line.data(), 1, line.size(), stdout);
        ::fputc_unlocked('\n', stdout);
    }
    ::funlockfile(stdout);
    if (flushEachLine_)
        std::fflush(stdout);
}

void CliObserver::RunEnded(int result)
{
    {
        std::lock_guard lock(mutex_);
        runEnded_ = true;
        result_ = result;
    }
    ended_.notify_all();
}

void CliObserver::ShowMessage(const std::string& text)
{
    std::lock_guard lock(mutex_);
    ClearProgressLocked();
    std::fflush(stdout); // the lines before the message come first
    messageShown_ = true;
    Complain(text);
}

CredentialsAnswer CliObserver::AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                              CredentialsPrompt& prompt)
{
    if (!ask_)
        return {};
    std::lock_guard one(askLock_);
    if (prompt.Cancelled())
        return {};
    {
        std::lock_guard lock(mutex_);
        ClearProgressLocked();
        asking_ = true;
    }
    CredentialsAnswer answer = AskOnTerminal(url, limit, prompt);
    {
        std::lock_guard lock(mutex_);
        asking_ = false;
    }
    answered_.notify_all();
    return answer;
}

void CliObserver::BeginRun()
{
    std::lock_guard lock(mutex_);
    runEnded_ = false;
    result_ = 0;
    messageShown_ = false;
}

int CliObserver::WaitRunEnded(const std::function<std::string()>& progressLine)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (runEnded_)
            break;
        if (!flushEachLine_)
            FlushLocked();
        if (progress_ && !asking_) {
            lock.unlock();
            const std::string text = progressLine();
            lock.lock();
            if (!runEnded_ && !asking_) {
                std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
                std::fflush(stderr);
                progressDrawn_ = true;
            }
        }
        ended_.wait_for(lock, std::chrono::milliseconds(250), [&] { return runEnded_; });
    }
    ClearProgressLocked();
    FlushLocked();
    return result_;
}

void CliObserver::FlushLocked()
{
    std::fflush(stdout);
    if (tickFlush_)
        tickFlush_();
}

void CliObserver::ShowLastProgress(const std::string& text)
{
    if (!progress_)
        return;
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

bool CliObserver::MessageShown() const
{
    std::lock_guard lock(mutex_);
    return messageShown_;
}

} // namespace pelldra::cli
