// EngineBridge: the engine's observer in the desktop program: every report hops to the main window's thread.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include <QPointer>

#include "core/engine/engine_observer.h"

namespace pelldra {

class CPelldraDlg;

// Workers call in on their own threads. A status line and a credentials question block their worker until the
// window has handled them; the window's thread never waits for a worker. After Shutdown nothing more reaches the
// window (the run controller has logged the lines already), questions are refused, and every worker still waiting
// is let go (a prompt already on screen is cancelled and answers as such).
class EngineBridge final : public EngineObserver
{
public:
    explicit EngineBridge(CPelldraDlg* window);
    ~EngineBridge() override;
    EngineBridge(const EngineBridge&) = delete;
    EngineBridge& operator=(const EngineBridge&) = delete;

    void ShowLines(std::span<const std::string> lines) override;
    void RunEnded(int result) override;
    void ShowMessage(const std::string& text) override;
    CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                     CredentialsPrompt& prompt) override;

    // On the window's thread, before the engine is stopped and joined.
    void Shutdown();

private:
    struct Handoff
    {
        bool done = false;
        bool started = false;   // the window began handling it (a prompt is on screen)
        bool abandoned = false; // the worker was let go before the window began: the window must not touch it
        CredentialsPrompt* prompt = nullptr;
        CredentialsAnswer answer;
    };

    // Waits until the window handled h, or until Shutdown lets the worker go. True when handled.
    bool Wait(const std::shared_ptr<Handoff>& h);
    void Finish(const std::shared_ptr<Handoff>& h);

    QPointer<CPelldraDlg> window_;
    std::mutex mutex_; // guards everything below and every Handoff
    std::condition_variable changed_;
    bool shutdown_ = false;
    std::vector<std::shared_ptr<Handoff>> waiting_;
};

} // namespace pelldra
