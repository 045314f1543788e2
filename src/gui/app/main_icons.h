// The icons of the main window and the log viewer, drawn at run time.
#pragma once

#include <QColor>
#include <QIcon>

class QAbstractButton;
class QLabel;
class QPainter;

namespace pelldra {

namespace main_icons {

QIcon StartIdle(); // the start button while idle
QIcon StartBusy(); // the start button while running or in queue mode
QIcon Stop();
QIcon OpenList();
// The arrow buttons beside the URL: red while the lower digit string is selected, blue for the upper one.
QIcon Arrow(bool left, bool upperSelected);
// Shows which digit string is selected: its label (上位/下位) on red or blue, and the arrow buttons in its colour.
void ShowSelectedField(const QPalette& base, QLabel* lower, QLabel* upper, QAbstractButton* prev, QAbstractButton* next,
                       bool upperSelected);
QIcon Window();
// The queue summary's 16-pixel picture of an order's kind: 0 series, 1 URL list, 2 link page, 3 image page.
QIcon OrderKind(int kind);

// A downward arrow with its tip at (cx, tipY) in a box of size s, as the start button and the run picture show it.
void DrawDownArrow(QPainter& p, double cx, double tipY, double s, const QColor& colour);

} // namespace main_icons

} // namespace pelldra
