// Orders reaching the real window over the session bus: LinkScout's list orders, run or queued while a run goes on,
// and pelldra-send from end to end, starting the window when none runs.
#include "gui/app/pelldra_dlg.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

#include "core/linkscout/linkscout_orders.h"
#include "core/platform/single_instance.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/app/pelldra_app.h"
#include "gui/platform/broadcasts.h"
#include "gui/queue/notice_popup.h"
#include "support/main_window.h"
#include "support/own_bus.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

using test::Q;

constexpr int kRunMs = 30000;

// LinkScout's side: a list file, the values naming it, then the broadcast from a connection of its own.
void SendListOrder(const std::string& list, const std::string& lines, const std::string& saveFolder)
{
    QVERIFY(test::WriteFile(list, lines));
    CTavinRegKey linkScout(kLinkScoutKeyPath);
    CTavinRegKey transfer(kTransferKeyPath);
    linkScout.SetString("Version", "1.60");
    linkScout.SetString("SaveFolder", saveFolder);
    transfer.SetString("name", "http://pages.example/album.html");
    transfer.SetString("type", "LINK");
    transfer.SetString("file", list);
    Broadcasts helper(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("linkscout")), nullptr);
    QVERIFY(helper.EmitAndFlush(QString::fromUtf8(broadcast::kFromHelper)));
}

struct Sent
{
    int status = -1;
    QString errors;
};

Sent Send(const QStringList& arguments)
{
    QProcess send;
    send.start(QStringLiteral(PELLDRA_SEND_TOOL), arguments);
    Sent result;
    if (send.waitForFinished(90000) && send.exitStatus() == QProcess::NormalExit)
        result.status = send.exitCode();
    result.errors = QString::fromUtf8(send.readAllStandardError());
    return result;
}

// The process holding the instance lock, as the kernel lists it; 0 when none.
pid_t WindowProcess()
{
    struct stat lock
    {
    };
    if (::stat(SingleInstanceLock::DefaultPath().c_str(), &lock) != 0)
        return 0;
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string id, kind, advisory, mode, where;
        pid_t pid = 0;
        fields >> id >> kind >> advisory >> mode >> pid >> where;
        if (kind == "FLOCK" && where.substr(where.rfind(':') + 1) == std::to_string(lock.st_ino))
            return pid;
    }
    return 0;
}

// The desktop's notification service, as far as pelldra-send uses it.
class FakeNotifications final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body, const QStringList&,
                const QVariantMap&, int)
    {
        bodies << body;
        return 1;
    }
};

// Ends the window that pelldra-send started, whatever the test's outcome.
struct EndWindow
{
    ~EndWindow()
    {
        if (const pid_t pid = WindowProcess(); pid > 0) {
            ::kill(pid, SIGTERM);
            // Not QTRY: it gives up at once after a failed check, and the window must go all the same.
            for (int i = 0; i < 200 && WindowProcess() == pid; ++i)
                QTest::qWait(100);
            if (WindowProcess() == pid)
                ::kill(pid, SIGKILL);
        }
    }
};

} // namespace

