// CRepeatSpin: stepping the buddy box on a press and repeating while held.
#include "gui/widgets/repeat_spin.h"

#include <QMouseEvent>

#include "core/sequence/spin_step.h"

namespace pelldra {

int CRepeatSpin::s_stepPosition = 0;
CRepeatSpin* CRepeatSpin::s_repeating = nullptr;

CRepeatSpin::CRepeatSpin(QWidget* parent) : CSpinArrows(parent)
{
    // The fast phase asks for 1 ms; a coarse timer would stretch it.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CRepeatSpin::Tick);
}

CRepeatSpin::~CRepeatSpin()
{
    if (s_repeating == this)
        s_repeating = nullptr;
}

void CRepeatSpin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        s_stepPosition = 1;
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        CSpinArrows::mousePressEvent(event);
        return;
    }
    event->accept();
    m_up = IsUpperHalf(event->position().toPoint());
    SetPressedHalf(m_up ? 1 : -1);
    Step();
    // Only one spin repeats at a time: a press here ends another spin's repeat.
    if (s_repeating && s_repeating != this)
        s_repeating->StopRepeat();
    s_repeating = this;
    m_pressed = true;
    m_ticks = 0;
    m_timer.start(RepeatDelayBeforeStep(1));
}

void CRepeatSpin::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        s_stepPosition = 0;
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        event->accept();
        StopRepeat();
        return;
    }
    CSpinArrows::mouseReleaseEvent(event);
}

void CRepeatSpin::hideEvent(QHideEvent* event)
{
    // A hidden or disabled spin may never see its button come up; it must not go on counting.
    StopRepeat();
    CSpinArrows::hideEvent(event);
}

void CRepeatSpin::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        StopRepeat();
    CSpinArrows::changeEvent(event);
}

void CRepeatSpin::Tick()
{
    if (!m_pressed)
        return;
    ++m_ticks;
    Step();
    const int next = RepeatDelayBeforeStep(m_ticks + 1);
    if (m_timer.interval() != next)
        m_timer.setInterval(next);
}

void CRepeatSpin::Step()
{
    if (!m_buddy)
        return;
    if (m_up)
        m_buddy->StepUp(s_stepPosition);
    else
        m_buddy->StepDown(s_stepPosition);
}

void CRepeatSpin::StopRepeat()
{
    m_pressed = false;
    m_timer.stop();
    SetPressedHalf(0);
    if (s_repeating == this)
        s_repeating = nullptr;
}

} // namespace pelldra
