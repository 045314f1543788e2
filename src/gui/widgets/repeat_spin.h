// CRepeatSpin: the spin beside a CNumEdit; a press steps it, holding repeats faster and faster.
#pragma once

#include <QPointer>
#include <QTimer>

#include "gui/widgets/num_edit.h"
#include "gui/widgets/spin_arrows.h"

namespace pelldra {

class CRepeatSpin final : public CSpinArrows
{
    Q_OBJECT

public:
    explicit CRepeatSpin(QWidget* parent);
    ~CRepeatSpin() override;
    CRepeatSpin(const CRepeatSpin&) = delete;
    CRepeatSpin& operator=(const CRepeatSpin&) = delete;

    void SetBuddy(CNumEdit* buddy) { buddy_ = buddy; }
    CNumEdit* Buddy() const { return buddy_; }

    // The timer's tick; public so that a test can deliver a late one.
    void Tick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Step();
    void StopRepeat();

    QPointer<CNumEdit> buddy_;
    QTimer timer_;
    bool pressed_ = false;
    bool up_ = true;
    long long ticks_ = 0;

    // Ten-steps while the right button is held on any spin: one setting for the whole program, as only one spin
    // repeats at a time.
    static int s_stepPosition;
    static CRepeatSpin* s_repeating; // the spin whose timer runs, if any
};

} // namespace pelldra
