// Tests of the message function: the real box's answers to each button and to Esc, its Japanese buttons, and the
// chooser's filter form.
#include "gui/platform/message_box.h"
#include "gui/platform/qt_translations.h"

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
    void realBoxAnswersWithTheButtonPressed_data()
    {
        QTest::addColumn<MessageButtons>("buttons");
        QTest::addColumn<int>("press"); // a QMessageBox::StandardButton, or 0 for the Esc key
        QTest::addColumn<MessageAnswer>("answer");
        QTest::newRow("ok: Esc") << MessageButtons::Ok << 0 << MessageAnswer::Ok;
        QTest::newRow("ok cancel: Esc") << MessageButtons::OkCancel << 0 << MessageAnswer::Cancel;
        QTest::newRow("yes no: Esc") << MessageButtons::YesNo << 0 << MessageAnswer::No;
        QTest::newRow("yes no cancel: Esc") << MessageButtons::YesNoCancel << 0 << MessageAnswer::Cancel;
        QTest::newRow("yes no cancel: no") << MessageButtons::YesNoCancel << int(QMessageBox::No) << MessageAnswer::No;
        QTest::newRow("retry cancel: retry")
            << MessageButtons::RetryCancel << int(QMessageBox::Retry) << MessageAnswer::Retry;
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
};

} // namespace pelldra

QTEST_MAIN(pelldra::MessageBoxTest)
#include "message_box_test.moc"
