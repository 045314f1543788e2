// The application object.
#include "gui/app/pelldra_app.h"

#include "core/engine/network.h"
#include "core/platform/folders.h"
#include "core/registry/app_registry.h"
#include "gui/platform/bring_to_front.h"
#include "gui/platform/message_box.h"
#include "gui/platform/termination_watcher.h"

#include <QCoreApplication>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace pelldra {

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
