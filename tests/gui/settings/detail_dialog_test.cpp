// Tests of the detail settings dialog over the main window: OK keeps, cancel does not, the credentials switches, and
// settings reaching the next run's requests. Each control's setting and the port rule are the core's form.
#include "gui/settings/detail_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/credentials/login.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/main_window.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

using test::WhenShown;

namespace {

template <typename T = QAbstractButton> T* Get(QWidget* dialog, const char* name)
{
    T* w = dialog->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

void Type(QWidget* dialog, const char* name, const std::string& text)
{
    QTest::keyClicks(Get<QWidget>(dialog, name), QString::fromStdString(text));
}

// Opens the detail dialog from the main window's button and acts on it; act must close it.
void InDetailDialog(QObject* context, CPelldraDlg& window, std::function<void(CDetailDlg*)> act)
{
    WhenShown<CDetailDlg>(context, std::move(act));
    Get(&window, "detailButton")->click();
}

} // namespace

class DetailDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

    void okKeepsTheControlsWhileCancelEscAndTheCloseBoxKeepNothing()
    {
        test::ShownWindow w;
        w.dlg.Settings().BossKey = 1;
        const DetailSettings before = w.dlg.Settings();
        const std::function<void(CDetailDlg*)> closers[] = {
            [](CDetailDlg* d) { Get(d, "cancelButton")->click(); },
            [](CDetailDlg* d) { d->close(); },
            [](CDetailDlg* d) { QTest::keyClick(d, Qt::Key_Escape); },
        };
        for (const auto& close : closers) {
            InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
                Get(d, "syncLower")->click();
                Get(d, "useProxy")->click();
                close(d);
            });
            QVERIFY(w.dlg.Settings() == before);
            QCOMPARE(w.dlg.Url().GetSyncFlags(), 0);
        }
        // Esc alone was also the main window's cancel: with the boss key on, the window hid.
        QVERIFY(w.dlg.Hidden());

        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            Get(d, "syncLower")->click();
            Get(d, "useProxy")->click();
            Get<QLineEdit>(d, "proxyPort")->setText(QStringLiteral("3128a"));
            Get(d, "okButton")->click();
            QCOMPARE(w.hook.Texts(), QStringList{QString::fromUtf8(kProxyPortNotDigits)});
            Get<QLineEdit>(d, "proxyPort")->setText(QStringLiteral("3128"));
            Get(d, "okButton")->click();
        });
        QCOMPARE(w.dlg.Settings().syncFlags, 1);
        QCOMPARE(w.dlg.Url().GetSyncFlags(), 1);
        QCOMPARE(w.dlg.Settings().UseProxy, 1);
        QCOMPARE(w.dlg.Settings().ProxyPort, std::string("3128"));
    }

    void credentialsSwitchOpensBehindTheLoginAndCancelClosesItAgain()
    {
        test::ShownWindow w;
        CTavinRegKey key(kNinshoCenterKeyPath);
        RecordLogin(key, {}, {"taro", "pw"});
        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            auto* manager = Get<QCheckBox>(d, "useManager");
            WhenShown<CLoginDlg>(this, [](CLoginDlg* login) { login->CancelButton()->click(); });
            manager->click();
            QCOMPARE(w.hook.Texts(), QStringList{QString::fromUtf8(CDetailDlg::kManagerRefused)});
            QVERIFY(!manager->isChecked() && !w.dlg.Credentials().IsOpen());

            WhenShown<CLoginDlg>(this, [](CLoginDlg* login) {
                login->PasswordEdit()->setText(QStringLiteral("pw"));
                login->OkButton()->click();
            });
            manager->click();
            QVERIFY(manager->isChecked() && w.dlg.Credentials().IsOpen());
            QVERIFY(Get<QWidget>(d, "lookUp")->isVisible() && !Get<QWidget>(d, "record")->isVisible());
            // Nothing is stored for the main URL.
            Get(d, "lookUp")->click();
            QCOMPARE(w.hook.Texts().last(), QString::fromUtf8(CDetailDlg::kNoMatch));

            // Turning the confirmation off is asked first; No keeps it.
            auto* confirm = Get<QCheckBox>(d, "confirmAtStart");
            confirm->click();
            w.hook.QueueAnswer(MessageAnswer::No);
            confirm->click();
            QCOMPARE(w.hook.Texts().last(), QString::fromUtf8(CDetailDlg::kConfirmOffQuestion));
            QVERIFY(confirm->isChecked());
            Get(d, "cancelButton")->click();
        });
        QVERIFY(!w.dlg.Credentials().IsOpen());
        QCOMPARE(w.dlg.Settings().UseCredentialManager, 0);
    }

    void keptSettingsReachTheNextRunsRequests()
    {
        test::TestHttpServer server;
        server.AddFile("/s/p01.jpg", "one", "image/jpeg");
        server.AddFile("/s/p02.jpg", "two", "image/jpeg");
        test::ShownWindow w(env_->makeFolder("got"));
        w.dlg.UrlEdit()->insertPlainText(test::Q(server.Url("/s/p05.jpg")));
        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            Type(d, "refererEdit", server.Url("/s/index05.html"));
            Get(d, "syncLower")->click();
            Get(d, "browserNetscape")->click();
            Get(d, "wholeSequence")->click();
            Get(d, "okButton")->click();
        });
        // The whole sequence: from the first number on, with the URL's width.
        QCOMPARE(w.dlg.LowerFrom()->text(), QStringLiteral("01"));
        QCOMPARE(w.dlg.LowerTo()->text(), QString());
        w.dlg.LowerTo()->setText(QStringLiteral("02"));
        w.dlg.OnStart();
        QTRY_COMPARE_WITH_TIMEOUT(w.dlg.RunState(), int(CPelldraDlg::kIdle), 15000);
        for (const char* n : {"01", "02"}) {
            const auto got = server.RequestsFor(std::string("/s/p") + n + ".jpg");
            QCOMPARE(got.size(), size_t(1));
            QCOMPARE(got[0].Header("User-Agent"), UserAgentFor(kBrowserNetscape));
            QCOMPARE(got[0].Header("Referer"), server.Url(std::string("/s/index") + n + ".html"));
        }
    }

private:
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::DetailDialogTest)
#include "detail_dialog_test.moc"
