// Tests of the program's shell: the instance lock across processes, the broadcasts on the session bus, and the
// application object's start-up, second start and registry values.
#include "core/platform/folders.h"
#include "core/platform/single_instance.h"
#include "core/registry/app_registry.h"
#include "gui/app/pelldra_app.h"
#include "gui/platform/bring_to_front.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"

#include "support/child_process.h"
#include "support/temp_env.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDialog>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pelldra {

namespace {

using SignalAction = struct sigaction;
constexpr const char* kRunAppArgument = "--run-pelldra-app";
constexpr const char* kRunnerMarker = "main window ran";

// The child's side of the second-start test: the program's own start-up with a runner that says it ran.
int RunAppAsChild(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CPelldraApp app;
    return app.Run([](CPelldraApp&) {
        std::puts(kRunnerMarker);
        return 7;
    });
}

// Other test programs may broadcast on the same bus at the same time, so what one listener heard is checked to hold
// the expected messages in order rather than to be exactly them.
bool HeardInOrder(const QSignalSpy& spy, const QStringList& expected, bool fromThisProcess)
{
    qsizetype next = 0;
    for (const QList<QVariant>& args : spy)
        if (next < expected.size() && args.at(0).toString() == expected[next] && args.at(1).toBool() == fromThisProcess)
            ++next;
    return next == expected.size();
}

// A connection's own broadcasts come back to it complete, but Qt does not keep their order.
bool HeardAll(const QSignalSpy& spy, const QStringList& expected, bool fromThisProcess)
{
    return std::all_of(expected.begin(), expected.end(), [&](const QString& name) {
        return std::any_of(spy.begin(), spy.end(), [&](const QList<QVariant>& args) {
            return args.at(0).toString() == name && args.at(1).toBool() == fromThisProcess;
        });
    });
}

QDBusConnection OtherConnection(const QString& name)
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

} // namespace

