// Tests of the credentials manager's dialogs: the login with its password change, and the list over a real store.
#include "gui/credentials/credential_edit_dialog.h"
#include "gui/credentials/credential_list_dialog.h"
#include "gui/credentials/credential_manager.h"
#include "gui/credentials/login_dialog.h"
#include "gui/credentials/password_change_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "core/credentials/login.h"
#include "core/credentials/ninsho_center.h"
#include "core/credentials/scramble.h"
#include "core/engine/download_engine.h"
#include "core/orders/detail_settings.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/platform/message_box.h"
#include "support/temp_env.h"
#include "support/when_shown.h"

namespace pelldra {

using test::WhenShown;

namespace {

void Type(QLineEdit* edit, const char* text)
{
    edit->setText(QString::fromUtf8(text));
}

} // namespace

class CredentialsTest final : public QObject
{
    Q_OBJECT

private slots:
    void firstLoginDefinesTheUserAndTheStoreReachesTheEngine()
    {
        test::TempEnv env;
        MessageHook hook;
        CPelldraDlg window;
        WhenShown<CLoginDlg>(this, [&hook](CLoginDlg* login) {
            QVERIFY(!login->ConfirmationEdit()->isHidden());
            Type(login->UserEdit(), "hana");
            Type(login->PasswordEdit(), "secret");
            Type(login->ConfirmationEdit(), "secrets");
            login->OkButton()->click();
            QCOMPARE(hook.Texts(), QStringList{QStringLiteral("パスワードが確認のために入力したものと異なります")});
            QVERIFY(login->isVisible());
            Type(login->ConfirmationEdit(), "secret");
            login->OkButton()->click();
        });
        QCOMPARE(window.Credentials().Open(true), 0);
        QCOMPARE(hook.Texts().size(), 1);
        const CTavinRegKey key(kNinshoCenterKeyPath);
        QCOMPARE(key.GetString("UserID"), std::string("hana"));
        QVERIFY(key.GetString("Password") != "secret");
        QCOMPARE(UnscramblePassword(key.GetString("Password")), std::string("secret"));
        QVERIFY(window.Credentials().IsOpen());
        QCOMPARE(window.Engine().CredentialStore(), window.Credentials().Store());
        window.Credentials().Close();
        QVERIFY(!window.Engine().CredentialStore());
    }

    void loginAnswersAndThePasswordChange()
    {
        test::TempEnv env;
        CTavinRegKey key(kNinshoCenterKeyPath);
        RecordLogin(key, {}, {"taro", "pw"});
        MessageHook hook;
        CCredentialManager manager(nullptr, {});

        // Confirmed at start and refused: the manager's use is switched off.
        DetailSettings settings;
        settings.UseCredentialManager = 1;
        settings.ConfirmUserAtStart = 1;
        WhenShown<CLoginDlg>(this, [](CLoginDlg* login) { login->CancelButton()->click(); });
        manager.OpenAtStart(settings);
        QCOMPARE(settings.UseCredentialManager, 0);
        QVERIFY(!manager.IsOpen());

        WhenShown<CLoginDlg>(this, [this, &hook](CLoginDlg* login) {
            QVERIFY(login->ConfirmationEdit()->isHidden());
            QCOMPARE(login->UserEdit()->text(), QStringLiteral("taro"));
            Type(login->PasswordEdit(), "wrong");
            login->OkButton()->click();
            QVERIFY(login->isVisible());
            QCOMPARE(hook.Texts(), QStringList{QStringLiteral("ユーザー[taro]のパスワードが正しくありません")});

            // A changed password logs in at once.
            WhenShown<CPasswordChangeDlg>(this, [&hook](CPasswordChangeDlg* change) {
                Type(change->CurrentEdit(), "wrong");
                Type(change->NewEdit(), "neu");
                Type(change->ConfirmationEdit(), "neu");
                change->OkButton()->click();
                QVERIFY(change->isVisible());
                Type(change->CurrentEdit(), "pw");
                change->OkButton()->click();
            });
            login->ChangeButton()->click();
        });
        QCOMPARE(manager.Open(true), 0);
        QCOMPARE(hook.Texts().size(), 2);
        QVERIFY(manager.IsOpen());
        QCOMPARE(ReadLoginValues(key), (LoginValues{"taro", "neu"}));
    }

    void listAddsEditsAndDeletesInTheStoreFile()
    {
        test::TempEnv env;
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
            Type(edit->SiteNameEdit(), "新しいサイト");
            Type(edit->SiteUrlEdit(), " http://new/ ");
            Type(edit->UserEdit(), "nu");
            Type(edit->PasswordEdit(), " np");
            edit->OkButton()->click();
        });
        list.AddNewButton()->click();
        WhenShown<CCredentialEditDlg>(this, [](CCredentialEditDlg* edit) {
            QCOMPARE(edit->SiteUrlEdit()->text(), QStringLiteral("http://now/members/"));
            Type(edit->PasswordEdit(), "mine");
            edit->OkButton()->click();
        });
        list.AddCurrentButton()->click();
        QCOMPARE(current.GetPassword(), std::string("mine"));
        QCOMPARE(view->topLevelItemCount(), 5);
        QCOMPARE(view->topLevelItem(3)->text(0), QStringLiteral("新しいサイト"));
        QCOMPARE(view->topLevelItem(3)->text(2), QStringLiteral(" np"));

        // A double click edits its row; the same site URL replaces the record.
        WhenShown<CCredentialEditDlg>(this, [](CCredentialEditDlg* edit) {
            QCOMPARE(edit->SiteUrlEdit()->text(), QStringLiteral("http://b/"));
            Type(edit->UserEdit(), "bee");
            edit->OkButton()->click();
        });
        const QRect row = view->visualItemRect(view->topLevelItem(1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(view->topLevelItemCount(), 5);
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
        QCOMPARE(reopened.GetAt(2).GetSiteUrl(), std::string("http://now/members/"));
        QCOMPARE(reopened.GetAt(2).GetPageUrl(), std::string("http://now/members/p.jpg"));
    }
};

} // namespace pelldra

QTEST_MAIN(pelldra::CredentialsTest)
#include "credentials_test.moc"
