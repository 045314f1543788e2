// The program's icons, drawn with QPainter so that no image files are needed.
#include "gui/app/main_icons.h"

#include <QAbstractButton>
#include <QLabel>
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

void ShowSelectedField(const QPalette& base, QLabel* lower, QLabel* upper, QAbstractButton* prev, QAbstractButton* next,
                       bool upperSelected)
{
    auto paint = [&base](QLabel* label, bool selected, const QColor& ground) {
        QPalette p = base;
        if (selected) {
            p.setColor(QPalette::Window, ground);
            p.setColor(QPalette::WindowText, Qt::white);
        }
        label->setPalette(p);
    };
    paint(lower, !upperSelected, QColor(255, 0, 0));
    paint(upper, upperSelected, QColor(0, 0, 255));
    prev->setIcon(Arrow(true, upperSelected));
    next->setIcon(Arrow(false, upperSelected));
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

QIcon OrderKind(int kind)
{
    QPixmap pixmap = Canvas(16);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (kind & 3) {
    case 0: // a series: numbered files one after another
        for (int i = 2; i >= 0; --i) {
            p.setPen(QPen(QColor(30, 70, 140), 1));
            p.setBrush(i == 0 ? QColor(70, 130, 210) : QColor(170, 200, 235));
            p.drawRect(QRectF(1.5 + i * 3, 4.5 - i * 1.5, 8, 10));
        }
        p.setPen(Qt::white);
        p.drawLine(QPointF(4, 8), QPointF(7, 8));
        p.drawLine(QPointF(4, 11), QPointF(7, 11));
        break;
    case 1: // a URL list: a sheet of lines
        p.setPen(QPen(QColor(40, 110, 50), 1));
        p.setBrush(QColor(235, 250, 235));
        p.drawRect(QRectF(2.5, 1.5, 11, 13));
        for (double y = 4.5; y < 13; y += 2.5)
            p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
        break;
    case 2: // a link page: two links of a chain
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(210, 120, 20), 2));
        p.drawRoundedRect(QRectF(1.5, 5, 8, 5), 2.5, 2.5);
        p.drawRoundedRect(QRectF(6.5, 6, 8, 5), 2.5, 2.5);
        break;
    default: // an image page: a framed picture with a hill and the sun
        p.setPen(QPen(QColor(110, 50, 140), 1));
        p.setBrush(QColor(225, 235, 250));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(70, 160, 80));
        p.drawPolygon(QPolygonF({{2, 13}, {7, 7}, {10, 10}, {12, 8.5}, {14, 13}}));
        p.setBrush(QColor(240, 180, 30));
        p.drawEllipse(QRectF(10, 4, 3, 3));
        break;
    }
    return QIcon(pixmap);
}

} // namespace main_icons

} // namespace pelldra
