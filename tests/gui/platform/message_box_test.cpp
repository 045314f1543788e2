// Tests of the message function: the recording hook, the real box's answers, and the chooser seams.
#include "gui/platform/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace pelldra {

class MessageBoxTest final : public QObject
{
    Q_OBJECT

private slots:
    void hookRecordsEveryMessageAndAnswersInOrder()
    {
        MessageHook hook;
        hook.QueueAnswer(MessageAnswer::No);
        hook.QueueAnswer(MessageAnswer::Yes);

        QCOMPARE(
            ShowMessage(nullptr, QStringLiteral("一つ目"), QString(), MessageIcon::Question, MessageButtons::YesNo),
            MessageAnswer::No);
        QCOMPARE(ShowMessage(nullptr, QStringLiteral("二つ目"), QStringLiteral("題"), MessageIcon::Stop,
                             MessageButtons::YesNo),
                 MessageAnswer::Yes);
        QCOMPARE(ShowMessage(nullptr, QStringLiteral("三つ目")), MessageAnswer::Ok);

        QCOMPARE(hook.Texts(),
                 (QStringList{QStringLiteral("一つ目"), QStringLiteral("二つ目"), QStringLiteral("三つ目")}));
        const std::vector<RecordedMessage>& m = hook.Messages();
        QCOMPARE(m[0].caption, QStringLiteral("Pelldra")); // no caption given: the program's name
        QCOMPARE(m[0].icon, MessageIcon::Question);
        QCOMPARE(m[1].caption, QStringLiteral("題"));
        QCOMPARE(m[1].icon, MessageIcon::Stop);
        QCOMPARE(m[2].buttons, MessageButtons::Ok);
        QCOMPARE(hook.Last()->text, QStringLiteral("三つ目"));

        hook.Clear();
        QVERIFY(hook.Messages().empty());
        QVERIFY(!hook.Last().has_value());
    }

    void hookWithoutScriptedAnswersGivesTheFirstButton()
    {
        MessageHook hook;
        const std::pair<MessageButtons, MessageAnswer> cases[] = {{MessageButtons::Ok, MessageAnswer::Ok},
                                                                  {MessageButtons::OkCancel, MessageAnswer::Ok},
                                                                  {MessageButtons::YesNo, MessageAnswer::Yes},
                                                                  {MessageButtons::YesNoCancel, MessageAnswer::Yes},
                                                                  {MessageButtons::RetryCancel, MessageAnswer::Retry}};
        for (const auto& [buttons, answer] : cases)
            QCOMPARE(ShowMessage(nullptr, QStringLiteral("x"), QString(), MessageIcon::None, buttons), answer);
        QCOMPARE(hook.Messages().size(), std::size(cases));
    }

    void hooksNestAndRestoreTheOuterOne()
    {
        MessageHook outer;
        {
            MessageHook inner;
            ShowMessage(nullptr, QStringLiteral("inner"));
            QCOMPARE(inner.Texts(), QStringList{QStringLiteral("inner")});
        }
        ShowMessage(nullptr, QStringLiteral("outer"));
        QCOMPARE(outer.Texts(), QStringList{QStringLiteral("outer")});
    }

    void choosersAreRecordedAndAnsweredFromTheirOwnQueue()
    {
        MessageHook hook;
        hook.QueueChosenPath(QStringLiteral("/tmp/list.lst"));
        hook.QueueChosenPath(QStringLiteral("/srv/dl"));
        hook.QueueAnswer(MessageAnswer::No);

        QCOMPARE(ChooseOpenFile(nullptr, QStringLiteral("URLリストを開く"), QStringLiteral("a(*.lst)|*.lst||"),
                                QStringLiteral(".lst"), QStringLiteral("/start")),
                 QStringLiteral("/tmp/list.lst"));
        QCOMPARE(ChooseFolder(nullptr, QStringLiteral("/home")), QStringLiteral("/srv/dl"));
        QCOMPARE(ChooseFolder(nullptr, QStringLiteral("/again")), QString()); // queue empty: cancelled
        // The chooser answers did not use up the message answer.
        QCOMPARE(ShowMessage(nullptr, QStringLiteral("q"), QString(), MessageIcon::Question, MessageButtons::YesNo),
                 MessageAnswer::No);

        const std::vector<RecordedChooser>& c = hook.Choosers();
        QCOMPARE(c.size(), size_t(3));
        QCOMPARE(c[0].kind, RecordedChooser::Kind::OpenFile);
        QCOMPARE(c[0].title, QStringLiteral("URLリストを開く"));
        QCOMPARE(c[0].start, QStringLiteral("/start"));
        QCOMPARE(c[1].kind, RecordedChooser::Kind::Folder);
        QCOMPARE(c[1].start, QStringLiteral("/home"));
        QCOMPARE(c[2].start, QStringLiteral("/again"));
    }

    void realBoxAnswersWithTheButtonPressed_data()
    {
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<int>("press"); // a QMessageBox::StandardButton, or 0 for the Esc key
        QTest::addColumn<MessageAnswer>("answer");
        QTest::newRow("ok: Esc") << MessageButtons::Ok << 0 << MessageAnswer::Ok;
        QTest::newRow("ok cancel: Esc") << MessageButtons::OkCancel << 0 << MessageAnswer::Cancel;
        QTest::newRow("yes no: Esc") << MessageButtons::YesNo << 0 << MessageAnswer::No;
        QTest::newRow("yes no cancel: Esc") << MessageButtons::YesNoCancel << 0 << MessageAnswer::Cancel;
        QTest::newRow("yes no: yes") << MessageButtons::YesNo << int(QMessageBox::Yes) << MessageAnswer::Yes;
        QTest::newRow("yes no cancel: no") << MessageButtons::YesNoCancel << int(QMessageBox::No) << MessageAnswer::No;
        QTest::newRow("retry cancel: retry")
            << MessageButtons::RetryCancel << int(QMessageBox::Retry) << MessageAnswer::Retry;
        QTest::newRow("ok cancel: ok") << MessageButtons::OkCancel << int(QMessageBox::Ok) << MessageAnswer::Ok;
    }

    void realBoxAnswersWithTheButtonPressed()
    {
        QFETCH(MessageButtons, buttons);
        QFETCH(int, press);
        QFETCH(MessageAnswer, answer);
        QString shownText;
        QString shownTitle;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownText = box->text();
            shownTitle = box->windowTitle();
            if (press == 0)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(static_cast<QMessageBox::StandardButton>(press))->click();
        });
        QCOMPARE(ShowMessage(nullptr, QStringLiteral("本文"), QString(), MessageIcon::Warning, buttons), answer);
        QCOMPARE(shownText, QStringLiteral("本文"));
        QCOMPARE(shownTitle, QStringLiteral("Pelldra"));
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
};

} // namespace pelldra

QTEST_MAIN(pelldra::MessageBoxTest)
#include "message_box_test.moc"