class ShellTest final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(unexpected_.Texts(), QStringList()); }
    void lockPathUsesTheRuntimeFolderElseTheUserId()
    {
        test::TempEnv env;
        QCOMPARE(QString::fromStdString(SingleInstanceLock::DefaultPath()),
                 QString::fromStdString(env.root()) + QStringLiteral("/runtime/Pelldra_Existing.lock"));
        const QByteArray tmp = qgetenv("TMPDIR");
        ::unsetenv("XDG_RUNTIME_DIR"); // the test folders put it back
        qputenv("TMPDIR", QByteArray::fromStdString(env.root() + "/tmp"));
        const QString fallback = QString::fromStdString(SingleInstanceLock::DefaultPath());
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
        QCOMPARE(
            fallback,
            QStringLiteral("%1/tmp/Pelldra_Existing-%2.lock").arg(QString::fromStdString(env.root())).arg(::getuid()));
    }

    void lockIsExclusiveBetweenProcessesFreedWithItsHolderAndNeverInherited()
    {
        test::TempEnv env;
        const auto tryInChild = [] {
            return SingleInstanceLock::State(
                test::WaitChild(test::ForkChild([] { return static_cast<int>(SingleInstanceLock().Acquire()); })));
        };
        QProcess sleeper;
        {
            SingleInstanceLock first;
            QCOMPARE(first.Acquire(), SingleInstanceLock::State::Held);
            QCOMPARE(first.Acquire(), SingleInstanceLock::State::Held); // asking again keeps it
            QCOMPARE(tryInChild(), SingleInstanceLock::State::AlreadyRunning);
            // A second lock object in the same process is a second instance too.
            QCOMPARE(SingleInstanceLock().Acquire(), SingleInstanceLock::State::AlreadyRunning);
            sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
            QVERIFY(sleeper.waitForStarted());
        }
        // The program started while the lock was held lives on; the lock must not live on with it.
        const SingleInstanceLock::State state = tryInChild();
        sleeper.kill();
        sleeper.waitForFinished();
        QCOMPARE(state, SingleInstanceLock::State::Held);
    }

    void lockThatCannotBeOpenedFails()
    {
        test::TempEnv env;
        const std::string link = env.root() + "/link.lock";
        QVERIFY(::symlink((env.root() + "/elsewhere").c_str(), link.c_str()) == 0);
        // The folder missing, or the name a symbolic link.
        for (const std::string& path : {env.root() + "/missing/Pelldra_Existing.lock", link}) {
            SingleInstanceLock lock(path);
            QCOMPARE(lock.Acquire(), SingleInstanceLock::State::Failed);
            QVERIFY(lock.GetError() != 0);
        }
        QVERIFY(!test::FileExists(env.root() + "/elsewhere"));
    }

    void broadcastsReachOtherProcessesAndTheSenderAndIgnoreOtherShapes()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QDBusConnection other = OtherConnection(QStringLiteral("other-program"));
        Broadcasts ours(QDBusConnection::sessionBus(), nullptr);
        Broadcasts theirs(other, nullptr);
        QVERIFY(ours.Listen());
        QVERIFY(theirs.Listen());
        QSignalSpy oursGot(&ours, &Broadcasts::Received);
        QSignalSpy theirsGot(&theirs, &Broadcasts::Received);

        QStringList names;
        for (const char* name : {broadcast::kSelfCall, broadcast::kToHelper, broadcast::kFromHelper,
                                 broadcast::kBossCome, broadcast::kPopUp})
            names << QString::fromUtf8(name);
        for (const QString& name : names)
            QVERIFY(ours.Emit(name));
        QTRY_VERIFY(HeardInOrder(theirsGot, names, false));
        QTRY_VERIFY(HeardAll(oursGot, names, true));
        QCOMPARE(names.size(), std::count_if(oursGot.begin(), oursGot.end(),
                                             [](const QList<QVariant>& args) { return args.at(1).toBool(); }));

        // The other way round, after signals of the same name but another shape, which are dropped.
        for (const QVariantList& args :
             {QVariantList{42}, QVariantList{QStringLiteral("a"), QStringLiteral("b")}, QVariantList{}}) {
            QDBusMessage m = QDBusMessage::createSignal(QString::fromUtf8(Broadcasts::kPath),
                                                        QString::fromUtf8(Broadcasts::kInterface),
                                                        QString::fromUtf8(Broadcasts::kSignal));
            m.setArguments(args);
            QVERIFY(other.send(m));
        }
        QVERIFY(theirs.EmitAndFlush(QStringLiteral("Pelldra-BossCome")));
        QTRY_VERIFY(HeardInOrder(oursGot, {QStringLiteral("Pelldra-BossCome")}, false));
        for (const QList<QVariant>& args : oursGot) {
            const QString name = args.at(0).toString();
            QVERIFY2(name.startsWith(QLatin1String("Pelldra")) || name.endsWith(QLatin1String("Pelldra")),
                     qPrintable(name));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("other-program"));
    }

    void withoutABusBroadcastsDoNothing()
    {
        Broadcasts none(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus")),
            nullptr);
        QVERIFY(!none.IsConnected() && !none.Listen() && !none.EmitAndFlush(QStringLiteral("Pelldra-PopUp")));
        QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
    }

    void appRecordsItsStartAndLeavesItsStateClosed()
    {
        // What each value holds is the registry's; here that the program's start and end write them.
        test::TempEnv env;
        QCOMPARE(CPelldraApp().GetLinkScoutVersion(), 0); // before start-up: no keys, no values, no crash
        CTavinRegKey(kLinkScoutKeyPath).SetString("Version", "2.0");
        QString state;
        int version = -1;
        const int code = CPelldraApp().Run([&](CPelldraApp& running) {
            running.SetAppState(QStringLiteral("opened"));
            state = running.GetAppState();
            version = running.GetLinkScoutVersion();
            return 3;
        });
        QCOMPARE(code, 3);
        QCOMPARE(state, QStringLiteral("opened"));
        QCOMPARE(version, 20);
        const CTavinRegKey key(kAppKeyPath, true);
        QCOMPARE(key.GetString("State"), std::string("closed"));
        QCOMPARE(key.GetString("Position"), GetExecutableFolder());
        // No main window yet: said so, and the state is still left closed.
        CTavinRegKey(kAppKeyPath).SetString("State", "opened");
        QCOMPARE(CPelldraApp().Run({}), 0);
        QCOMPARE(CTavinRegKey(kAppKeyPath, true).GetString("State"), std::string("closed"));
    }

    void appReportsARegistryItCannotMakeAndRunsOn()
    {
        test::TempEnv env;
        QVERIFY(test::WriteFile(env.root() + "/not-a-folder", "x"));
        ::setenv("XDG_CONFIG_HOME", (env.root() + "/not-a-folder").c_str(), 1);
        MessageHook hook;
        CPelldraApp app;
        QCOMPARE(app.Start(), CPelldraApp::StartResult::Running);
        QCOMPARE(hook.Messages().size(), size_t(3)); // one per key object, as each fails on its own
        QCOMPARE(hook.Messages().back().caption,
                 QStringLiteral("予期せぬエラーです。\nアプリケーションでは対処できません。"));
        QCOMPARE(hook.Messages().back().icon, MessageIcon::Information);
    }

    void secondStartBringsTheFirstUpAndEndsQuietly()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        test::TempEnv env;
        Broadcasts companion(OtherConnection(QStringLiteral("companion")), nullptr);
        QVERIFY(companion.Listen());
        QSignalSpy companionGot(&companion, &Broadcasts::Received);

        QWidget window;
        QProcess second;
        QString secondOutput;
        int secondExit = -1;
        QString stateAfterBringUp;
        CPelldraApp app;
        const int code = app.Run([&](CPelldraApp& running) {
            running.SetMainWindow(&window);
            running.SetAppState(QStringLiteral("hide")); // as if the boss key had hidden the window
            QSignalSpy broughtUp(&running, &CPelldraApp::BroughtUp);
            second.start(QCoreApplication::applicationFilePath(), {QString::fromUtf8(kRunAppArgument)});
            if (!second.waitForFinished(20000))
                return 1;
            secondExit = second.exitCode();
            secondOutput = QString::fromLocal8Bit(second.readAllStandardOutput());
            if (!broughtUp.wait(10000) && broughtUp.isEmpty())
                return 2;
            stateAfterBringUp = running.GetAppState();
            return 0;
        });
        QCOMPARE(code, 0);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(secondExit, 0);
        QVERIFY2(!secondOutput.contains(QString::fromUtf8(kRunnerMarker)), qPrintable(secondOutput));
        QVERIFY(window.isVisible());
        QCOMPARE(stateAfterBringUp, QStringLiteral("opened"));
        QTRY_VERIFY(
            HeardInOrder(companionGot, {QStringLiteral("SelfCall->Pelldra"), QStringLiteral("Pelldra-PopUp")}, false));
        QCOMPARE(QString::fromStdString(CTavinRegKey(kAppKeyPath, true).GetString("State")), QStringLiteral("closed"));
        QDBusConnection::disconnectFromBus(QStringLiteral("companion"));
    }

    void terminationSignalsCloseTheMainWindow()
    {
        test::TempEnv env;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SignalAction before{};
            QCOMPARE(::sigaction(signal, nullptr, &before), 0);
            CPelldraApp app;
            const int code = app.Run([&](CPelldraApp& running) {
                QDialog window;
                running.SetMainWindow(&window);
                QTimer::singleShot(50, &window, [signal] { ::kill(::getpid(), signal); });
                // A signal that ended the process instead would end the test here.
                QTimer::singleShot(10000, &window, [&window] { window.done(42); });
                return window.exec();
            });
            QCOMPARE(code, int(QDialog::Rejected));
            QCOMPARE(QString::fromStdString(CTavinRegKey(kAppKeyPath, true).GetString("State")),
                     QStringLiteral("closed"));
            // The test program's own handler is back.
            SignalAction after{};
            QCOMPARE(::sigaction(signal, nullptr, &after), 0);
            QVERIFY(after.sa_handler == before.sa_handler);
        }
    }

    void bringToFrontShowsAndRestoresTheWindow()
    {
        for (const char* before : {"hidden", "minimised", "behind another"}) {
            QWidget window;
            QWidget other;
            if (before[0] == 'm') {
                window.showMinimized();
                QVERIFY(window.isMinimized());
            } else if (before[0] == 'b') {
                window.show();
                other.show();
                other.activateWindow();
                QTRY_VERIFY(other.isActiveWindow());
            }
            BringToFront(&window);
            QVERIFY2(window.isVisible() && !window.isMinimized(), before);
            QTRY_VERIFY2(window.isActiveWindow(), before);
        }
    }

private:
    MessageHook unexpected_; // a message no test waits for fails its test instead of blocking it
};

} // namespace pelldra

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], pelldra::kRunAppArgument) == 0)
        return pelldra::RunAppAsChild(argc, argv);
    QApplication application(argc, argv);
    pelldra::ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
