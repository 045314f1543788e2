// Bringing a window up in front of the others.
#pragma once

class QWidget;

namespace pelldra {

// Shows the window (restoring it when minimised), raises it and asks the window system to activate it. Desktops
// may refuse to steal the focus; the window is then at least shown and raised and usually marked as wanting attention.
void BringToFront(QWidget* window);

} // namespace pelldra