class LinkScoutOrdersTest final : public QObject
{
    Q_OBJECT

private slots:
    void listOrdersRunIntoTheSaveFolderOrQueueWhileARunGoesOn()
    {
        test::TempEnv env;
        test::TestHttpServer server;
        // The first order's file waits until the second order has been queued.
        test::Gate gate;
        server.AddHandler("/a/1.jpg", gate.Handler("first"));
        server.AddFile("/b/2.jpg", "second", "image/jpeg");
        const std::string first = env.makeFolder("first");
        const std::string second = env.makeFolder("second");
        const std::string tmp = env.makeFolder("tmp");

        MessageHook hook;
        CPelldraApp app;
        QCOMPARE(app.Start(), CPelldraApp::StartResult::Running);
        CPelldraDlg::Options options;
        options.app = &app;
        CPelldraDlg dlg(nullptr, options);
        app.SetMainWindow(&dlg);
        dlg.show();
        QCoreApplication::processEvents(); // the look at start finds nothing

        SendListOrder(tmp + "/a.lst", server.Url("/a/1.jpg") + "\r\n", first);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kRunning), kRunMs);
        QCOMPARE(dlg.CurrentJobMode(), JobMode::LinkScoutList);

        SendListOrder(tmp + "/b.lst", server.Url("/b/2.jpg") + "\r\n", second);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.Queue().LoadAll(), 1, kRunMs);
        QCOMPARE(dlg.Notice()->ShownText(),
                 QStringLiteral("LinkScoutからのダウンロード指令は待ち行列に取り込まれました"));

        // The first run ends; the queued order runs next, each into LinkScout's folder of its time.
        *gate.open = true;
        QTRY_COMPARE_WITH_TIMEOUT(Q(test::ReadFile(second + "/2.jpg")), QStringLiteral("second"), kRunMs);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
        QCOMPARE(Q(test::ReadFile(first + "/1.jpg")), QStringLiteral("first"));
        // LinkScout's hand-over files are gone once their runs have finished.
        QVERIFY(!test::FileExists(tmp + "/a.lst"));
        QVERIFY(!test::FileExists(tmp + "/b.lst"));
        QCOMPARE(dlg.Queue().LoadAll(), 0);
        QVERIFY2(hook.Texts().isEmpty(), qPrintable(hook.Texts().join(QLatin1Char('|'))));
        app.SetMainWindow(nullptr);
    }

    void sendsASeriesToANewWindowAndAListToTheRunningOne()
    {
        test::TempEnv env;
        test::TestHttpServer server;
        for (const char* path : {"/s/p1.jpg", "/s/p2.jpg", "/s/p3.jpg"})
            server.AddFile(path, path, "image/jpeg");
        server.AddFile("/l/x.jpg", "listed", "image/jpeg");
        // Named in Latin-1, not UTF-8: the order must still name this folder, byte for byte.
        const std::string series = env.makeFolder("series\xB0");
        const std::string listed = env.makeFolder("listed");
        const std::string list = env.root() + "/urls.lst";
        QVERIFY(test::WriteFile(list, server.Url("/l/x.jpg") + "\n"));
        EndWindow endWindow;

        // No window runs: the one beside pelldra-send starts and takes the order as it starts, counting on from 1
        // until the files run out, into the folder pelldra-send was started in.
        QCOMPARE(WindowProcess(), 0);
        const std::filesystem::path before = std::filesystem::current_path();
        QVERIFY(::chdir(series.c_str()) == 0);
        Sent sent = Send({QStringLiteral("--now"), Q(server.Url("/s/p2.jpg"))});
        std::filesystem::current_path(before);
        QCOMPARE(sent.errors, QString());
        QCOMPARE(sent.status, 0);
        QVERIFY(WindowProcess() > 0);
        // Up to three files come at a time, in any order.
        for (const char* name : {"p1.jpg", "p3.jpg"})
            QTRY_COMPARE_WITH_TIMEOUT(Q(test::ReadFile(series + "/" + name)),
                                      QStringLiteral("/s/") + QLatin1String(name), kRunMs);

        // The window runs: a list of a page's links goes to it on the bus. It deletes the list it was handed after
        // the run, so it was handed a copy.
        sent = Send({QStringLiteral("--list"), Q(list), QStringLiteral("--type"), QStringLiteral("LINK"),
                     QStringLiteral("--dir"), Q(listed)});
        QCOMPARE(sent.errors, QString());
        QCOMPARE(sent.status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(Q(test::ReadFile(listed + "/x.jpg")), QStringLiteral("listed"), kRunMs);
        QVERIFY(test::FileExists(list));

        // Refused before anything is handed over, and bad arguments: status and one line each. Without a terminal
        // (as from a file manager) the refusal is a desktop notification too; bad arguments come only from a caller
        // that has a terminal to read them.
        FakeNotifications notifications;
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                   QDBusConnection::ExportAllSlots));
        const QString none = Q(env.root() + "/none.lst"), lst = Q(list);
        const std::tuple<QStringList, int, const char*> refusals[] = {
            {{QStringLiteral("--list"), none}, 2, "ファイルが見つかりません"},
            {{QStringLiteral("--dir"), lst, QStringLiteral("http://h.example/1.jpg")}, 2, ""},
            {QStringLiteral("--type PAGE --list").split(' ') << lst, 4, "--type needs LINK or IMAGE"},
            {{}, 4, "give one URL, or --list FILE"}};
        for (const auto& [arguments, status, error] : refusals) {
            sent = Send(arguments);
            QCOMPARE(sent.status, status);
            QVERIFY2(sent.errors.startsWith(QStringLiteral("pelldra-send: ")) && sent.errors.count('\n') == 1 &&
                         sent.errors.contains(QString::fromUtf8(error)),
                     qPrintable(sent.errors));
            const QStringList shown = status == 2 ? QStringList{sent.errors.mid(14).trimmed()} : QStringList();
            QTRY_COMPARE(notifications.bodies, shown);
            notifications.bodies.clear();
        }
    }
};

} // namespace pelldra

int main(int argc, char* argv[])
{
    pelldra::test::RunOnOwnBus(argc, argv);
    QApplication application(argc, argv);
    pelldra::LinkScoutOrdersTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "linkscout_orders_test.moc"
