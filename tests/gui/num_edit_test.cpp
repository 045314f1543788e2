// Tests of the number box and its spins: steps with widths, the right button's ten-step, the held-button repeat and
// the field chooser.
#include <QHBoxLayout>
#include <QSignalSpy>
#include <QTest>

#include "gui/ui/field_spin.h"
#include "gui/ui/num_edit.h"
#include "gui/ui/repeat_spin.h"

using namespace pelldra;

class NumEditTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void setValueShowsZeroFilled_data();
    void setValueShowsZeroFilled();
    void onlyDigitsCanBeTyped();
    void spinSteps_data();
    void spinSteps();
    void heldButtonFollowsTheSchedule();
    void holdingStepsInRealTime();
    void pressOnAnotherSpinEndsTheFirstRepeat();
    void disablingWhileHeldStopsTheRepeat();
    void fieldSpinChoosesByHalf();

private:
    QPoint UpperHalf(QWidget* w) const { return {w->width() / 2, w->height() / 4}; }
    QPoint LowerHalf(QWidget* w) const { return {w->width() / 2, w->height() * 3 / 4}; }

    QWidget* m_window = nullptr;
    CNumEdit* m_edit = nullptr;
    CRepeatSpin* m_spin = nullptr;
};

void NumEditTest::init()
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

void NumEditTest::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void NumEditTest::setValueShowsZeroFilled_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("none");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty with width") << "" << false << 3 << "000";
    QTest::newRow("short with width") << "7" << false << 4 << "0007";
    QTest::newRow("longer than width") << "12345" << false << 2 << "12345";
    QTest::newRow("none empties") << "" << true << 3 << "";
}

void NumEditTest::setValueShowsZeroFilled()
{
    QFETCH(QString, text);
    QFETCH(bool, none);
    QFETCH(int, width);
    QFETCH(QString, shown);
    m_edit->setText(QStringLiteral("55"));
    m_edit->SetValue(none ? std::nullopt : std::optional<std::string>(text.toStdString()), width);
    QCOMPARE(m_edit->text(), shown);
    QCOMPARE(m_edit->Width(), width);
}

void NumEditTest::onlyDigitsCanBeTyped()
{
    m_edit->clear();
    m_edit->setFocus();
    QTest::keyClicks(m_edit, QStringLiteral("1a2-3 4"));
    QCOMPARE(m_edit->text(), QStringLiteral("1234"));
}

void NumEditTest::spinSteps_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("tens");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("after");
    QTest::newRow("empty up, width 3") << "" << 3 << false << true << "000";
    QTest::newRow("0099 up, width 4") << "0099" << 4 << false << true << "0100";
    QTest::newRow("ten up 095") << "095" << 3 << true << true << "105";
    QTest::newRow("ten down 105") << "105" << 3 << true << false << "095";
    QTest::newRow("down from 0 empties") << "0" << 0 << false << false << "";
}

void NumEditTest::spinSteps()
{
    QFETCH(QString, start);
    QFETCH(int, width);
    QFETCH(bool, tens);
    QFETCH(bool, up);
    QFETCH(QString, after);
    m_edit->SetValue(std::nullopt, width);
    m_edit->setText(start);
    if (tens)
        QTest::mousePress(m_spin, Qt::RightButton, {}, UpperHalf(m_spin));
    QCOMPARE(CRepeatSpin::StepPosition(), tens ? 1 : 0);
    QTest::mouseClick(m_spin, Qt::LeftButton, {}, up ? UpperHalf(m_spin) : LowerHalf(m_spin));
    if (tens)
        QTest::mouseRelease(m_spin, Qt::RightButton, {}, UpperHalf(m_spin));
    QCOMPARE(m_edit->text(), after);
    QCOMPARE(CRepeatSpin::StepPosition(), 0);
    QVERIFY(!m_spin->IsPressed());
}

void NumEditTest::heldButtonFollowsTheSchedule()
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

void NumEditTest::holdingStepsInRealTime()
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

void NumEditTest::pressOnAnotherSpinEndsTheFirstRepeat()
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
    QVERIFY(m_spin->IsPressed());
    QTest::mousePress(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
    QVERIFY(!m_spin->IsPressed());
    QVERIFY(otherSpin->IsPressed());
    m_spin->Tick();
    QCOMPARE(m_edit->text(), QStringLiteral("6"));
    QCOMPARE(other->text(), QStringLiteral("6"));
    QTest::mouseRelease(otherSpin, Qt::LeftButton, {}, UpperHalf(otherSpin));
}

void NumEditTest::disablingWhileHeldStopsTheRepeat()
{
    m_edit->SetValue(std::string("5"), 0);
    QTest::mousePress(m_spin, Qt::LeftButton, {}, UpperHalf(m_spin));
    QVERIFY(m_spin->IsPressed());
    // The run starts and the window disables its controls; the button's release may never reach the spin.
    m_spin->setEnabled(false);
    QVERIFY(!m_spin->IsPressed());
    QCOMPARE(m_spin->TimerInterval(), -1);
    m_spin->setEnabled(true);
    m_spin->show();
    m_spin->Tick();
    QCOMPARE(m_edit->text(), QStringLiteral("6"));
}

void NumEditTest::fieldSpinChoosesByHalf()
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

QTEST_MAIN(NumEditTest)
#include "num_edit_test.moc"
