// Where a window of its own first appears: wholly on the screen.
#pragma once

class QWidget;

namespace pelldra {

// For a window's first showing. Left to itself the window manager may put part of a large window past the screen's
// edge. The window's size is bounded by the screen's free area. It goes beside `beside` (to its right, as far as the
// screen allows, so that the other window's left side stays in sight) or, without one, to the middle of the screen.
void PlaceWhollyOnScreen(QWidget& window, const QWidget* beside);

} // namespace pelldra
