// CPelldraApp: the application object: one instance per user, the program's registry values, the broadcasts.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "gui/platform/broadcasts.h"
#include "core/platform/single_instance.h"

namespace pelldra {

class AppRegistry;
class TerminationWatcher;

class CPelldraApp final : public QObject
{
    Q_OBJECT

public:
    // Runs the main window for the program's whole life and returns the exit code.
    using MainWindowRunner = std::function<int(CPelldraApp&)>;

    enum class StartResult {
        Running,        // this is the one instance: the main window may run
        AnotherRunning, // the running instance was asked to come up; end quietly
        LockFailed,     // the instance lock could not be had; end
    };

    static constexpr const char* kNoMainWindow = "the main window is not built yet";

    explicit CPelldraApp(QObject* parent = nullptr);
    ~CPelldraApp() override;
    CPelldraApp(const CPelldraApp&) = delete;
    CPelldraApp& operator=(const CPelldraApp&) = delete;

    // Start-up: the instance lock; a second instance broadcasts "SelfCall->Pelldra" and is done. The first opens
    // its registry keys, records "Position" and "Version", sets up the network and starts listening.
    StartResult Start();
    // Start, then the main window through runner, then "State" = "closed". Without a runner it says so on standard
    // error and ends with 0. While the runner runs, SIGTERM, SIGINT and SIGHUP close the main window (or leave the
    // event loop when there is none), so that a logout still saves what the window saves on closing.
    int Run(const MainWindowRunner& runner);

    // The window that "SelfCall->Pelldra" and "pdrHelper->Pelldra" bring up.
    void SetMainWindow(QWidget* window);
    // Shows the window in front, sets "State" to "opened" and broadcasts "Pelldra-PopUp".
    void BringUp(QWidget* window);

    void SetAppState(const QString& state);
    QString GetAppState() const;
    QString GetLinkScoutSaveFolder() const;
    int GetLinkScoutVersion() const;
    bool HasLoginUser() const;

    // The keys, once Start has opened them (null before).
    AppRegistry* Registry() const { return registry_.get(); }
    Broadcasts& GetBroadcasts() { return broadcasts_; }
    const SingleInstanceLock& Lock() const { return lock_; }

signals:
    // A second start or LinkScout brought the main window up (the window clears its hidden state).
    void BroughtUp();
    // Every broadcast received, those that bring the window up included (after it was brought up).
    void BroadcastReceived(const QString& name, bool fromThisProcess);

private:
    void OnBroadcast(const QString& name, bool fromThisProcess);

    SingleInstanceLock lock_;
    Broadcasts broadcasts_;
    std::unique_ptr<AppRegistry> registry_;
    QPointer<QWidget> mainWindow_;
    std::unique_ptr<TerminationWatcher> termination_;
};

} // namespace pelldra
