// A push button that Enter never presses.
#include "gui/widgets/plain_button.h"

namespace pelldra {

QPushButton* PlainButton(QWidget* parent, const char* name, const char* text)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace pelldra
