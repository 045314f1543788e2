// Tests of the small dialogs: the queue notice, the authentication prompt, the power-off countdown, the about box.
#include "gui/platform/message_box.h"
#include "gui/ui/about_dialog.h"
#include "gui/ui/auth_prompt.h"
#include "gui/ui/notice_popup.h"
#include "gui/ui/power_off_dialog.h"

#include "support/fake_power_backend.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace pelldra {

class SmallDialogsTest final : public QObject
{
    Q_OBJECT

private slots:
    void noticeWordingFollowsTheOrigin_data();
    void noticeWordingFollowsTheOrigin();
    void noticeClosesAfterItsDelayAndStartsAgainWhenShownAgain();
    void noticeClosesOnAClick();
    void noticeClosesWhenItLosesActivation();
    void noticeIsCentredOnTheMainWindow();
    void authPromptGivesWhatWasTyped();
    void authPromptEndsAsCancelledWhenLeftAlone();
    void authPromptClosedByItsTransferFromAnotherThread();
    void authPromptAlreadyCancelledIsNeverShown();
    void countdownCountsDownAndEndsWithOkOnZero();
    void countdownButtons_data();
    void countdownButtons();
    void powerOffOutcomes_data();
    void powerOffOutcomes();
    void aboutBoxShowsTheVersionAndReportsEscapeOnly();
};

void SmallDialogsTest::noticeWordingFollowsTheOrigin_data()
{
    QTest::addColumn<int>("origin");
    QTest::addColumn<QString>("text");
    const QString rest = QStringLiteral("ダウンロード指令は待ち行列に取り込まれました");
    QTest::newRow("own start command") << 0 << QStringLiteral("ただいまの") + rest;
    QTest::newRow("LinkScout order") << 1 << QStringLiteral("LinkScoutからの") + rest;
    QTest::newRow("busy queue run") << 2 << QStringLiteral("LinkScoutからの") + rest;
}

void SmallDialogsTest::noticeWordingFollowsTheOrigin()
{
    QFETCH(int, origin);
    QFETCH(QString, text);
    QWidget window;
    window.show();
    CNoticePopup popup(&window);
    // The note is reused: a different earlier origin must not leave its label behind.
    popup.ShowNotice(origin == 0 ? 1 : 0);
    popup.hide();
    popup.ShowNotice(origin);
    QVERIFY(popup.isVisible());
    QCOMPARE(popup.ShownText(), text);
    QVERIFY(popup.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(popup.palette().color(QPalette::Window), QColor(240, 240, 160));
}

void SmallDialogsTest::noticeClosesAfterItsDelayAndStartsAgainWhenShownAgain()
{
    QWidget window;
    window.show();
    CNoticePopup popup(&window);
    popup.SetCloseDelay(300ms);
    popup.ShowNotice(0);
    QTest::qWait(200);
    popup.ShowNotice(1); // a second order while the note is up: the wording changes, the delay starts again
    QCOMPARE(popup.ShownText().left(9), QStringLiteral("LinkScout"));
    QTest::qWait(200);
    QVERIFY(popup.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 2000);
    popup.ShowNotice(0);
    QVERIFY(popup.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 2000);
}

void SmallDialogsTest::noticeClosesOnAClick()
{
    QWidget window;
    window.show();
    CNoticePopup popup(&window);
    popup.ShowNotice(0);
    // On a label, too: the whole note takes the click.
    QTest::mouseClick(&popup, Qt::LeftButton, {}, popup.rect().center());
    QVERIFY(!popup.isVisible());
}

void SmallDialogsTest::noticeClosesWhenItLosesActivation()
{
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CNoticePopup popup(&window);
    popup.ShowNotice(0);
    QTRY_VERIFY(popup.isActiveWindow());
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!popup.isVisible());
}

