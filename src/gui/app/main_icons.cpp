// The program's icons, drawn with QPainter so that no image files are needed.
#include "gui/app/main_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pelldra {

namespace main_icons {

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

namespace {

QPixmap Canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

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
