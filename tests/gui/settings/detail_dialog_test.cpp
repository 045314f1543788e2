// Tests of the detail settings dialog over the main window: what OK keeps and cancel does not, the credentials
// switches, and settings reaching the next run's requests.
#include "gui/settings/detail_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "core/settings/settings_file.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

using test::WhenShown;

namespace {

template <typename T = QWidget> T* Get(QWidget* dialog, const char* name)
{
    T* w = dialog->findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

void Click(QWidget* dialog, const char* name)
{
    Get<QAbstractButton>(dialog, name)->click();
}

void Type(QWidget* dialog, const char* name, const char* text)
{
    QWidget* w = Get(dialog, name);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(QString::fromUtf8(text));
    else
        QTest::keyClicks(w, QString::fromUtf8(text));
}

// Opens the detail dialog from the main window's button and acts on it; act must close it.
void InDetailDialog(QObject* context, CPelldraDlg& window, std::function<void(CDetailDlg*)> act)
{
    WhenShown<CDetailDlg>(context, std::move(act));
    Get<QPushButton>(&window, "detailButton")->click();
}

struct Window
{
    Window()
    {
        std::remove(SettingsFilePath().c_str());
        std::remove(KeptOrderFilePath().c_str());
        dlg.show();
    }
    MessageHook hook;
    CPelldraDlg dlg;
};

} // namespace

class DetailDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

    void okKeepsTheControlsWhileCancelEscAndTheCloseBoxKeepNothing()
    {
        Window w;
        w.dlg.UrlEdit()->insertPlainText(QStringLiteral("http://h.example/vol2/p05.jpg"));
        w.dlg.Settings().BossKey = 1;
        const DetailSettings before = w.dlg.Settings();
        auto change = [](CDetailDlg* d) {
            Type(d, "refererEdit", "http://h.example/vol2/index05.html");
            Click(d, "syncLower");
            Click(d, "browserMsie");
            Click(d, "speedFast");
            Click(d, "useProxy");
            Type(d, "proxyHost", "px.example");
            Type(d, "proxyPort", "3128");
            Type(d, "authUser", "u");
        };
        const std::function<void(CDetailDlg*)> closers[] = {
            [](CDetailDlg* d) { Click(d, "cancelButton"); },
            [](CDetailDlg* d) { d->close(); },
            [](CDetailDlg* d) { QTest::keyClick(d, Qt::Key_Escape); },
        };
        for (const auto& close : closers) {
            InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
                change(d);
                close(d);
            });
            QVERIFY(w.dlg.Settings() == before);
            QCOMPARE(w.dlg.Url().GetSyncFlags(), 0);
        }
        // Esc alone was also the main window's cancel: with the boss key on, the window hid.
        QVERIFY(w.dlg.Hidden());

        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            change(d);
            Type(d, "proxyPort", "3128a");
            Click(d, "okButton");
            QCOMPARE(w.hook.Texts(), QStringList{QString::fromUtf8(kProxyPortNotDigits)});
            QVERIFY(d->isVisible());
            Type(d, "proxyPort", "3128");
            Click(d, "okButton");
        });
        const DetailSettings& s = w.dlg.Settings();
        QCOMPARE(s.Referer, std::string("http://h.example/vol2/index05.html"));
        QCOMPARE(s.syncFlags, 1);
        QCOMPARE(w.dlg.Url().GetSyncFlags(), 1);
        QCOMPARE(s.Browser, int(kBrowserMsie));
        QCOMPARE(s.Speed, 3);
        QCOMPARE(ProxyTextOf(s), std::string("px.example:3128"));
        QCOMPARE(s.AuthUser, std::string("u"));
    }

    void credentialsSwitchOpensBehindTheLoginAndCancelClosesItAgain()
    {
        Window w;
        CTavinRegKey key(kNinshoCenterKeyPath);
        RecordLogin(key, {}, {"taro", "pw"});
        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            auto* manager = Get<QCheckBox>(d, "useManager");
            QVERIFY(Get(d, "record")->isVisible() && !Get(d, "lookUp")->isVisible());
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
            QVERIFY(Get(d, "lookUp")->isVisible() && !Get(d, "record")->isVisible());
            QVERIFY(Get(d, "editCredentials")->isEnabled());
            // Nothing is stored for the main URL.
            Click(d, "lookUp");
            QCOMPARE(w.hook.Texts().last(), QString::fromUtf8(CDetailDlg::kNoMatch));

            // Turning the confirmation off is asked first; No keeps it.
            auto* confirm = Get<QCheckBox>(d, "confirmAtStart");
            confirm->click();
            w.hook.QueueAnswer(MessageAnswer::No);
            confirm->click();
            QCOMPARE(w.hook.Texts().last(), QString::fromUtf8(CDetailDlg::kConfirmOffQuestion));
            QVERIFY(confirm->isChecked());
            Click(d, "cancelButton");
        });
        QVERIFY(!w.dlg.Credentials().IsOpen());
        QCOMPARE(w.dlg.Settings().UseCredentialManager, 0);
    }

    void keptSettingsReachTheNextRunsRequests()
    {
        test::TestHttpServer server;
        server.AddFile("/s/p01.jpg", "one", "image/jpeg");
        server.AddFile("/s/p02.jpg", "two", "image/jpeg");
        Window w;
        w.dlg.FolderEdit()->setText(QString::fromStdString(env_->makeFolder("got")));
        w.dlg.UrlEdit()->insertPlainText(QString::fromStdString(server.Url("/s/p05.jpg")));
        const std::string referer = server.Url("/s/index05.html");
        InDetailDialog(this, w.dlg, [&](CDetailDlg* d) {
            Type(d, "refererEdit", referer.c_str());
            Click(d, "syncLower");
            Click(d, "browserNetscape");
            Click(d, "wholeSequence");
            Click(d, "okButton");
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
