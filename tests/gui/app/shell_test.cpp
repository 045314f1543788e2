// Tests of the program's shell (instance lock, broadcasts, start-up, second start, signals, registry values) and of
// the main window's services (power-off after the queue, the boss key, the help window, the announcement check).
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDialog>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "core/platform/folders.h"
#include "core/platform/single_instance.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/announce/announce_dialog.h"
#include "gui/app/help_window.h"
#include "gui/app/pelldra_app.h"
#include "gui/app/power_off_dialog.h"
#include "gui/app/window_loop.h"
#include "gui/credentials/auth_prompt.h"
#include "gui/platform/bring_to_front.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"
#include "gui/platform/power.h"
#include "gui/widgets/url_edit.h"
#include "support/child_process.h"
#include "support/fake_power_backend.h"
#include "support/http_test_server.h"
#include "support/main_window.h"
#include "support/own_bus.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

namespace {

using test::Q;

using namespace std::chrono_literals;
using SignalAction = struct sigaction;
constexpr const char* kRunAppArgument = "--run-pelldra-app";
constexpr const char* kRunnerMarker = "main window ran";
constexpr const char* kManual = PELLDRA_SOURCE_MANUAL;
constexpr const char* kAnnounced = "http://www.tavin.example/news/6.html";

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

// Whether one listener heard the expected messages in order, among any others.
bool HeardInOrder(const QSignalSpy& spy, const QStringList& expected, bool fromThisProcess)
{
    qsizetype next = 0;
    for (const QList<QVariant>& args : spy)
        if (next < expected.size() && args.at(0).toString() == expected[next] && args.at(1).toBool() == fromThisProcess)
            ++next;
    return next == expected.size();
}

// How many times `name` came from another process, or from this one.
qsizetype Heard(const QSignalSpy& spy, const QString& name, bool fromThisProcess = false)
{
    return std::count_if(spy.begin(), spy.end(), [&](const QList<QVariant>& args) {
        return args.at(0).toString() == name && args.at(1).toBool() == fromThisProcess;
    });
}

QDBusConnection OtherConnection(const QString& name)
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

QString PageShown(const CHelpWindow& help)
{
    const QUrl source = help.Browser()->source();
    return QFileInfo(source.toLocalFile()).fileName() + (source.hasFragment() ? "#" + source.fragment() : QString());
}

// A window's options for an announcement check at once against `server`; the pages it opens go to `opened`.
CPelldraDlg::Options Announcing(test::TestHttpServer& server, QStringList& opened)
{
    server.AddFile("/new-ann.dat", std::string("Url_: ") + kAnnounced + "\r\nID__: 6\r\n");
    CPelldraDlg::Options options;
    options.announce = {server.Url("/new-ann.dat"), 0ms, {}, [&opened](const QString& url) { opened << url; }};
    return options;
}

} // namespace

class ShellTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup()
    {
        env_.reset();
        QCOMPARE(unexpected_.Texts(), QStringList());
    }

    void lockPathUsesTheRuntimeFolderElseTheUserIdAndALockThatCannotBeOpenedFails()
    {
        QCOMPARE(Q(SingleInstanceLock::DefaultPath()),
                 Q(env_->root()) + QStringLiteral("/runtime/Pelldra_Existing.lock"));
        const QByteArray tmp = qgetenv("TMPDIR");
        ::unsetenv("XDG_RUNTIME_DIR"); // the test folders put it back
        qputenv("TMPDIR", QByteArray::fromStdString(env_->root() + "/tmp"));
        const QString fallback = Q(SingleInstanceLock::DefaultPath());
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
        QCOMPARE(fallback, QStringLiteral("%1/tmp/Pelldra_Existing-%2.lock").arg(Q(env_->root())).arg(::getuid()));

        const std::string link = env_->root() + "/link.lock";
        QVERIFY(::symlink((env_->root() + "/elsewhere").c_str(), link.c_str()) == 0);
        for (const std::string& path : {env_->root() + "/missing/Pelldra_Existing.lock", link}) {
            SingleInstanceLock lock(path);
            QVERIFY(lock.Acquire() == SingleInstanceLock::State::Failed && lock.GetError() != 0);
        }
        QVERIFY(!test::FileExists(env_->root() + "/elsewhere"));
        // Another user's file, which that user may hold locked, only root can make here.
        const std::string planted = env_->root() + "/planted.lock";
        QVERIFY(test::WriteFile(planted, ""));
        if (::chown(planted.c_str(), 65534, 65534) == 0) {
            SingleInstanceLock lock(planted);
            QVERIFY(lock.Acquire() == SingleInstanceLock::State::Failed && lock.GetError() == EPERM);
        }
    }

    void lockIsExclusiveBetweenProcessesFreedWithItsHolderAndNeverInherited()
    {
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

    void broadcastsReachOtherProcessesAndTheSenderIgnoreOtherShapesAndWithoutABusDoNothing()
    {
        Broadcasts none(
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus")),
            nullptr);
        QVERIFY(!none.IsConnected() && !none.Listen() && !none.EmitAndFlush(QStringLiteral("Pelldra-PopUp")));
        QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session");
        QDBusConnection other = OtherConnection(QStringLiteral("other-program"));
        Broadcasts ours(QDBusConnection::sessionBus(), nullptr);
        Broadcasts theirs(other, nullptr);
        QVERIFY(ours.Listen() && theirs.Listen());
        QSignalSpy oursGot(&ours, &Broadcasts::Received);
        QSignalSpy theirsGot(&theirs, &Broadcasts::Received);

        const QStringList names{broadcast::kSelfCall, broadcast::kToHelper, broadcast::kFromHelper,
                                broadcast::kBossCome, broadcast::kPopUp};
        for (const QString& name : names)
            QVERIFY(ours.Emit(name));
        QTRY_VERIFY(HeardInOrder(theirsGot, names, false));
        // The sender's own come back to it complete, but Qt does not keep their order.
        QTRY_VERIFY(std::all_of(names.begin(), names.end(), [&](const QString& n) { return Heard(oursGot, n, true); }));
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

    void appRecordsItsStartAndLeavesItsStateClosed()
    {
        // What each value holds is the registry's; here that the program's start and end write them.
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
        QVERIFY(code == 3 && state == QStringLiteral("opened") && version == 20);
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
        QVERIFY(test::WriteFile(env_->root() + "/not-a-folder", "x"));
        ::setenv("XDG_CONFIG_HOME", (env_->root() + "/not-a-folder").c_str(), 1);
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
        Broadcasts companion(OtherConnection(QStringLiteral("companion")), nullptr);
        QVERIFY(companion.Listen());
        QSignalSpy companionGot(&companion, &Broadcasts::Received);

        QWidget window;
        QProcess second;
        QString stateAfterBringUp;
        CPelldraApp app;
        const int code = app.Run([&](CPelldraApp& running) {
            running.SetMainWindow(&window);
            running.SetAppState(QStringLiteral("hide")); // as if the boss key had hidden the window
            QSignalSpy broughtUp(&running, &CPelldraApp::BroughtUp);
            second.start(QCoreApplication::applicationFilePath(), {QString::fromUtf8(kRunAppArgument)});
            if (!second.waitForFinished(20000))
                return 1;
            if (!broughtUp.wait(10000) && broughtUp.isEmpty())
                return 2;
            stateAfterBringUp = running.GetAppState();
            return 0;
        });
        QCOMPARE(code, 0);
        QVERIFY(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
        const QString secondOutput = QString::fromLocal8Bit(second.readAllStandardOutput());
        QVERIFY2(!secondOutput.contains(QString::fromUtf8(kRunnerMarker)), qPrintable(secondOutput));
        QVERIFY(window.isVisible() && stateAfterBringUp == QStringLiteral("opened"));
        QTRY_VERIFY(
            HeardInOrder(companionGot, {QStringLiteral("SelfCall->Pelldra"), QStringLiteral("Pelldra-PopUp")}, false));
        QDBusConnection::disconnectFromBus(QStringLiteral("companion"));
    }

    void terminationSignalsCloseAnOpenPromptAndTheWindowAtOnce()
    {
        test::TestHttpServer server;
        server.RequireBasic("/club/", "aki", "secret");
        const std::string folder = env_->makeFolder("save");
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            SignalAction before{};
            QCOMPARE(::sigaction(signal, nullptr, &before), 0);
            std::chrono::steady_clock::time_point signalled;
            const int code = CPelldraApp().Run([&](CPelldraApp& running) {
                CPelldraDlg::Options options; // the prompt's own limit as in the program: the signal must not wait
                options.app = &running;
                CPelldraDlg dlg(nullptr, options);
                running.SetMainWindow(&dlg);
                dlg.FolderEdit()->setText(Q(folder));
                dlg.UrlEdit()->insertPlainText(Q(server.Url("/club/p1.jpg")));
                QTimer watcher;
                connect(&watcher, &QTimer::timeout, &dlg, [&] {
                    CAuthPromptDlg* prompt = dlg.findChild<CAuthPromptDlg*>();
                    if (prompt && prompt->isVisible() && signalled == std::chrono::steady_clock::time_point{}) {
                        signalled = std::chrono::steady_clock::now();
                        ::kill(::getpid(), signal); // a signal that ended the process instead would end the test
                    }
                });
                watcher.start(20);
                QTimer::singleShot(0, &dlg, [&dlg] { dlg.OnStart(); });
                QTimer::singleShot(30000, &dlg, [&dlg] { dlg.done(99); }); // a window the signal left open fails
                const int result = dlg.exec();
                running.SetMainWindow(nullptr);
                return result;
            });
            QVERIFY(code != 99 && signalled != std::chrono::steady_clock::time_point{});
            QVERIFY(std::chrono::steady_clock::now() - signalled < 10s);
            QCOMPARE(Q(CTavinRegKey(kAppKeyPath, true).GetString("State")), QStringLiteral("closed"));
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

    void theQueueWorkedOffPowersOffAfterTheCountdownOrRunsOnWhenItCannot()
    {
        for (const bool accepted : {true, false}) {
            MessageHook hook;
            test::FakePowerBackend power;
            power.powerOffSucceeds = accepted;
            CPelldraDlg::Options options;
            options.power = &power;
            CPelldraDlg dlg(nullptr, options);
            dlg.show();
            QSignalSpy finished(&dlg, &QDialog::finished);
            // An order that cannot run is dropped, which empties the queue as well as a finished one.
            CQueueItem order;
            order.Kind = CQueueItem::LIST, order.KindName = "LIST", order.Lst = env_->root() + "/gone.lst";
            order.Fol = env_->makeFolder("saved");
            QCOMPARE(dlg.Queue().Append(order), 0);
            dlg.SetPowerOffWhenQueueDone(true);
            dlg.ToggleQueueMode();
            test::WhenShown<CPowerOffDlg>(this, [](CPowerOffDlg* countdown) { countdown->NowButton()->click(); });
            dlg.ToggleQueueMode(); // off: the queue runs
            QVERIFY(power.powerOffCalls == 1 && finished.count() == (accepted ? 1 : 0));
            QCOMPARE(hook.Texts(), accepted ? QStringList() : QStringList{QString::fromUtf8(kCannotPowerOff)});
        }
    }

    void bossKeyHidesTheProgramUntilBroughtBackWhileTheWindowRunsOn()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus");
        // LinkScout's broadcast also looks for its order; with no LinkScout recorded that says LinkScout is too old.
        MessageHook hook;
        CPelldraApp app;
        QCOMPARE(app.Start(), CPelldraApp::StartResult::Running);
        Broadcasts companion(OtherConnection(QStringLiteral("companion")), nullptr);
        QVERIFY(companion.Listen());
        QSignalSpy companionGot(&companion, &Broadcasts::Received);
        QSignalSpy appGot(&app, &CPelldraApp::BroadcastReceived);
        CPelldraDlg::Options options;
        options.app = &app;
        options.manualFolder = QString::fromUtf8(kManual);
        CPelldraDlg dlg(nullptr, options);
        dlg.Settings().BossKey = 1;
        app.SetMainWindow(&dlg);
        bool ranOnHidden = false;
        auto* question = new QDialog(&dlg);
        QTimer::singleShot(0, &dlg, [&] {
            dlg.ShowHelp();
            question->show();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            // The window's loop goes on while nothing of it shows.
            QTimer::singleShot(0, &dlg, [&] {
                ranOnHidden = true;
                const auto logout = qScopeGuard([&] { dlg.close(); }); // as a logout does, hidden or not
                // Esc hid the window and what it showed. A second start and LinkScout each bring it back; a
                // companion's BossCome hides it again and is answered once, never while the window is hidden.
                QVERIFY(dlg.Hidden() && dlg.isHidden());
                QVERIFY(dlg.findChild<CHelpWindow*>()->isHidden() && question->isHidden());
                QCOMPARE(app.GetAppState(), QStringLiteral("hide"));
                QTRY_COMPARE(Heard(companionGot, broadcast::kBossCome), 1);
                QCOMPARE(Heard(companionGot, broadcast::kPopUp), 1); // the first showing announced itself
                for (const qsizetype round : {1, 2}) {
                    QVERIFY(companion.Emit(round == 1 ? broadcast::kSelfCall : broadcast::kFromHelper));
                    QTRY_VERIFY(dlg.isVisible());
                    QVERIFY(!dlg.Hidden() && app.GetAppState() == QStringLiteral("opened"));
                    QVERIFY(companion.Emit(broadcast::kBossCome));
                    QTRY_VERIFY(dlg.isHidden());
                    QCOMPARE(app.GetAppState(), QStringLiteral("hide"));
                    // Called again while hidden, the window stays silent. Once the companion's marker has reached
                    // the window, the window's own marker comes after any answer it gave.
                    QVERIFY(companion.Emit(broadcast::kBossCome) && companion.Emit(QStringLiteral("test-marker")));
                    QTRY_COMPARE(Heard(appGot, "test-marker"), round);
                    QVERIFY(app.GetBroadcasts().Emit(QStringLiteral("test-answer")));
                    QTRY_COMPARE(Heard(companionGot, "test-answer"), round);
                    QCOMPARE(Heard(companionGot, broadcast::kBossCome), 1 + round);
                }
            });
        });
        QCOMPARE(RunUntilDone(dlg), int(QDialog::Rejected));
        QVERIFY(ranOnHidden);
        QDBusConnection::disconnectFromBus(QStringLiteral("companion"));
    }

    void closingTheWindowClosesItsDialogsSoTheProgramEnds()
    {
        CPelldraDlg dlg;
        dlg.show();
        QSignalSpy finished(&dlg, &QDialog::finished);
        QDialog question(&dlg);
        QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
        QTimer::singleShot(10000, &question, [&] { question.done(2); }); // left open, it would hold the program
        QVERIFY(question.exec() == QDialog::Rejected && finished.count() == 1);
    }

    void helpAndF1OpenOneHelpWindowOrSayTheManualIsMissing()
    {
        MessageHook hook;
        CPelldraDlg::Options options;
        options.manualFolder = QString::fromUtf8(kManual);
        CPelldraDlg dlg(nullptr, options);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        dlg.findChild<QPushButton*>(QStringLiteral("helpButton"))->click();
        QTest::keyClick(&dlg, Qt::Key_F1);
        const QList<CHelpWindow*> open = dlg.findChildren<CHelpWindow*>();
        QVERIFY(open.size() == 1 && open.front()->isVisible() && hook.Texts().isEmpty());
        QCOMPARE(PageShown(*open.front()), QStringLiteral("index.html"));
        QVERIFY(open.front()->windowTitle().startsWith(QStringLiteral("Pelldra マニュアル")));

        options.manualFolder = Q(env_->makeFolder("empty"));
        CPelldraDlg without(nullptr, options);
        without.ShowHelp();
        QVERIFY(without.findChildren<CHelpWindow*>().isEmpty());
        QCOMPARE(hook.Texts(),
                 QStringList{QString::fromUtf8(kManualMissing) + options.manualFolder + QStringLiteral("/index.html")});
    }

    void helpWindowFollowsTheManualsLinksAndGivesWebLinksToTheDesktop()
    {
        // The link, the page shown afterwards, and what went to the desktop.
        const std::tuple<const char*, const char*, const char*> cases[] = {
            {"series.html", "series.html", ""},
            {"queue.html#power", "queue.html#power", ""},
            {"#quick", "index.html#quick", ""},
            {"https://example.org/a?b=1", "index.html", "https://example.org/a?b=1"},
            {"../../../../../../../../etc/hostname", "index.html", ""},
            {"file:///etc/hostname", "index.html", ""},
            {"mailto:someone@example.org", "index.html", ""}};
        for (const auto& [link, shown, desktop] : cases) {
            QList<QUrl> opened;
            CHelpWindow help(nullptr, QString::fromUtf8(kManual), [&](const QUrl& url) { opened << url; });
            help.OpenLink(QUrl(QString::fromUtf8(link)));
            QCOMPARE(PageShown(help), QString::fromUtf8(shown));
            QCOMPARE(opened, *desktop ? QList<QUrl>{QUrl(QString::fromUtf8(desktop))} : QList<QUrl>{});
        }
    }

    void announcementIsAskedOnTheWindowsThreadAndAShowingDuringACheckStartsNoOther()
    {
        test::TestHttpServer server;
        QStringList opened;
        CPelldraDlg::Options options = Announcing(server, opened);
        CPelldraDlg* window = nullptr;
        bool onWindowsThread = false;
        options.announce.ask = [&](QWidget* parent) {
            onWindowsThread = parent == window && QThread::currentThread() == qApp->thread();
            // Shown again while its check is running: that check stays the only one.
            window->hide();
            window->show();
            QApplication::processEvents();
            return AnnounceAnswer::Yes;
        };
        CPelldraDlg dlg(nullptr, options);
        window = &dlg;
        dlg.show();
        QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList{QString::fromUtf8(kAnnounced)}, 30000);
        QVERIFY(onWindowsThread);
        QCOMPARE(server.RequestCount(), 1);
        QCOMPARE(CTavinRegKey("Software\\Tavin\\AutoAnn\\Pelldra").GetString("AnnID"), std::string("6"));
    }

    void aWindowClosingWhileTheAnnouncementQuestionIsUpTakesTheQuestionAlong()
    {
        test::TestHttpServer server;
        QStringList opened;
        auto dlg = std::make_unique<CPelldraDlg>(nullptr, Announcing(server, opened));
        bool questionSeen = false;
        // The question runs its own event loop: the window is closed from within it.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            const auto questions = dlg->findChildren<CAnnounceDlg*>();
            if (!questions.isEmpty() && questions.first()->isVisible()) {
                questionSeen = true;
                dlg->done(QDialog::Accepted);
            }
        });
        poll.start(20);
        dlg->show();
        QTRY_VERIFY_WITH_TIMEOUT(questionSeen, 30000);
        QTRY_VERIFY(dlg->findChildren<CAnnounceDlg*>().isEmpty());
        dlg.reset();
        QVERIFY(opened.isEmpty());
    }

private:
    MessageHook unexpected_; // a message no test waits for fails its test instead of blocking it
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], pelldra::kRunAppArgument) == 0)
        return pelldra::RunAppAsChild(argc, argv);
    // The window answers broadcasts, so other test programs' on a shared bus would move it.
    pelldra::test::RunOnOwnBus(argc, argv);
    QApplication application(argc, argv);
    pelldra::ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "shell_test.moc"
