// CSpinArrows: two arrow buttons, one above the other.
#include "gui/widgets/spin_arrows.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace pelldra {

CSpinArrows::CSpinArrows(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFocusPolicy(Qt::NoFocus);
}

QSize CSpinArrows::sizeHint() const
{
    const int h = fontMetrics().height();
    return {qMax(16, h), 2 * h};
}

QSize CSpinArrows::minimumSizeHint() const
{
    return {12, 16};
}

void CSpinArrows::SetPressedHalf(int half)
{
    if (half != pressedHalf_) {
        pressedHalf_ = half;
        update();
    }
}

void CSpinArrows::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int mid = height() / 2;
    const QRect halves[2] = {QRect(0, 0, width(), mid), QRect(0, mid, width(), height() - mid)};
    for (int i = 0; i < 2; ++i) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        const bool pressed = pressedHalf_ == (i == 0 ? 1 : -1);
        button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);

        QStyleOption arrow;
        arrow.initFrom(this);
        arrow.rect = halves[i].adjusted(2, 1, -2, -1);
        style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &arrow, &painter,
                               this);
    }
}

} // namespace pelldra
