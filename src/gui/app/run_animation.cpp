// The run picture's clips and the main window's icons, drawn with QPainter so that no image files are needed.
#include "gui/app/run_animation.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pelldra {

namespace {

// A downward arrow with its tip at (cx, tipY) in a box of size s.
void DrawDownArrow(QPainter& p, double cx, double tipY, double s, const QColor& colour)
{
    QPainterPath arrow;
    const double w = s * 0.22;
    arrow.moveTo(cx - w * 0.5, tipY - s * 0.55);
    arrow.lineTo(cx + w * 0.5, tipY - s * 0.55);
    arrow.lineTo(cx + w * 0.5, tipY - s * 0.28);
    arrow.lineTo(cx + w * 1.3, tipY - s * 0.28);
    arrow.lineTo(cx, tipY);
    arrow.lineTo(cx - w * 1.3, tipY - s * 0.28);
    arrow.lineTo(cx - w * 0.5, tipY - s * 0.28);
    arrow.closeSubpath();
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    p.drawPath(arrow);
}

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

QPixmap Canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

CRunAnimation::CRunAnimation(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("runAnimation"));
    setCursor(Qt::PointingHandCursor);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % kFrameCount;
        update();
    });
}

void CRunAnimation::Open(Clip clip, bool play)
{
    m_clip = clip;
    m_frame = 0;
    if (play)
        m_timer.start();
    else
        m_timer.stop();
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
    switch (m_clip) {
    case Clip::Still:
        DrawTray(p, box, QColor(120, 120, 120));
        DrawDownArrow(p, cx, box.top() + s * 0.72, s, QColor(170, 170, 170));
        break;
    case Clip::Ready:
        DrawTray(p, box, QColor(40, 120, 40));
        DrawDownArrow(p, cx, box.top() + s * 0.72, s, QColor(70, 190, 70));
        break;
    case Clip::Running: {
        // The arrow drops into the tray frame by frame.
        DrawTray(p, box, QColor(40, 120, 40));
        const double tip = box.top() + s * (0.45 + 0.04 * m_frame);
        DrawDownArrow(p, cx, tip, s, QColor(60, 200, 60));
        break;
    }
    case Clip::Queue: {
        // Three waiting orders; the lit one walks to the front.
        for (int i = 0; i < 3; ++i) {
            const QRectF card(box.left() + s * 0.18, box.top() + s * (0.18 + 0.22 * i), s * 0.64, s * 0.16);
            const bool lit = (m_frame / 2) % 3 == i;
            p.setPen(QPen(QColor(150, 110, 20), 1));
            p.setBrush(lit ? QColor(250, 200, 60) : QColor(235, 225, 190));
            p.drawRect(card);
        }
        break;
    }
    }
}

namespace main_icons {

namespace {

// The start button: a down arrow on a round tint, green while idle, orange while busy.
QIcon StartIcon(const QColor& tint, const QColor& arrow)
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(tint);
    p.drawEllipse(QRectF(1, 1, 30, 30));
    DrawDownArrow(p, 16, 27, 30, arrow);
    return QIcon(pixmap);
}

} // namespace

QIcon StartIdle()
{
    return StartIcon(QColor(230, 245, 230), QColor(40, 170, 60));
}

QIcon StartBusy()
{
    return StartIcon(QColor(250, 235, 200), QColor(230, 150, 30));
}

QIcon Stop()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(140, 20, 20), 1));
    p.setBrush(QColor(220, 40, 40));
    p.drawRoundedRect(QRectF(7, 7, 18, 18), 3, 3);
    return QIcon(pixmap);
}

QIcon OpenList()
{
    QPixmap pixmap = Canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(245, 205, 90));
    p.drawPolygon(QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {14.5, 5}, {14.5, 13.5}, {1.5, 13.5}}));
    return QIcon(pixmap);
}

QIcon Arrow(bool left, bool upperSelected)
{
    QPixmap pixmap = Canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = upperSelected ? QColor(0, 0, 255) : QColor(255, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    if (left)
        p.drawPolygon(QPolygonF({{11, 2}, {11, 14}, {3, 8}}));
    else
        p.drawPolygon(QPolygonF({{5, 2}, {5, 14}, {13, 8}}));
    return QIcon(pixmap);
}

QIcon Window()
{
    QPixmap pixmap = Canvas(32);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 70, 140), 1));
    p.setBrush(QColor(70, 130, 210));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    p.setPen(QPen(Qt::white, 1));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(13);
    p.setFont(font);
    p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("123"));
    return QIcon(pixmap);
}

} // namespace main_icons

} // namespace pelldra
