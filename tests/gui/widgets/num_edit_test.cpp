// Tests of the number box and its spins: what the box takes, which half and button steps how, the held button's
// repeat and its end, and the field chooser. The step arithmetic and the repeat's timing are the core's.
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

#include <tuple>

#include "gui/widgets/field_spin.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/repeat_spin.h"

using namespace pelldra;

class NumEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        window_ = new QWidget;
        new QHBoxLayout(window_);
        edit_ = AddBox();
        spin_ = AddSpin(edit_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }

    void cleanup()
    {
        delete window_;
        window_ = nullptr;
    }

    void setValueZeroFillsAndOnlyDigitsCanBeTyped()
    {
        edit_->SetValue(std::string("7"), 4);
        QCOMPARE(edit_->text(), QStringLiteral("0007"));
        edit_->SetValue(std::nullopt, 3);
        QCOMPARE(edit_->text(), QString());
        edit_->setFocus();
        QTest::keyClicks(edit_, QStringLiteral("1a2-3 4"));
        QCOMPARE(edit_->text(), QStringLiteral("1234"));
    }

    void halvesStepUpAndDownAndTheRightButtonStepsByTen()
    {
        // The box's text, whether the right button is held meanwhile, which half is clicked, the text after.
        const std::tuple<const char*, bool, bool, const char*> cases[] = {
            {"0099", false, true, "0100"},
            {"0100", false, false, "0099"},
            {"0095", true, true, "0105"},
            {"0099", false, true, "0100"}}; // the right button's release ended the ten-steps
        for (const auto& [start, tens, up, after] : cases) {
            edit_->SetValue(std::string(start), 4);
            if (tens)
                QTest::mousePress(spin_, Qt::RightButton, {}, UpperHalf(spin_));
            QTest::mouseClick(spin_, Qt::LeftButton, {}, up ? UpperHalf(spin_) : LowerHalf(spin_));
            if (tens)
                QTest::mouseRelease(spin_, Qt::RightButton, {}, UpperHalf(spin_));
            QCOMPARE(edit_->text(), QString::fromUtf8(after));
        }
    }

    void heldButtonRepeatsUntilReleased()
    {
        edit_->SetValue(std::string("100"), 0);
        QTest::mousePress(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        QCOMPARE(edit_->text(), QStringLiteral("99")); // the press steps at once; the repeat's timing is the core's
        QTRY_VERIFY_WITH_TIMEOUT(edit_->text().toInt() <= 95, 20000);
        QTest::mouseRelease(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        const QString released = edit_->text();
        QTest::qWait(300);
        QCOMPARE(edit_->text(), released);
        spin_->Tick(); // a tick already on its way when the button came up steps nothing
        QCOMPARE(edit_->text(), released);
    }

    void pressOnAnotherSpinOrDisablingEndsTheRepeat()
    {
        CNumEdit* other = AddBox();
        CRepeatSpin* otherSpin = AddSpin(other);
        edit_->SetValue(std::string("5"), 0);
        other->SetValue(std::string("5"), 0);

        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QTest::mousePress(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
        spin_->Tick();
        otherSpin->Tick();
        QCOMPARE(edit_->text(), QStringLiteral("6"));
        QCOMPARE(other->text(), QStringLiteral("7"));
        QTest::mouseRelease(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));

        // The run starts and the window disables its controls; the button's release may never reach the spin.
        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        spin_->setEnabled(false);
        spin_->setEnabled(true);
        spin_->Tick();
        QCOMPARE(edit_->text(), QStringLiteral("7"));
    }

    void fieldSpinChoosesByHalf()
    {
        auto* spin = new CFieldSpin(window_);
        spin->setFixedSize(16, 40);
        window_->layout()->addWidget(spin);
        QSignalSpy chosen(spin, &CFieldSpin::FieldChosen);

        QTest::mouseClick(spin, Qt::LeftButton, {}, UpperHalf(spin));
        QTest::mouseClick(spin, Qt::LeftButton, {}, LowerHalf(spin));
        // Pressed, then let go outside: no choice; a right click never chooses.
        QTest::mousePress(spin, Qt::LeftButton, {}, UpperHalf(spin));
        QTest::mouseRelease(spin, Qt::LeftButton, {}, QPoint(spin->width() + 30, -20));
        QTest::mouseClick(spin, Qt::RightButton, {}, UpperHalf(spin));
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.at(0).at(0).toInt(), 1);
        QCOMPARE(chosen.at(1).at(0).toInt(), 0);
    }

private:
    static QPoint UpperHalf(QWidget* w) { return {w->width() / 2, w->height() / 4}; }
    static QPoint LowerHalf(QWidget* w) { return {w->width() / 2, w->height() * 3 / 4}; }
    CNumEdit* AddBox()
    {
        auto* box = new CNumEdit(window_);
        window_->layout()->addWidget(box);
        return box;
    }
    CRepeatSpin* AddSpin(CNumEdit* buddy)
    {
        auto* spin = new CRepeatSpin(window_);
        spin->SetBuddy(buddy);
        spin->setFixedSize(16, 40);
        window_->layout()->addWidget(spin);
        return spin;
    }

    QWidget* window_ = nullptr;
    CNumEdit* edit_ = nullptr;
    CRepeatSpin* spin_ = nullptr;
};

QTEST_MAIN(NumEditTest)
#include "num_edit_test.moc"
