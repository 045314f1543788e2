// Tests of the credentials manager's dialogs: the login with its password change, and the list over a real store.
// Which answers each dialog refuses is the core's; here the dialogs are driven over the store and the registry.
#include "gui/credentials/credential_edit_dialog.h"
#include "gui/credentials/credential_list_dialog.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/credentials/password_change_dialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/engine/download_engine.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/platform/message_box.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

using test::WhenShown;

class CredentialsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { env_ = std::make_unique<test::TempEnv>(); }
    void cleanup() { env_.reset(); }

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
        CCredentialManager manager(nullptr, {});
        DetailSettings settings;
        settings.UseCredentialManager = settings.ConfirmUserAtStart = 1;
        WhenShown<CLoginDlg>(this, [](CLoginDlg* login) { login->CancelButton()->click(); });
        manager.OpenAtStart(settings);
        QVERIFY(settings.UseCredentialManager == 0 && !manager.IsOpen());

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
            r.SetSiteUrl(key);
            r.SetUserId("u");
            store.Add(r, index);
        }
        CAuthRecord current;
        current.SetSiteUrl("http://now/members/");
        current.SetUserId("me");
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
        manager.Close(); // writes the file

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

QTEST_MAIN(pelldra::CredentialsTest)
#include "credentials_test.moc"
