// LinkScout's list orders reaching the real window over the session bus: run, or queued while a run goes on.
#include "gui/app/pelldra_dlg.h"

#include <QDBusConnection>
#include <QTest>

#include "core/linkscout/linkscout_orders.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/app/pelldra_app.h"
#include "gui/platform/broadcasts.h"
#include "gui/queue/notice_popup.h"
#include "support/main_window.h"
#include "support/private_bus.h"
#include "support/temp_env.h"

namespace pelldra {

namespace {

constexpr int kRunMs = 20000;

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

} // namespace

class LinkScoutOrdersTest final : public QObject
{
    Q_OBJECT

private slots:
    void listOrdersRunIntoTheSaveFolderOrQueueWhileARunGoesOn()
    {
        test::PrivateBus bus;
        QVERIFY(bus.ready());
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
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(test::ReadFile(second + "/2.jpg")), QStringLiteral("second"),
                                  kRunMs);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.RunState(), int(CPelldraDlg::kIdle), kRunMs);
        QCOMPARE(QString::fromStdString(test::ReadFile(first + "/1.jpg")), QStringLiteral("first"));
        // LinkScout's hand-over files are gone once their runs have finished.
        QVERIFY(!test::FileExists(tmp + "/a.lst"));
        QVERIFY(!test::FileExists(tmp + "/b.lst"));
        QCOMPARE(dlg.Queue().LoadAll(), 0);
        QVERIFY2(hook.Texts().isEmpty(), qPrintable(hook.Texts().join(QLatin1Char('|'))));
        app.SetMainWindow(nullptr);
    }
};

} // namespace pelldra

QTEST_MAIN(pelldra::LinkScoutOrdersTest)
#include "linkscout_orders_test.moc"
