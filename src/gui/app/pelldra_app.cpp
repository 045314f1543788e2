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

CPelldraApp::CPelldraApp(QObject* parent) : QObject(parent), broadcasts_(this)
{
    connect(&broadcasts_, &Broadcasts::Received, this, &CPelldraApp::OnBroadcast);
}

CPelldraApp::~CPelldraApp() = default;

CPelldraApp::StartResult CPelldraApp::Start()
{
    switch (lock_.Acquire()) {
    case SingleInstanceLock::State::Held:
        break;
    case SingleInstanceLock::State::AlreadyRunning:
        broadcasts_.EmitAndFlush(QString::fromUtf8(broadcast::kSelfCall));
        return StartResult::AnotherRunning;
    case SingleInstanceLock::State::NotTried:
    case SingleInstanceLock::State::Failed:
        // No window yet and none wanted: the reason goes where a user starting from a shell sees it.
        std::fprintf(stderr, "pelldra: cannot lock %s: %s\n", lock_.GetPath().c_str(),
                     std::strerror(lock_.GetError()));
        return StartResult::LockFailed;
    }

    InitNetwork();
    if (!registry_) {
        registry_ = std::make_unique<AppRegistry>([](const std::string& caption, const std::string& text) {
            ShowMessage(nullptr, QString::fromStdString(text), QString::fromStdString(caption),
                        MessageIcon::Information);
        });
    }
    registry_->RecordStart(GetExecutableFolder());
    broadcasts_.Listen();
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
        termination_ = std::make_unique<TerminationWatcher>([this] {
            if (mainWindow_)
                mainWindow_->close();
            else
                QCoreApplication::quit();
        });
        code = runner(*this);
        termination_.reset();
    } else {
        std::fprintf(stderr, "pelldra: %s\n", kNoMainWindow);
    }
    SetAppState(QStringLiteral("closed"));
    return code;
}

void CPelldraApp::SetMainWindow(QWidget* window)
{
    mainWindow_ = window;
}

void CPelldraApp::BringUp(QWidget* window)
{
    if (!window)
        return;
    BringToFront(window);
    SetAppState(QStringLiteral("opened"));
    broadcasts_.Emit(QString::fromUtf8(broadcast::kPopUp));
}

void CPelldraApp::OnBroadcast(const QString& name, bool fromThisProcess)
{
    // A second start and an order from LinkScout both bring the window up, from behind or from the boss key.
    const bool bringUp = name == QLatin1String(broadcast::kSelfCall) || name == QLatin1String(broadcast::kFromHelper);
    if (bringUp && mainWindow_) {
        BringUp(mainWindow_);
        emit BroughtUp();
    }
    emit BroadcastReceived(name, fromThisProcess);
}

void CPelldraApp::SetAppState(const QString& state)
{
    if (registry_)
        registry_->SetAppState(state.toStdString());
}

QString CPelldraApp::GetAppState() const
{
    return registry_ ? QString::fromStdString(registry_->GetAppState()) : QString();
}

QString CPelldraApp::GetLinkScoutSaveFolder() const
{
    return registry_ ? QString::fromStdString(registry_->GetLinkScoutSaveFolder()) : QString();
}

int CPelldraApp::GetLinkScoutVersion() const
{
    return registry_ ? registry_->GetLinkScoutVersion() : 0;
}

bool CPelldraApp::HasLoginUser() const
{
    return registry_ && registry_->HasLoginUser();
}

} // namespace pelldra
