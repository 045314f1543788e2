// The announcement check's hand-offs between the checker's worker and the window's thread.
#include "gui/announce/announce_check.h"

#include <QDialog>
#include <QMetaObject>

#include <condition_variable>
#include <mutex>

#include "core/registry/app_registry.h"
#include "gui/announce/announce_dialog.h"

namespace pelldra {

// The checker's observer: asks on the window's thread and waits there for the answer. After Shutdown nothing more
// reaches the window: a waiting worker is let go with "later", and a finished check is not reported. Its owner shuts
// it down before the window goes, so until then the window may be posted to.
class AnnounceQuestion final : public AnnounceObserver, public std::enable_shared_from_this<AnnounceQuestion>
{
public:
    using Finished = std::function<void(const QString& url)>;

    AnnounceQuestion(QWidget* window, AnnounceSettings::AskFunction ask, Finished finished)
        : m_window(window), m_ask(std::move(ask)), m_finished(std::move(finished))
    {
    }

    AnnounceAnswer AskToRead() override;
    void CheckFinished(const std::string& url) override;
    // On the window's thread.
    void Shutdown();

private:
    struct Handoff
    {
        bool done = false;      // answered
        bool abandoned = false; // the worker was let go: a question not yet shown must not show
        AnnounceAnswer answer = AnnounceAnswer::Later;
    };

    QWidget* const m_window;
    AnnounceSettings::AskFunction m_ask;
    Finished m_finished;
    std::mutex m_mutex; // guards everything below and every Handoff
    std::condition_variable m_changed;
    bool m_shutdown = false;
};

AnnounceAnswer AnnounceQuestion::AskToRead()
{
    auto h = std::make_shared<Handoff>();
    std::unique_lock lock(m_mutex);
    if (m_shutdown)
        return AnnounceAnswer::Later;
    // Posted under the lock, so that Shutdown (and with it the window's end) cannot come in between.
    QMetaObject::invokeMethod(
        m_window,
        [self = shared_from_this(), h] {
            {
                std::lock_guard guard(self->m_mutex);
                if (h->abandoned || self->m_shutdown)
                    return;
            }
            const AnnounceAnswer answer = self->m_ask(self->m_window);
            {
                std::lock_guard guard(self->m_mutex);
                h->answer = answer;
                h->done = true;
            }
            self->m_changed.notify_all();
        },
        Qt::QueuedConnection);
    // Shutdown lets the worker go at once: it reads nothing of the question, which closes on its own.
    m_changed.wait(lock, [&] { return h->done || m_shutdown; });
    if (!h->done) {
        h->abandoned = true;
        return AnnounceAnswer::Later;
    }
    return h->answer;
}

void AnnounceQuestion::CheckFinished(const std::string& url)
{
    const QString page = QString::fromStdString(url);
    std::lock_guard lock(m_mutex);
    if (m_shutdown)
        return;
    QMetaObject::invokeMethod(
        m_window,
        [self = shared_from_this(), page] {
            {
                std::lock_guard guard(self->m_mutex);
                if (self->m_shutdown)
                    return;
            }
            self->m_finished(page);
        },
        Qt::QueuedConnection);
}

void AnnounceQuestion::Shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return;
        m_shutdown = true;
    }
    m_changed.notify_all();
    // The question on screen ends unanswered; its worker then goes on and quits.
    for (CAnnounceDlg* dialog : m_window->findChildren<CAnnounceDlg*>())
        dialog->reject();
}

AnnouncementCheck::AnnouncementCheck(QWidget* window, AnnounceSettings settings)
    : m_window(window), m_settings(std::move(settings))
{
    if (!m_settings.ask)
        m_settings.ask = AskAboutAnnouncement;
    // A window that closes takes its question with it, so that nothing is left waiting on a window that is gone.
    if (auto* dialog = qobject_cast<QDialog*>(window))
        connect(dialog, &QDialog::finished, this, &AnnouncementCheck::Stop);
}

AnnouncementCheck::~AnnouncementCheck()
{
    Stop();
}

void AnnouncementCheck::OnShown()
{
    if (m_checker || m_settings.listUrl.empty() || !m_window)
        return;
    auto question =
        std::make_shared<AnnounceQuestion>(m_window, m_settings.ask, [this](const QString& url) { OnFinished(url); });
    auto checker = std::make_unique<CAnnounceChecker>(kAppName, m_settings.listUrl);
    // The program's version as a number by the same rule as LinkScout's: "1.79" is 179.
    if (!checker->Start(m_settings.delay, question, ParseLinkScoutVersion(kAppVersion)))
        return;
    m_question = std::move(question);
    m_checker = std::move(checker);
}

void AnnouncementCheck::Stop()
{
    if (m_question)
        m_question->Shutdown();
    m_checker.reset();
    m_question.reset();
}

void AnnouncementCheck::OnFinished(const QString& url)
{
    m_checker.reset();
    m_question.reset();
    if (!url.isEmpty() && m_settings.openPage)
        m_settings.openPage(url);
}

} // namespace pelldra