void SmallDialogsTest::noticeIsCentredOnTheMainWindow()
{
    QWidget window;
    window.setGeometry(100, 100, 640, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CNoticePopup popup(&window);
    popup.ShowNotice(0);
    const QPoint gap = popup.frameGeometry().center() - window.frameGeometry().center();
    QVERIFY2(gap.manhattanLength() <= 2, qPrintable(QStringLiteral("off by %1,%2").arg(gap.x()).arg(gap.y())));
}

void SmallDialogsTest::authPromptGivesWhatWasTyped()
{
    CAuthPromptDlg dialog(nullptr, QStringLiteral("http://example.com/<b>secret</b>/"), 60000ms);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("インターネット認証"));
    QCOMPARE(dialog.UrlLabel()->text(), QStringLiteral("http://example.com/<b>secret</b>/"));
    QCOMPARE(dialog.UrlLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QTest::keyClicks(dialog.UserEdit(), QStringLiteral("taro"));
    QTest::keyClicks(dialog.PasswordEdit(), QStringLiteral("p@ss word"));
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    QCOMPARE(dialog.User(), QStringLiteral("taro"));
    QCOMPARE(dialog.Password(), QStringLiteral("p@ss word"));
}

void SmallDialogsTest::authPromptEndsAsCancelledWhenLeftAlone()
{
    CredentialsPrompt prompt;
    QTimer::singleShot(0, this, [] {
        if (auto* d = qobject_cast<CAuthPromptDlg*>(QApplication::activeModalWidget()))
            QTest::keyClicks(d->UserEdit(), QStringLiteral("typed but not sent"));
    });
    const auto started = std::chrono::steady_clock::now();
    const CredentialsAnswer answer = AskCredentialsInDialog(nullptr, "http://h/a.jpg", 150ms, prompt);
    const auto took = std::chrono::steady_clock::now() - started;
    QVERIFY(!answer.ok);
    QCOMPARE(answer.user, std::string());
    QVERIFY(took >= 140ms);
    QVERIFY(took < 5s);
}

void SmallDialogsTest::authPromptClosedByItsTransferFromAnotherThread()
{
    CredentialsPrompt prompt;
    bool typed = false;
    QTimer::singleShot(0, this, [&] {
        if (auto* d = qobject_cast<CAuthPromptDlg*>(QApplication::activeModalWidget())) {
            QTest::keyClicks(d->UserEdit(), QStringLiteral("u"));
            typed = true;
        }
    });
    std::thread transfer([&prompt] {
        std::this_thread::sleep_for(200ms);
        prompt.Cancel();
    });
    const CredentialsAnswer answer = AskCredentialsInDialog(nullptr, "http://h/a.jpg", 0ms, prompt);
    transfer.join();
    QVERIFY(typed);
    QVERIFY(!answer.ok);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    // A cancel arriving after the prompt has gone must not touch the destroyed dialog.
    prompt.Cancel();
    QTest::qWait(50);
}

void SmallDialogsTest::authPromptAlreadyCancelledIsNeverShown()
{
    CredentialsPrompt prompt;
    prompt.Cancel();
    bool shown = false;
    QTimer::singleShot(0, this, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            shown = true;
            w->close();
        }
    });
    QVERIFY(!AskCredentialsInDialog(nullptr, "http://h/", 0ms, prompt).ok);
    QTest::qWait(20);
    QVERIFY(!shown);
}

void SmallDialogsTest::countdownCountsDownAndEndsWithOkOnZero()
{
    CPowerOffDlg dialog(nullptr, 5ms);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ＰＣの電源を切ります"));
    QStringList shown;
    connect(&dialog, &CPowerOffDlg::RemainingShown, this, [&](const QString& text) { shown << text; });
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Accepted));

    QStringList expected;
    for (int n = 60; n >= 0; --n)
        expected << QStringLiteral("%1 秒").arg(n);
    QCOMPARE(shown, expected);
    QCOMPARE(dialog.Progress(), 60);
    // Ended on the tick that showed 0; nothing ticks afterwards.
    QTest::qWait(30);
    QCOMPARE(shown.size(), 61);
}

void SmallDialogsTest::countdownButtons_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("do it now") << QStringLiteral("now") << int(QDialog::Accepted);
    QTest::newRow("cancel button") << QStringLiteral("cancel") << int(QDialog::Rejected);
    QTest::newRow("escape") << QStringLiteral("esc") << int(QDialog::Rejected);
}

