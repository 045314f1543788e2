// Placing a window of its own wholly on the screen.
#include "gui/platform/window_place.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace pelldra {

void PlaceWhollyOnScreen(QWidget& window, const QWidget* beside)
{
    // The frame is not known before the window is mapped: room is kept for a title bar and borders.
    const QRect room = window.screen()->availableGeometry().marginsRemoved(QMargins(4, 32, 4, 4));
    QRect place(QPoint(), window.size().boundedTo(room.size()));
    if (beside)
        place.moveTopLeft(beside->frameGeometry().topRight() + QPoint(1, 0));
    else
        place.moveCenter(room.center());
    place.moveLeft(std::clamp(place.left(), room.left(), room.right() - place.width() + 1));
    place.moveTop(std::clamp(place.top(), room.top(), room.bottom() - place.height() + 1));
    window.setGeometry(place);
}

} // namespace pelldra
