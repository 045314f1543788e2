// The run picture's clips, drawn with QPainter so that no image files are needed.
#include "gui/app/run_animation.h"

#include <QMouseEvent>
#include <QPainter>

#include "gui/app/main_icons.h"

namespace pelldra {

namespace {

void DrawTray(QPainter& p, const QRectF& r, const QColor& colour)
{
    p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const double y = r.bottom() - r.height() * 0.12;
    const double top = r.bottom() - r.height() * 0.3;
    p.drawPolyline(QPolygonF({{r.left() + r.width() * 0.12, top},
                              {r.left() + r.width() * 0.12, y},
                              {r.right() - r.width() * 0.12, y},
                              {r.right() - r.width() * 0.12, top}}));
}

} // namespace

CRunAnimation::CRunAnimation(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("runAnimation"));
    setCursor(Qt::PointingHandCursor);
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrameCount;
        update();
    });
}

void CRunAnimation::Open(Clip clip, bool play)
{
    clip_ = clip;
    frame_ = 0;
    if (play)
        timer_.start();
    else
        timer_.stop();
    update();
}

void CRunAnimation::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
    QWidget::mouseReleaseEvent(event);
}

void CRunAnimation::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = std::min(width(), height());
    const QRectF box((width() - s) / 2, (height() - s) / 2, s, s);
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    const double cx = box.center().x();
    switch (clip_) {
    case Clip::Still:
        DrawTray(p, box, QColor(120, 120, 120));
        main_icons::DrawDownArrow(p, cx, box.top() + s * 0.72, s, QColor(170, 170, 170));
        break;
    case Clip::Ready:
        DrawTray(p, box, QColor(40, 120, 40));
        main_icons::DrawDownArrow(p, cx, box.top() + s * 0.72, s, QColor(70, 190, 70));
        break;
    case Clip::Running: {
        // The arrow drops into the tray frame by frame.
        DrawTray(p, box, QColor(40, 120, 40));
        const double tip = box.top() + s * (0.45 + 0.04 * frame_);
        main_icons::DrawDownArrow(p, cx, tip, s, QColor(60, 200, 60));
        break;
    }
    case Clip::Queue: {
        // Three waiting orders; the lit one walks to the front.
        for (int i = 0; i < 3; ++i) {
            const QRectF card(box.left() + s * 0.18, box.top() + s * (0.18 + 0.22 * i), s * 0.64, s * 0.16);
            const bool lit = (frame_ / 2) % 3 == i;
            p.setPen(QPen(QColor(150, 110, 20), 1));
            p.setBrush(lit ? QColor(250, 200, 60) : QColor(235, 225, 190));
            p.drawRect(card);
        }
        break;
    }
    }
}

} // namespace pelldra
