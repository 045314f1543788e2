// A push button that Enter never presses, for windows whose Enter belongs to another control.
#pragma once

#include <QPushButton>

namespace pelldra {

// A button named name (for tests and style sheets) with the UTF-8 text, neither default nor auto-default.
QPushButton* PlainButton(QWidget* parent, const char* name, const char* text);

} // namespace pelldra
