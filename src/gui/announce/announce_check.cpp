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
        : window_(window), ask_(std::move(ask)), finished_(std::move(finished))
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

    QWidget* const window_;
    AnnounceSettings::AskFunction ask_;
    Finished finished_;
    std::mutex mutex_; // guards everything below and every Handoff
    std::condition_variable changed_;
    bool shutdown_ = false;
};

AnnounceAnswer AnnounceQuestion::AskToRead()
{
    auto h = std::make_shared<Handoff>();
    std::unique_lock lock(mutex_);
    if (shutdown_)
        return AnnounceAnswer::Later;
    // Posted under the lock, so that Shutdown (and with it the window's end) cannot come in between.
    QMetaObject::invokeMethod(
        window_,
        [self = shared_from_this(), h] {
            {
                std::lock_guard guard(self->mutex_);
                if (h->abandoned || self->shutdown_)
                    return;
            }
            const AnnounceAnswer answer = self->ask_(self->window_);
            {
                std::lock_guard guard(self->mutex_);
                h->answer = answer;
                h->done = true;
            }
            self->changed_.notify_all();
        },
        Qt::QueuedConnection);
    // Shutdown lets the worker go at once: it reads nothing of the question, which closes on its own.
    changed_.wait(lock, [&] { return h->done || shutdown_; });
    if (!h->done) {
        h->abandoned = true;
        return AnnounceAnswer::Later;
    }
    return h->answer;
}

void AnnounceQuestion::CheckFinished(const std::string& url)
{
    const QString page = QString::fromStdString(url);
    std::lock_guard lock(mutex_);
    if (shutdown_)
        return;
    QMetaObject::invokeMethod(
        window_,
        [self = shared_from_this(), page] {
            {
                std::lock_guard guard(self->mutex_);
                if (self->shutdown_)
                    return;
            }
            self->finished_(page);
        },
        Qt::QueuedConnection);
}

void AnnounceQuestion::Shutdown()
{
    {
        std::lock_guard lock(mutex_);
        if (shutdown_)
            return;
        shutdown_ = true;
    }
    changed_.notify_all();
    // The question on screen ends unanswered; its worker then goes on and quits.
    for (CAnnounceDlg* dialog : window_->findChildren<CAnnounceDlg*>())
        dialog->reject();
}

AnnouncementCheck::AnnouncementCheck(QWidget* window, AnnounceSettings settings)
    : window_(window), settings_(std::move(settings))
{
    if (!settings_.ask)
        settings_.ask = AskAboutAnnouncement;
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
    if (checker_ || settings_.listUrl.empty() || !window_)
        return;
    auto question =
        std::make_shared<AnnounceQuestion>(window_, settings_.ask, [this](const QString& url) { OnFinished(url); });
    auto checker = std::make_unique<CAnnounceChecker>(kAppName, settings_.listUrl);
    // The program's version as a number by the same rule as LinkScout's: "1.79" is 179.
    if (!checker->Start(settings_.delay, question, ParseLinkScoutVersion(kAppVersion)))
        return;
    question_ = std::move(question);
    checker_ = std::move(checker);
}

void AnnouncementCheck::Stop()
{
    if (question_)
        question_->Shutdown();
    checker_.reset();
    question_.reset();
}

void AnnouncementCheck::OnFinished(const QString& url)
{
    checker_.reset();
    question_.reset();
    if (!url.isEmpty() && settings_.openPage)
        settings_.openPage(url);
}

} // namespace pelldra
