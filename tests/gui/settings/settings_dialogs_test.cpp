// Tests of the detail settings dialog over the main window and of the credentials manager's dialogs over a real
// store. Each control's setting, the port rule and which answers each dialog refuses are the core's.
#include "gui/settings/detail_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/engine/download_engine.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/credentials/credential_edit_dialog.h"
#include "gui/credentials/credential_list_dialog.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/credentials/password_change_dialog.h"
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

// Opens the detail dialog from the main window's button and acts on it; act must close it.
void InDetailDialog(QObject* context, CPelldraDlg& window, std::function<void(CDetailDlg*)> act)
{
    WhenShown<CDetailDlg>(context, std::move(act));
    Get(&window, "detailButton")->click();
}

} // namespace

class SettingsDialogsTest final : public QObject
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
            // Tab follows the rows: the user name's clear button comes before the password.
            d->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(d));
            Get<QLineEdit>(d, "authUser")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), Get<QWidget>(d, "clearAuth"));
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
            QTest::keyClicks(Get<QWidget>(d, "refererEdit"), test::Q(server.Url("/s/index05.html")));
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

    void firstLoginDefinesTheUserAndTheStoreReachesTheEngine()
    {
        MessageHook hook;
        CPelldraDlg window;
        WhenShown<CLoginDlg>(this, [&hook](CLoginDlg* login) {
            QVERIFY(!login->ConfirmationEdit()->isHidden());
            login->UserEdit()->setText(QStringLiteral("hana"));
            login->PasswordEdit()->setText(QStringLiteral("secret"));
            login->ConfirmationEdit()->setText(QStringLiteral("secrets"));
            login->OkButton()->click(); // refused: said so, and the dialog stays
            QCOMPARE(hook.Texts(), QStringList{QString::fromUtf8(kLoginConfirmationDiffers)});
            login->ConfirmationEdit()->setText(QStringLiteral("secret"));
            login->OkButton()->click();
        });
        QCOMPARE(window.Credentials().Open(true), 0);
        QCOMPARE(ReadLoginValues(CTavinRegKey(kNinshoCenterKeyPath)), (LoginValues{"hana", "secret"}));
        QCOMPARE(window.Engine().CredentialStore(), window.Credentials().Store());
        window.Credentials().Close();
        QVERIFY(!window.Engine().CredentialStore());
    }

    void aRefusedLoginAtStartSwitchesTheManagerOffAndAChangedPasswordLogsIn()
    {
        CTavinRegKey key(kNinshoCenterKeyPath);
        RecordLogin(key, {}, {"taro", "pw"});
        MessageHook hook;
        QWidget window; // not shown yet, as at start
        CCredentialManager manager(&window, {});
        DetailSettings settings;
        settings.UseCredentialManager = settings.ConfirmUserAtStart = 1;
        QPoint centre;
        WhenShown<CLoginDlg>(this, [&centre](CLoginDlg* login) {
            centre = login->geometry().center();
            login->CancelButton()->click();
        });
        manager.OpenAtStart(settings);
        QVERIFY(settings.UseCredentialManager == 0 && !manager.IsOpen());
        // In the middle of the screen (give or take its frame), not in the corner of the unshown window.
        QVERIFY((centre - window.screen()->availableGeometry().center()).manhattanLength() <= 8);

        WhenShown<CLoginDlg>(this, [this](CLoginDlg* login) {
            QVERIFY(login->ConfirmationEdit()->isHidden());
            QCOMPARE(login->UserEdit()->text(), QStringLiteral("taro"));
            WhenShown<CPasswordChangeDlg>(this, [](CPasswordChangeDlg* change) {
                change->CurrentEdit()->setText(QStringLiteral("pw"));
                change->NewEdit()->setText(QStringLiteral("neu"));
                change->ConfirmationEdit()->setText(QStringLiteral("neu"));
                change->OkButton()->click();
            });
            login->ChangeButton()->click();
        });
        QCOMPARE(manager.Open(true), 0);
        QVERIFY(manager.IsOpen());
        QCOMPARE(ReadLoginValues(key), (LoginValues{"taro", "neu"}));
        QVERIFY(hook.Texts().isEmpty());
    }

    void listAddsEditsAndDeletesInTheStoreFile()
    {
        MessageHook hook;
        CCredentialManager manager(nullptr, {});
        CNinshoCenter& store = manager.StoreOpenedWithoutLogin();
        int index = 0;
        for (const char* key : {"http://a/", "http://b/", "http://c/"}) {
            CAuthRecord r;
            r.SetSiteUrl(key), r.SetUserId("u");
            store.Add(r, index);
        }
        CAuthRecord current;
        current.SetSiteUrl("http://now/members/"), current.SetUserId("me"),
            current.SetPageUrl("http://now/members/p.jpg");
        CCredentialListDlg list(nullptr, store, current);
        QTreeWidget* view = list.List();
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));

        list.EditButton()->click(); // several rows, none selected
        QCOMPARE(hook.Texts(), QStringList{QStringLiteral("編集するアイテムを選択して下さい。")});

        WhenShown<CCredentialEditDlg>(this, [](CCredentialEditDlg* edit) {
            edit->SiteNameEdit()->setText(QStringLiteral("新しいサイト"));
            edit->SiteUrlEdit()->setText(QStringLiteral(" http://new/ "));
            edit->UserEdit()->setText(QStringLiteral("nu"));
            edit->PasswordEdit()->setText(QStringLiteral(" np"));
            edit->OkButton()->click();
        });
        list.AddNewButton()->click();
        WhenShown<CCredentialEditDlg>(this, [](CCredentialEditDlg* edit) {
            QCOMPARE(edit->SiteUrlEdit()->text(), QStringLiteral("http://now/members/"));
            edit->PasswordEdit()->setText(QStringLiteral("mine"));
            edit->OkButton()->click();
        });
        list.AddCurrentButton()->click();
        QCOMPARE(current.GetPassword(), std::string("mine"));
        QCOMPARE(view->topLevelItemCount(), 5);
        QCOMPARE(view->topLevelItem(3)->text(2), QStringLiteral(" np"));

        // A double click edits its row; the same site URL replaces the record.
        WhenShown<CCredentialEditDlg>(this, [](CCredentialEditDlg* edit) {
            QCOMPARE(edit->SiteUrlEdit()->text(), QStringLiteral("http://b/"));
            edit->UserEdit()->setText(QStringLiteral("bee"));
            edit->OkButton()->click();
        });
        const QRect row = view->visualItemRect(view->topLevelItem(1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(view->topLevelItem(1)->text(1), QStringLiteral("bee"));

        view->clearSelection();
        view->topLevelItem(0)->setSelected(true);
        view->topLevelItem(2)->setSelected(true);
        list.DeleteButton()->click();
        QCOMPARE(view->topLevelItemCount(), 3);
        list.CloseButton()->click();
        QVERIFY(!list.isVisible());
        // Each change is in the file already: a program killed now loses none.

        CNinshoCenter reopened(RegisteredStoreSetup());
        QCOMPARE(reopened.GetCount(), 3);
        QCOMPARE(reopened.GetAt(0).GetUserId(), std::string("bee"));
        const CAuthRecord added = reopened.GetAt(1);
        QCOMPARE(added.GetSiteName(), std::string("新しいサイト"));
        QCOMPARE(added.GetSiteUrl(), std::string("http://new/"));
        QCOMPARE(added.GetPassword(), std::string(" np"));
        QCOMPARE(reopened.GetAt(2).GetPageUrl(), std::string("http://now/members/p.jpg"));
    }

private:
    std::unique_ptr<test::TempEnv> env_;
};

} // namespace pelldra

QTEST_MAIN(pelldra::SettingsDialogsTest)
#include "settings_dialogs_test.moc"
