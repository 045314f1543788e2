// CSpinArrows: the look shared by the spin controls, an up arrow over a down arrow; clicks are the subclass's.
#pragma once

#include <QWidget>

namespace pelldra {

class CSpinArrows : public QWidget
{
    Q_OBJECT

public:
    explicit CSpinArrows(QWidget* parent);
    CSpinArrows(const CSpinArrows&) = delete;
    CSpinArrows& operator=(const CSpinArrows&) = delete;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // The upper half of the control is "up".
    bool IsUpperHalf(const QPoint& pos) const { return pos.y() < height() / 2; }
    // The half drawn pressed: 1 upper, -1 lower, 0 none.
    void SetPressedHalf(int half);

    void paintEvent(QPaintEvent* event) override;

private:
    int pressedHalf_ = 0;
};

} // namespace pelldra
