// The engine's reports carried to the main window's thread, with the hand-offs its workers wait on.
#include "gui/app/engine_bridge.h"

#include <QMetaObject>

#include <algorithm>

#include "gui/app/pelldra_dlg.h"
#include "gui/credentials/auth_prompt.h"
#include "gui/platform/message_box.h"

namespace pelldra {

EngineBridge::EngineBridge(CPelldraDlg* window) : window_(window) {}

EngineBridge::~EngineBridge()
{
    Shutdown();
}

bool EngineBridge::Wait(const std::shared_ptr<Handoff>& h)
{
    std::unique_lock lock(mutex_);
    // A prompt on screen must be closed by the window's thread before the worker may go: it reads the prompt.
    changed_.wait(lock, [&] { return h->done || (shutdown_ && !h->started); });
    if (!h->done)
        h->abandoned = true;
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), h), waiting_.end());
    return h->done;
}

void EngineBridge::Finish(const std::shared_ptr<Handoff>& h)
{
    {
        std::lock_guard lock(mutex_);
        h->done = true;
    }
    changed_.notify_all();
}

void EngineBridge::ShowLines(std::span<const std::string> shown)
{
    // The window shows them later, on its own thread: they go along as a copy.
    std::vector<std::string> lines(shown.begin(), shown.end());
    auto h = std::make_shared<Handoff>();
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return;
        waiting_.push_back(h);
    }
    QPointer<CPelldraDlg> window = window_;
    QMetaObject::invokeMethod(
        window.data(),
        [this, window, h, lines] {
            {
                std::lock_guard lock(mutex_);
                if (h->abandoned)
                    return;
                h->started = true;
            }
            if (window)
                window->ShowStatusLines(lines);
            Finish(h);
        },
        Qt::QueuedConnection);
    Wait(h);
}

void EngineBridge::RunEnded(int result)
{
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return;
    }
    QPointer<CPelldraDlg> window = window_;
    QMetaObject::invokeMethod(
        window.data(),
        [window, result] {
            if (window)
                window->OnRunEnded(result);
        },
        Qt::QueuedConnection);
}

void EngineBridge::ShowMessage(const std::string& text)
{
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return;
    }
    QPointer<CPelldraDlg> window = window_;
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        window.data(),
        [window, message] {
            if (window)
                pelldra::ShowMessage(window, message);
        },
        Qt::QueuedConnection);
}

CredentialsAnswer EngineBridge::AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                               CredentialsPrompt& prompt)
{
    auto h = std::make_shared<Handoff>();
    h->prompt = &prompt;
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return {};
        waiting_.push_back(h);
    }
    QPointer<CPelldraDlg> window = window_;
    QMetaObject::invokeMethod(
        window.data(),
        [this, window, h, url, limit] {
            {
                std::lock_guard lock(mutex_);
                if (h->abandoned)
                    return;
                h->started = true;
                // Shutdown may already have come: the prompt then opens cancelled and closes at once.
                if (shutdown_)
                    h->prompt->Cancel();
            }
            CredentialsAnswer answer;
            if (window)
                answer = AskCredentialsInDialog(window, url, limit, *h->prompt);
            {
                std::lock_guard lock(mutex_);
                h->answer = std::move(answer);
            }
            Finish(h);
        },
        Qt::QueuedConnection);
    if (!Wait(h))
        return {};
    std::lock_guard lock(mutex_);
    return h->answer;
}

void EngineBridge::Shutdown()
{
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return;
        shutdown_ = true;
        for (const auto& h : waiting_)
            if (h->started && !h->done && h->prompt)
                h->prompt->Cancel();
    }
    changed_.notify_all();
}

} // namespace pelldra
