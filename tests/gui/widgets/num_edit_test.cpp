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
        m_window = new QWidget;
        auto* layout = new QHBoxLayout(m_window);
        m_edit = new CNumEdit(m_window);
        m_spin = new CRepeatSpin(m_window);
        m_spin->SetBuddy(m_edit);
        layout->addWidget(m_edit);
        layout->addWidget(m_spin);
        m_spin->setFixedSize(16, 40);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup()
    {
        delete m_window;
        m_window = nullptr;
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
            m_edit->setText(QStringLiteral("55"));
            m_edit->SetValue(c.value, c.width);
            QCOMPARE(m_edit->text(), QString::fromUtf8(c.shown));
            QCOMPARE(m_edit->Width(), c.width);
        }
        m_edit->setFocus();
        QTest::keyClicks(m_edit, QStringLiteral("1a2-3 4"));
        QCOMPARE(m_edit->text(), QStringLiteral("1234"));
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
            m_edit->SetValue(std::nullopt, c.width);
            m_edit->setText(QString::fromUtf8(c.start));
            if (c.tens)
                QTest::mousePress(m_spin, Qt::RightButton, {}, UpperHalf(m_spin));
            QCOMPARE(CRepeatSpin::StepPosition(), c.tens ? 1 : 0);
            QTest::mouseClick(m_spin, Qt::LeftButton, {}, c.up ? UpperHalf(m_spin) : LowerHalf(m_spin));
            if (c.tens)
                QTest::mouseRelease(m_spin, Qt::RightButton, {}, UpperHalf(m_spin));
            QCOMPARE(m_edit->text(), QString::fromUtf8(c.after));
            QCOMPARE(CRepeatSpin::StepPosition(), 0);
            QVERIFY(!m_spin->IsPressed());
        }
    }

    void heldButtonFollowsTheSchedule()
    {
        m_edit->SetValue(std::string("0"), 0);
        QTest::mousePress(m_spin, Qt::LeftButton, {}, UpperHalf(m_spin));
        QCOMPARE(m_edit->text(), QStringLiteral("1")); // the press steps at once
        QVERIFY(m_spin->IsPressed());
        QCOMPARE(m_spin->TimerInterval(), 1000);

        // Tick by hand: the period after each tick is the wait before the next step.
        struct
        {
            int ticks;
            int interval;
        } const marks[] = {{1, 100}, {10, 100}, {11, 10}, {110, 10}, {111, 1}, {150, 1}};
        for (const auto& mark : marks) {
            while (m_spin->TickCount() < mark.ticks)
                m_spin->Tick();
            QCOMPARE(m_spin->TimerInterval(), mark.interval);
            QCOMPARE(m_edit->text(), QString::number(1 + mark.ticks));
        }

        QTest::mouseRelease(m_spin, Qt::LeftButton, {}, UpperHalf(m_spin));
        QVERIFY(!m_spin->IsPressed());
        QCOMPARE(m_spin->TimerInterval(), -1);
        m_spin->Tick(); // a late tick after the release steps nothing
        QCOMPARE(m_edit->text(), QStringLiteral("151"));
    }

    void holdingStepsInRealTime()
    {
        m_edit->SetValue(std::string("10"), 0);
        QTest::mousePress(m_spin, Qt::LeftButton, {}, LowerHalf(m_spin));
        QCOMPARE(m_edit->text(), QStringLiteral("9"));
        QTest::qWait(500);
        QCOMPARE(m_edit->text(), QStringLiteral("9")); // nothing more within the first second
        QTest::qWait(750);                             // 1250 ms: steps at 1000, 1100 and 1200 ms at most
        QTest::mouseRelease(m_spin, Qt::LeftButton, {}, LowerHalf(m_spin));
        const int value = m_edit->text().toInt();
        QVERIFY2(value >= 5 && value <= 8, qPrintable(m_edit->text()));
        QTest::qWait(300);
        QCOMPARE(m_edit->text().toInt(), value); // released: the repeat has stopped
    }

    void pressOnAnotherSpinOrDisablingEndsTheRepeat()
    {
        auto* other = new CNumEdit(m_window);
        auto* otherSpin = new CRepeatSpin(m_window);
        otherSpin->SetBuddy(other);
        otherSpin->setFixedSize(16, 40);
        m_window->layout()->addWidget(other);
        m_window->layout()->addWidget(otherSpin);
        m_edit->SetValue(std::string("5"), 0);
        other->SetValue(std::string("5"), 0);

        QTest::mousePress(m_spin, Qt::LeftButton, {}, UpperHalf(m_spin));
        QTest::mousePress(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
        QVERIFY(!m_spin->IsPressed());
        QVERIFY(otherSpin->IsPressed());
        m_spin->Tick();
        QCOMPARE(m_edit->text(), QStringLiteral("6"));
        QCOMPARE(other->text(), QStringLiteral("6"));
        QTest::mouseRelease(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));

        // The run starts and the window disables its controls; the button's release may never reach the spin.
        QTest::mousePress(m_spin, Qt::LeftButton, {}, UpperHalf(m_spin));
        QVERIFY(m_spin->IsPressed());
        m_spin->setEnabled(false);
        QVERIFY(!m_spin->IsPressed());
        QCOMPARE(m_spin->TimerInterval(), -1);
        m_spin->setEnabled(true);
        m_spin->Tick();
        QCOMPARE(m_edit->text(), QStringLiteral("7"));
    }

    void fieldSpinChoosesByHalf()
    {
        auto* spin = new CFieldSpin(m_window);
        spin->setFixedSize(16, 40);
        m_window->layout()->addWidget(spin);
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

    QWidget* m_window = nullptr;
    CNumEdit* m_edit = nullptr;
    CRepeatSpin* m_spin = nullptr;
};

QTEST_MAIN(NumEditTest)
#include "num_edit_test.moc"
