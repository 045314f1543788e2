// Tests of the number box and its spins: steps with widths, the right button's ten-step, the held-button repeat and
// the field chooser.
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

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
        auto* layout = new QHBoxLayout(window_);
        edit_ = new CNumEdit(window_);
        spin_ = new CRepeatSpin(window_);
        spin_->SetBuddy(edit_);
        layout->addWidget(edit_);
        layout->addWidget(spin_);
        spin_->setFixedSize(16, 40);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_));
    }

    void cleanup()
    {
        delete window_;
        window_ = nullptr;
    }

    void setValueShowsZeroFilledAndOnlyDigitsCanBeTyped()
    {
        const struct
        {
            std::optional<std::string> value;
            int width;
            const char* shown;
        } cases[] = {{"", 3, "000"}, {"7", 4, "0007"}, {"12345", 2, "12345"}, {std::nullopt, 3, ""}};
        for (const auto& c : cases) {
            edit_->setText(QStringLiteral("55"));
            edit_->SetValue(c.value, c.width);
            QCOMPARE(edit_->text(), QString::fromUtf8(c.shown));
            QCOMPARE(edit_->Width(), c.width);
        }
        edit_->setFocus();
        QTest::keyClicks(edit_, QStringLiteral("1a2-3 4"));
        QCOMPARE(edit_->text(), QStringLiteral("1234"));
    }

    void spinSteps()
    {
        const struct
        {
            const char* start;
            int width;
            bool tens; // the right button held: steps of ten
            bool up;
            const char* after;
        } cases[] = {{"", 3, false, true, "000"},
                     {"0099", 4, false, true, "0100"},
                     {"095", 3, true, true, "105"},
                     {"105", 3, true, false, "095"},
                     {"0", 0, false, false, ""}}; // down from 0 empties
        for (const auto& c : cases) {
            edit_->SetValue(std::nullopt, c.width);
            edit_->setText(QString::fromUtf8(c.start));
            if (c.tens)
                QTest::mousePress(spin_, Qt::RightButton, {}, UpperHalf(spin_));
            QCOMPARE(CRepeatSpin::StepPosition(), c.tens ? 1 : 0);
            QTest::mouseClick(spin_, Qt::LeftButton, {}, c.up ? UpperHalf(spin_) : LowerHalf(spin_));
            if (c.tens)
                QTest::mouseRelease(spin_, Qt::RightButton, {}, UpperHalf(spin_));
            QCOMPARE(edit_->text(), QString::fromUtf8(c.after));
            QCOMPARE(CRepeatSpin::StepPosition(), 0);
            QVERIFY(!spin_->IsPressed());
        }
    }

    void heldButtonFollowsTheSchedule()
    {
        edit_->SetValue(std::string("0"), 0);
        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QCOMPARE(edit_->text(), QStringLiteral("1")); // the press steps at once
        QVERIFY(spin_->IsPressed());
        QCOMPARE(spin_->TimerInterval(), 1000);

        // Tick by hand: the period after each tick is the wait before the next step.
        struct
        {
            int ticks;
            int interval;
        } const marks[] = {{1, 100}, {10, 100}, {11, 10}, {110, 10}, {111, 1}, {150, 1}};
        for (const auto& mark : marks) {
            while (spin_->TickCount() < mark.ticks)
                spin_->Tick();
            QCOMPARE(spin_->TimerInterval(), mark.interval);
            QCOMPARE(edit_->text(), QString::number(1 + mark.ticks));
        }

        QTest::mouseRelease(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QVERIFY(!spin_->IsPressed());
        QCOMPARE(spin_->TimerInterval(), -1);
        spin_->Tick(); // a late tick after the release steps nothing
        QCOMPARE(edit_->text(), QStringLiteral("151"));
    }

    void holdingStepsInRealTime()
    {
        edit_->SetValue(std::string("10"), 0);
        QTest::mousePress(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        QCOMPARE(edit_->text(), QStringLiteral("9"));
        QTest::qWait(500);
        QCOMPARE(edit_->text(), QStringLiteral("9")); // nothing more within the first second
        QTest::qWait(750);                             // 1250 ms: steps at 1000, 1100 and 1200 ms at most
        QTest::mouseRelease(spin_, Qt::LeftButton, {}, LowerHalf(spin_));
        const int value = edit_->text().toInt();
        QVERIFY2(value >= 5 && value <= 8, qPrintable(edit_->text()));
        QTest::qWait(300);
        QCOMPARE(edit_->text().toInt(), value); // released: the repeat has stopped
    }

    void pressOnAnotherSpinOrDisablingEndsTheRepeat()
    {
        auto* other = new CNumEdit(window_);
        auto* otherSpin = new CRepeatSpin(window_);
        otherSpin->SetBuddy(other);
        otherSpin->setFixedSize(16, 40);
        window_->layout()->addWidget(other);
        window_->layout()->addWidget(otherSpin);
        edit_->SetValue(std::string("5"), 0);
        other->SetValue(std::string("5"), 0);

        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QTest::mousePress(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
        QVERIFY(!spin_->IsPressed());
        QVERIFY(otherSpin->IsPressed());
        spin_->Tick();
        QCOMPARE(edit_->text(), QStringLiteral("6"));
        QCOMPARE(other->text(), QStringLiteral("6"));
        QTest::mouseRelease(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));

        // The run starts and the window disables its controls; the button's release may never reach the spin.
        QTest::mousePress(spin_, Qt::LeftButton, {}, UpperHalf(spin_));
        QVERIFY(spin_->IsPressed());
        spin_->setEnabled(false);
        QVERIFY(!spin_->IsPressed());
        QCOMPARE(spin_->TimerInterval(), -1);
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
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.at(0).at(0).toInt(), 1);
        QCOMPARE(chosen.at(1).at(0).toInt(), 0);

        // Pressed, then let go outside: no choice; a right click never chooses.
        QTest::mousePress(spin, Qt::LeftButton, {}, UpperHalf(spin));
        QTest::mouseRelease(spin, Qt::LeftButton, {}, QPoint(spin->width() + 30, -20));
        QTest::mouseClick(spin, Qt::RightButton, {}, UpperHalf(spin));
        QCOMPARE(chosen.count(), 2);
    }

private:
    QPoint UpperHalf(QWidget* w) const { return {w->width() / 2, w->height() / 4}; }
    QPoint LowerHalf(QWidget* w) const { return {w->width() / 2, w->height() * 3 / 4}; }

    QWidget* window_ = nullptr;
    CNumEdit* edit_ = nullptr;
    CRepeatSpin* spin_ = nullptr;
};

QTEST_MAIN(NumEditTest)
#include "num_edit_test.moc"
