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
    timer_.setTimerType(Qt::PreciseTimer);
    // Holding the right button asks for ten-steps; the context menu that X11 asks for on that press must not reach
    // the window, whose menu would open and take the left click.
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(&timer_, &QTimer::timeout, this, &CRepeatSpin::Tick);
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
    up_ = IsUpperHalf(event->position().toPoint());
    SetPressedHalf(up_ ? 1 : -1);
    Step();
    // Only one spin repeats at a time: a press here ends another spin's repeat.
    if (s_repeating && s_repeating != this)
        s_repeating->StopRepeat();
    s_repeating = this;
    pressed_ = true;
    ticks_ = 0;
    timer_.start(RepeatDelayBeforeStep(1));
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
    if (!pressed_)
        return;
    ++ticks_;
    Step();
    const int next = RepeatDelayBeforeStep(ticks_ + 1);
    if (timer_.interval() != next)
        timer_.setInterval(next);
}

void CRepeatSpin::Step()
{
    if (!buddy_)
        return;
    if (up_)
        buddy_->StepUp(s_stepPosition);
    else
        buddy_->StepDown(s_stepPosition);
}

void CRepeatSpin::StopRepeat()
{
    pressed_ = false;
    timer_.stop();
    SetPressedHalf(0);
    if (s_repeating == this)
        s_repeating = nullptr;
}

} // namespace pelldra
