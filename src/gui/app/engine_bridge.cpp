// The engine's reports carried to the main window's thread, with the hand-offs its workers wait on.
#include "gui/app/engine_bridge.h"

#include <QMetaObject>

#include <algorithm>

#include "core/engine/daily_log.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/credentials/auth_prompt.h"
#include "gui/platform/message_box.h"

namespace pelldra {

EngineBridge::EngineBridge(CPelldraDlg* window, CDailyLog& log) : m_window(window), m_log(log) {}

EngineBridge::~EngineBridge()
{
    Shutdown();
}

bool EngineBridge::Wait(const std::shared_ptr<Handoff>& h)
{
    std::unique_lock lock(m_mutex);
    // A prompt on screen must be closed by the window's thread before the worker may go: it reads the prompt.
    m_changed.wait(lock, [&] { return h->done || (m_shutdown && !h->started); });
    if (!h->done)
        h->abandoned = true;
    m_waiting.erase(std::remove(m_waiting.begin(), m_waiting.end(), h), m_waiting.end());
    return h->done;
}

void EngineBridge::Finish(const std::shared_ptr<Handoff>& h)
{
    {
        std::lock_guard lock(m_mutex);
        h->done = true;
    }
    m_changed.notify_all();
}

void EngineBridge::ShowLines(const std::vector<std::string>& lines)
{
    auto h = std::make_shared<Handoff>();
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown) {
            // The window is going; the lines still belong in the day's log.
            m_log.AppendLines(lines);
            return;
        }
        m_waiting.push_back(h);
    }
    QPointer<CPelldraDlg> window = m_window;
    QMetaObject::invokeMethod(
        window.data(),
        [this, window, h, lines] {
            {
                std::lock_guard lock(m_mutex);
                if (h->abandoned)
                    return;
                h->started = true;
            }
            if (window)
                window->ShowStatusLines(lines);
            Finish(h);
        },
        Qt::QueuedConnection);
    if (!Wait(h))
        m_log.AppendLines(lines);
}

void EngineBridge::RunEnded(int result)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return;
    }
    QPointer<CPelldraDlg> window = m_window;
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
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return;
    }
    QPointer<CPelldraDlg> window = m_window;
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
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return {};
        m_waiting.push_back(h);
    }
    QPointer<CPelldraDlg> window = m_window;
    QMetaObject::invokeMethod(
        window.data(),
        [this, window, h, url, limit] {
            {
                std::lock_guard lock(m_mutex);
                if (h->abandoned)
                    return;
                h->started = true;
                // Shutdown may already have come: the prompt then opens cancelled and closes at once.
                if (m_shutdown)
                    h->prompt->Cancel();
            }
            CredentialsAnswer answer;
            if (window)
                answer = AskCredentialsInDialog(window, url, limit, *h->prompt);
            {
                std::lock_guard lock(m_mutex);
                h->answer = std::move(answer);
            }
            Finish(h);
        },
        Qt::QueuedConnection);
    if (!Wait(h))
        return {};
    std::lock_guard lock(m_mutex);
    return h->answer;
}

void EngineBridge::Shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return;
        m_shutdown = true;
        for (const auto& h : m_waiting)
            if (h->started && !h->done && h->prompt)
                h->prompt->Cancel();
    }
    m_changed.notify_all();
}

} // namespace pelldra
