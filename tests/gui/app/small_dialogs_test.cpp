// Tests of the small dialogs: the queue notice, the authentication prompt, the power-off countdown, the about box,
// and the message function's real box and file filters.
#include "gui/app/about_dialog.h"
#include "gui/app/main_icons.h"
#include "gui/app/power_off_dialog.h"
#include "gui/credentials/auth_prompt.h"
#include "gui/platform/message_box.h"
#include "gui/platform/qt_translations.h"
#include "gui/queue/notice_popup.h"

#include "support/fake_power_backend.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <optional>
#include <thread>
#include <tuple>

using namespace std::chrono_literals;

namespace pelldra {

class SmallDialogsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { unexpected_.emplace(); }
    void cleanup() { QCOMPARE(unexpected_ ? unexpected_->Texts() : QStringList(), QStringList()); }
    void noticeFollowsItsOriginSitsCentredAndClosesAfterItsDelayOrOnAClick()
    {
        QWidget window;
        window.setGeometry(100, 100, 640, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CNoticePopup popup(&window);
        popup.SetCloseDelay(300ms);
        const QString rest = QStringLiteral("ダウンロード指令は待ち行列に取り込まれました");
        // The note is reused: a different earlier origin must not leave its label behind. 1 is an order from
        // LinkScout, 2 one that came while the queue ran.
        const std::pair<int, QString> cases[] = {{1, QStringLiteral("LinkScoutからの") + rest},
                                                 {0, QStringLiteral("ただいまの") + rest},
                                                 {2, QStringLiteral("LinkScoutからの") + rest}};
        for (const auto& [origin, text] : cases) {
            popup.hide();
            popup.ShowNotice(origin);
            QVERIFY(popup.isVisible());
            QCOMPARE(popup.ShownText(), text);
        }
        const QPoint gap = popup.frameGeometry().center() - window.frameGeometry().center();
        QVERIFY2(gap.manhattanLength() <= 2, qPrintable(QStringLiteral("off by %1,%2").arg(gap.x()).arg(gap.y())));
        // On a label, too: the whole note takes the click.
        QTest::mouseClick(&popup, Qt::LeftButton, {}, popup.rect().center());
        QVERIFY(!popup.isVisible());

        popup.ShowNotice(0);
        QTest::qWait(200);
        popup.ShowNotice(1); // a second order while the note is up: the delay starts again
        QTest::qWait(200);
        QVERIFY(popup.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 2000);
    }

    void authPromptGivesWhatWasTypedOrEndsAsCancelledWhenLeftAlone()
    {
        QTimer::singleShot(0, this, [] {
            auto* d = qobject_cast<CAuthPromptDlg*>(QApplication::activeModalWidget());
            QVERIFY(d); // the prompt's own limit then ends it
            // A URL is shown as text, never read as markup.
            QVERIFY(d->UrlLabel()->textFormat() == Qt::PlainText &&
                    d->PasswordEdit()->echoMode() == QLineEdit::Password);
            QTest::keyClicks(d->UserEdit(), QStringLiteral("taro"));
            QTest::keyClicks(d->PasswordEdit(), QStringLiteral("p@ss word"));
            QTest::mouseClick(d->OkButton(), Qt::LeftButton);
        });
        CredentialsPrompt prompt;
        const CredentialsAnswer given =
            AskCredentialsInDialog(nullptr, "http://example.com/<b>secret</b>/", 20s, prompt);
        QVERIFY(given.ok && given.user == "taro" && given.pass == "p@ss word");

        QTimer::singleShot(0, this, [] {
            if (auto* d = qobject_cast<CAuthPromptDlg*>(QApplication::activeModalWidget()))
                QTest::keyClicks(d->UserEdit(), QStringLiteral("typed but not sent"));
        });
        const auto started = std::chrono::steady_clock::now();
        CredentialsPrompt later;
        const CredentialsAnswer answer = AskCredentialsInDialog(nullptr, "http://h/a.jpg", 150ms, later);
        const auto took = std::chrono::steady_clock::now() - started;
        QVERIFY(!answer.ok && answer.user.empty());
        QVERIFY(took >= 140ms && took < 5s);
    }

    void authPromptClosedByItsTransferFromAnotherThread()
    {
        CredentialsPrompt prompt;
        int shown = 0;
        const auto typeIfShown = [&] {
            if (auto* d = qobject_cast<CAuthPromptDlg*>(QApplication::activeModalWidget())) {
                QTest::keyClicks(d->UserEdit(), QStringLiteral("u"));
                ++shown;
            }
        };
        QTimer::singleShot(0, this, typeIfShown);
        std::thread transfer([&prompt] {
            std::this_thread::sleep_for(200ms);
            prompt.Cancel();
        });
        const CredentialsAnswer answer = AskCredentialsInDialog(nullptr, "http://h/a.jpg", 0ms, prompt);
        transfer.join();
        QVERIFY(shown == 1 && !answer.ok && QApplication::activeModalWidget() == nullptr);
        // A cancel arriving after the prompt has gone must not touch the destroyed dialog, and a prompt already
        // cancelled is never shown.
        prompt.Cancel();
        QTimer::singleShot(0, this, typeIfShown);
        QTimer::singleShot(50, this, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        QVERIFY(!AskCredentialsInDialog(nullptr, "http://h/", 0ms, prompt).ok);
        QTest::qWait(100);
        QCOMPARE(shown, 1);
    }

    void countdownCountsDownAndEndsWithOkOnZero()
    {
        CPowerOffDlg dialog(nullptr, 5ms);
        QStringList shown, expected;
        connect(&dialog, &CPowerOffDlg::RemainingShown, this, [&](const QString& text) { shown << text; });
        dialog.open();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        for (int n = 60; n >= 0; --n)
            expected << QStringLiteral("%1 秒").arg(n);
        QTest::qWait(30); // ended on the tick that showed 0; nothing ticks afterwards
        QCOMPARE(shown, expected);
    }

    void powerOffOutcomes()
    {
        using P = PowerBackend::Permission;
        // The countdown's key (Now, Cancel, Esc, Enter), the permission, whether the call works, switched off, calls
        // made, the message. The countdown runs in real seconds: nothing may end it but the key.
        enum Key { Now, Cancel, Esc, Enter };
        const std::tuple<Key, P, bool, bool, int, const char*> cases[] = {
            {Now, P::Yes, true, true, 1, nullptr},
            {Now, P::Challenge, true, true, 1, nullptr}, // after authentication
            {Now, P::No, true, false, 0, "電源ＯＦＦの特権がありません"},
            {Now, P::Yes, false, false, 1, "電源ＯＦＦできません"},
            {Now, P::Unknown, true, true, 1, nullptr}, // the question failed, the call works
            {Cancel, P::Yes, true, false, 0, nullptr},
            {Esc, P::Yes, true, false, 0, nullptr},
            {Enter, P::Yes, true, false, 0, nullptr}};
        for (const auto& [key, permission, callSucceeds, switchedOff, calls, message] : cases) {
            test::FakePowerBackend backend;
            backend.permission = permission, backend.powerOffSucceeds = callSucceeds;
            MessageHook hook;
            QTimer::singleShot(0, this, [key = key] {
                auto* d = qobject_cast<CPowerOffDlg*>(QApplication::activeModalWidget());
                if (d && (key == Esc || key == Enter))
                    QTest::keyClick(d, key == Esc ? Qt::Key_Escape : Qt::Key_Return);
                else if (d)
                    (key == Now ? d->NowButton() : d->CancelButton())->click();
            });
            QCOMPARE(ConfirmAndPowerOff(nullptr, backend), switchedOff);
            QCOMPARE(backend.powerOffCalls, calls);
            QCOMPARE(hook.Texts(), message ? QStringList{QString::fromUtf8(message)} : QStringList());
        }
    }

    void aboutBoxShowsTheProgramsIconAndReportsEscapeOnly()
    {
        // Esc is the boss key passed on to the main window; the close box is not.
        for (const bool byEscape : {true, false}) {
            CAboutDlg about(nullptr);
            const auto* icon = about.findChild<QLabel*>(QStringLiteral("programIcon"));
            QVERIFY(icon);
            QCOMPARE(icon->pixmap().toImage(), main_icons::Window().pixmap(32, 32).toImage());
            QSignalSpy escape(&about, &CAboutDlg::ClosedWithEscape);
            QSignalSpy finished(&about, &QDialog::finished);
            about.open();
            if (byEscape)
                QTest::keyClick(&about, Qt::Key_Escape);
            else
                about.close(); // the close box
            QVERIFY(finished.size() == 1 && escape.size() == (byEscape ? 1 : 0));
        }
    }

    void realBoxAnswersWithTheButtonPressed()
    {
        unexpected_.reset(); // the real box, not the recorder
        // The buttons, the one pressed (0 for the Esc key), the answer.
        const std::tuple<MessageButtons, int, MessageAnswer> cases[] = {
            {MessageButtons::Ok, 0, MessageAnswer::Ok},
            {MessageButtons::OkCancel, 0, MessageAnswer::Cancel},
            {MessageButtons::YesNo, 0, MessageAnswer::No},
            {MessageButtons::YesNoCancel, 0, MessageAnswer::Cancel},
            {MessageButtons::YesNoCancel, QMessageBox::No, MessageAnswer::No},
            {MessageButtons::RetryCancel, QMessageBox::Retry, MessageAnswer::Retry}};
        for (const auto& [buttons, press, answer] : cases) {
            QString shown;
            QTimer::singleShot(0, this, [&shown, press = press] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                shown = box->windowTitle() + QLatin1Char('|') + box->text();
                if (press == 0)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->button(static_cast<QMessageBox::StandardButton>(press))->click();
            });
            QCOMPARE(ShowMessage(nullptr, QStringLiteral("本文"), QString(), MessageIcon::Warning, buttons), answer);
            QCOMPARE(shown, QStringLiteral("Pelldra|本文"));
        }
    }

    void qtsOwnButtonsSpeakJapanese()
    {
        QVERIFY(UseJapaneseQtTexts());
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        QVERIFY2(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("はい")),
                 qPrintable(box.button(QMessageBox::Yes)->text()));
    }

    void writtenFilterBecomesQtFilter()
    {
        const std::pair<const char*, const char*> cases[] = {
            {"URLリスト(*.lst)|*.lst|すべてのファイル(*.*)|*.*||", "URLリスト (*.lst);;すべてのファイル (*)"},
            {"画像(*.jpg;*.png)|*.jpg;*.png||", "画像 (*.jpg *.png)"}, // several patterns
            {"text|*.txt||", "text (*.txt)"},                          // a name without its pattern
            {"", ""}};
        for (const auto& [written, qt] : cases)
            QCOMPARE(ToQtFileFilter(QString::fromUtf8(written)), QString::fromUtf8(qt));
    }

private:
    std::optional<MessageHook> unexpected_; // a message no test waits for fails its test instead of blocking it
};

} // namespace pelldra

QTEST_MAIN(pelldra::SmallDialogsTest)
#include "small_dialogs_test.moc"
