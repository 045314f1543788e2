// CFieldSpin: turns a click on either half into the choice of a digit string.
#include "gui/widgets/field_spin.h"

#include <QMouseEvent>

namespace pelldra {

CFieldSpin::CFieldSpin(QWidget* parent) : CSpinArrows(parent) {}

void CFieldSpin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CSpinArrows::mousePressEvent(event);
        return;
    }
    event->accept();
    SetPressedHalf(IsUpperHalf(event->position().toPoint()) ? 1 : -1);
}

void CFieldSpin::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CSpinArrows::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    SetPressedHalf(0);
    const QPoint pos = event->position().toPoint();
    // Like any button, letting go outside it takes the click back.
    if (rect().contains(pos))
        emit FieldChosen(IsUpperHalf(pos) ? 1 : 0);
}

} // namespace pelldra
