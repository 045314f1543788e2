// The application object.
#include "gui/app/pelldra_app.h"

#include "core/app/app_registry.h"
#include "core/engine/curl_handles.h"
#include "core/platform/folders.h"
#include "core/platform/unique_fd.h"
#include "gui/platform/bring_to_front.h"
#include "gui/platform/message_box.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelldra {

namespace {

int g_signalWriteFd = -1;

void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalWriteFd, &byte, 1);
    errno = saved;
}

} // namespace

// Turns the termination signals into a call on the GUI thread: the handler only writes a byte to a socket that the
// event loop watches. One at a time; the previous handlers come back when it is destroyed.
class TerminationWatcher final
{
public:
    explicit TerminationWatcher(std::function<void()> onSignal) : m_onSignal(std::move(onSignal))
    {
        int fds[2];
        if (g_signalWriteFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
            return;
        m_read = UniqueFd(fds[0]);
        m_write = UniqueFd(fds[1]);
        g_signalWriteFd = m_write.get();
        m_notifier = std::make_unique<QSocketNotifier>(m_read.get(), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
            char buffer[16];
            while (::read(m_read.get(), buffer, sizeof buffer) > 0) {
            }
            m_onSignal();
        });
        struct sigaction action
        {
        };
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int i = 0; i < kCount; ++i)
            ::sigaction(kSignals[i], &action, &m_previous[i]);
        m_installed = true;
    }

    ~TerminationWatcher()
    {
        if (!m_installed)
            return;
        for (int i = 0; i < kCount; ++i)
            ::sigaction(kSignals[i], &m_previous[i], nullptr);
        g_signalWriteFd = -1;
    }

    TerminationWatcher(const TerminationWatcher&) = delete;
    TerminationWatcher& operator=(const TerminationWatcher&) = delete;

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGTERM, SIGINT, SIGHUP};

    std::function<void()> m_onSignal;
    UniqueFd m_read;
    UniqueFd m_write;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previous[kCount]
    {
    };
    bool m_installed = false;
};

CPelldraApp::CPelldraApp(QObject* parent) : QObject(parent), m_broadcasts(this)
{
    connect(&m_broadcasts, &Broadcasts::Received, this, &CPelldraApp::OnBroadcast);
}

CPelldraApp::~CPelldraApp() = default;

CPelldraApp::StartResult CPelldraApp::Start()
{
    switch (m_lock.Acquire()) {
    case SingleInstanceLock::State::Held:
        break;
    case SingleInstanceLock::State::AlreadyRunning:
        m_broadcasts.EmitAndFlush(QString::fromUtf8(broadcast::kSelfCall));
        return StartResult::AnotherRunning;
    case SingleInstanceLock::State::NotTried:
    case SingleInstanceLock::State::Failed:
        // No window yet and none wanted: the reason goes where a user starting from a shell sees it.
        std::fprintf(stderr, "pelldra: cannot lock %s: %s\n", m_lock.GetPath().c_str(),
                     std::strerror(m_lock.GetError()));
        return StartResult::LockFailed;
    }

    InitNetwork();
    if (!m_registry) {
        m_registry = std::make_unique<AppRegistry>([](const std::string& caption, const std::string& text) {
            ShowMessage(nullptr, QString::fromStdString(text), QString::fromStdString(caption),
                        MessageIcon::Information);
        });
    }
    m_registry->RecordStart(GetExecutableFolder());
    m_broadcasts.Listen();
    return StartResult::Running;
}

int CPelldraApp::Run(const MainWindowRunner& runner)
{
    switch (Start()) {
    case StartResult::Running:
        break;
    case StartResult::AnotherRunning:
        return 0;
    case StartResult::LockFailed:
        return 1;
    }
    int code = 0;
    if (runner) {
        m_termination = std::make_unique<TerminationWatcher>([this] {
            if (m_mainWindow)
                m_mainWindow->close();
            else
                QCoreApplication::quit();
        });
        code = runner(*this);
        m_termination.reset();
    } else {
        std::fprintf(stderr, "pelldra: %s\n", kNoMainWindow);
    }
    SetAppState(QStringLiteral("closed"));
    return code;
}

void CPelldraApp::SetMainWindow(QWidget* window)
{
    m_mainWindow = window;
}

void CPelldraApp::BringUp(QWidget* window)
{
    if (!window)
        return;
    BringToFront(window);
    SetAppState(QStringLiteral("opened"));
    m_broadcasts.Emit(QString::fromUtf8(broadcast::kPopUp));
}

void CPelldraApp::OnBroadcast(const QString& name, bool fromThisProcess)
{
    if (name == QLatin1String(broadcast::kSelfCall) && m_mainWindow) {
        BringUp(m_mainWindow);
        emit BroughtUp();
    }
    emit BroadcastReceived(name, fromThisProcess);
}

void CPelldraApp::SetAppState(const QString& state)
{
    if (m_registry)
        m_registry->SetAppState(state.toStdString());
}

QString CPelldraApp::GetAppState() const
{
    return m_registry ? QString::fromStdString(m_registry->GetAppState()) : QString();
}

QString CPelldraApp::GetLinkScoutPosition() const
{
    return m_registry ? QString::fromStdString(m_registry->GetLinkScoutPosition()) : QString();
}

QString CPelldraApp::GetLinkScoutState() const
{
    return m_registry ? QString::fromStdString(m_registry->GetLinkScoutState()) : QString();
}

QString CPelldraApp::GetLinkScoutSaveFolder() const
{
    return m_registry ? QString::fromStdString(m_registry->GetLinkScoutSaveFolder()) : QString();
}

QString CPelldraApp::GetLinkScoutCommand() const
{
    return m_registry ? QString::fromStdString(m_registry->GetLinkScoutCommand()) : QString();
}

int CPelldraApp::GetLinkScoutVersion() const
{
    return m_registry ? m_registry->GetLinkScoutVersion() : 0;
}

bool CPelldraApp::HasLoginUser() const
{
    return m_registry && m_registry->HasLoginUser();
}

} // namespace pelldra