void SmallDialogsTest::countdownButtons()
{
    QFETCH(QString, action);
    QFETCH(int, result);
    CPowerOffDlg dialog(nullptr); // the real second: nothing may end it but the action
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.open();
    QCOMPARE(dialog.RemainingText(), QStringLiteral("60 秒"));
    QCOMPARE(dialog.NowButton()->text(), QStringLiteral("直ちに実行"));
    QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    if (action == QLatin1String("now"))
        QTest::mouseClick(dialog.NowButton(), Qt::LeftButton);
    else if (action == QLatin1String("cancel"))
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    else
        QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), result);
    QCOMPARE(dialog.RemainingText(), QStringLiteral("60 秒"));
}

void SmallDialogsTest::powerOffOutcomes_data()
{
    using P = PowerBackend::Permission;
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<P>("permission");
    QTest::addColumn<bool>("callSucceeds");
    QTest::addColumn<bool>("switchedOff");
    QTest::addColumn<int>("powerOffCalls");
    QTest::addColumn<QString>("message");
    QTest::newRow("allowed") << true << P::Yes << true << true << 1 << QString();
    QTest::newRow("after authentication") << true << P::Challenge << true << true << 1 << QString();
    QTest::newRow("no privilege") << true << P::No << true << false << 0
                                  << QStringLiteral("電源ＯＦＦの特権がありません");
    QTest::newRow("call fails") << true << P::Yes << false << false << 1 << QStringLiteral("電源ＯＦＦできません");
    QTest::newRow("not available") << true << P::NotAvailable << false << false << 1
                                   << QStringLiteral("電源ＯＦＦできません");
    QTest::newRow("question failed, call works") << true << P::Unknown << true << true << 1 << QString();
    QTest::newRow("countdown cancelled") << false << P::Yes << true << false << 0 << QString();
}

void SmallDialogsTest::powerOffOutcomes()
{
    QFETCH(bool, confirm);
    QFETCH(PowerBackend::Permission, permission);
    QFETCH(bool, callSucceeds);
    QFETCH(bool, switchedOff);
    QFETCH(int, powerOffCalls);
    QFETCH(QString, message);
    test::FakePowerBackend backend;
    backend.permission = permission;
    backend.powerOffSucceeds = callSucceeds;
    MessageHook hook;
    QTimer::singleShot(0, this, [confirm] {
        if (auto* d = qobject_cast<CPowerOffDlg*>(QApplication::activeModalWidget()))
            (confirm ? d->NowButton() : d->CancelButton())->click();
    });
    QCOMPARE(ConfirmAndPowerOff(nullptr, backend), switchedOff);
    QCOMPARE(backend.powerOffCalls, powerOffCalls);
    QCOMPARE(hook.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
}

void SmallDialogsTest::aboutBoxShowsTheVersionAndReportsEscapeOnly()
{
    QCOMPARE(CAboutDlg::VersionLine(), QStringLiteral("Pelldra Version 1.79"));
    for (const bool byEscape : {true, false}) {
        CAboutDlg about(nullptr);
        QCOMPARE(about.windowTitle(), QStringLiteral("Pelldraのﾊﾞｰｼﾞｮﾝ情報"));
        auto* line = about.findChild<QLabel*>(QStringLiteral("versionLine"));
        QVERIFY(line);
        QCOMPARE(line->text(), QStringLiteral("Pelldra Version 1.79"));
        QSignalSpy escape(&about, &CAboutDlg::ClosedWithEscape);
        QSignalSpy finished(&about, &QDialog::finished);
        about.open();
        if (byEscape)
            QTest::keyClick(&about, Qt::Key_Escape);
        else
            about.close(); // the close box
        QCOMPARE(finished.size(), 1);
        QCOMPARE(escape.size(), byEscape ? 1 : 0);
    }
}

} // namespace pelldra

Q_DECLARE_METATYPE(pelldra::PowerBackend::Permission)

QTEST_MAIN(pelldra::SmallDialogsTest)
#include "small_dialogs_test.moc"
