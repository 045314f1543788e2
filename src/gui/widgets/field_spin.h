// CFieldSpin: a spin that counts nothing; a click on its upper or lower half chooses the upper or lower digit string.
#pragma once

#include "gui/widgets/spin_arrows.h"

namespace pelldra {

class CFieldSpin final : public CSpinArrows
{
    Q_OBJECT

public:
    explicit CFieldSpin(QWidget* parent);
    CFieldSpin(const CFieldSpin&) = delete;
    CFieldSpin& operator=(const CFieldSpin&) = delete;

signals:
    // 1: the upper digit string, 0: the lower one.
    void FieldChosen(int field);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace pelldra
