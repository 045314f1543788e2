// Tests of the main window's services: power-off after the queue, the boss key and bringing the window back, the
// help window on the manual, the announcement check.
#include "gui/app/pelldra_dlg.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "core/registry/tavin_reg_key.h"
#include "gui/announce/announce_dialog.h"
#include "gui/app/help_window.h"
#include "gui/app/pelldra_app.h"
#include "gui/app/power_off_dialog.h"
#include "gui/app/window_loop.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"
#include "gui/platform/power.h"
#include "support/fake_power_backend.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

namespace {

using namespace std::chrono_literals;

constexpr const char* kOwnBus = "PELLDRA_TEST_OWN_BUS";
constexpr const char* kManual = PELLDRA_SOURCE_MANUAL;
constexpr const char* kAnnounced = "http://www.tavin.example/news/6.html";

// How many times `name` came from another process.
qsizetype Heard(const QSignalSpy& spy, const char* name)
{
    return std::count_if(spy.begin(), spy.end(), [name](const QList<QVariant>& args) {
        return args.at(0).toString() == QLatin1String(name) && !args.at(1).toBool();
    });
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

class WindowServicesTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup()
    {
        env_.reset();
        QCOMPARE(unexpected_.Texts(), QStringList());
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
            QCOMPARE(power.powerOffCalls, 1);
            QCOMPARE(finished.count(), accepted ? 1 : 0);
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
        Broadcasts companion(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("companion")),
                             nullptr);
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
                HiddenUntilBroughtBack(app, dlg, *question, companion, companionGot, appGot);
                dlg.close(); // as a logout does, hidden or not
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
        QCOMPARE(question.exec(), int(QDialog::Rejected));
        QCOMPARE(finished.count(), 1);
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
        QCOMPARE(open.size(), 1);
        QVERIFY(open.front()->isVisible());
        QCOMPARE(PageShown(*open.front()), QStringLiteral("index.html"));
        QVERIFY(open.front()->windowTitle().startsWith(QStringLiteral("Pelldra マニュアル")));
        QVERIFY(hook.Texts().isEmpty());

        options.manualFolder = QString::fromStdString(env_->makeFolder("empty"));
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
            {"mailto:someone@example.org", "index.html", ""},
        };
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
        MessageHook hook;
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
        QVERIFY(hook.Texts().isEmpty());
    }

    void aWindowClosingWhileTheAnnouncementQuestionIsUpTakesTheQuestionAlong()
    {
        MessageHook hook;
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
        QVERIFY(opened.isEmpty() && hook.Texts().isEmpty());
    }

private:
    MessageHook unexpected_; // a message no test waits for fails its test instead of blocking it
    // Esc hid the window and what it showed. A second start and LinkScout each bring it back; a companion's
    // BossCome hides it again and is answered once, never while the window is hidden.
    static void HiddenUntilBroughtBack(CPelldraApp& app, CPelldraDlg& dlg, QDialog& question, Broadcasts& companion,
                                       const QSignalSpy& companionGot, const QSignalSpy& appGot)
    {
        QVERIFY(dlg.Hidden() && dlg.isHidden());
        QVERIFY(dlg.findChild<CHelpWindow*>()->isHidden() && question.isHidden());
        QCOMPARE(app.GetAppState(), QStringLiteral("hide"));
        QTRY_COMPARE(Heard(companionGot, broadcast::kBossCome), 1);
        QCOMPARE(Heard(companionGot, broadcast::kPopUp), 1); // the first showing announced itself
        qsizetype round = 0;
        for (const char* back : {broadcast::kSelfCall, broadcast::kFromHelper}) {
            ++round;
            QVERIFY(companion.Emit(QString::fromUtf8(back)));
            QTRY_VERIFY(dlg.isVisible());
            QVERIFY(!dlg.Hidden());
            QCOMPARE(app.GetAppState(), QStringLiteral("opened"));
            QVERIFY(companion.Emit(QString::fromUtf8(broadcast::kBossCome)));
            QTRY_VERIFY(dlg.isHidden());
            QCOMPARE(app.GetAppState(), QStringLiteral("hide"));
            // Called again while hidden, the window stays silent. Once the companion's marker has reached the
            // window, the window's own marker comes after any answer it gave.
            QVERIFY(companion.Emit(QString::fromUtf8(broadcast::kBossCome)));
            QVERIFY(companion.Emit(QStringLiteral("test-marker")));
            QTRY_COMPARE(Heard(appGot, "test-marker"), round);
            QVERIFY(app.GetBroadcasts().Emit(QStringLiteral("test-answer")));
            QTRY_COMPARE(Heard(companionGot, "test-answer"), round);
            QCOMPARE(Heard(companionGot, broadcast::kBossCome), 1 + round);
        }
    }

    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

int main(int argc, char* argv[])
{
    // The window answers broadcasts, so other test programs' on a shared bus would move it: these run on their own.
    if (!std::getenv(pelldra::kOwnBus)) {
        ::setenv(pelldra::kOwnBus, "1", 1);
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        std::perror("dbus-run-session"); // runs on, on whatever bus there is
    }
    QApplication application(argc, argv);
    pelldra::WindowServicesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_services_test.moc"
