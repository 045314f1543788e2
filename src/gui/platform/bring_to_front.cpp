// Bringing a window to the front.
#include "gui/platform/bring_to_front.h"

#include <QApplication>
#include <QWidget>

namespace pelldra {

void BringToFront(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::alert(window);
}

} // namespace pelldra
