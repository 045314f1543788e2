// UseJapaneseFont: Noto Sans CJK JP when the system has it.
#include "gui/platform/japanese_font.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace pelldra {

void UseJapaneseFont()
{
    const QString family = QStringLiteral("Noto Sans CJK JP");
    if (QFontDatabase::families().contains(family)) {
        QFont font = QApplication::font();
        font.setFamily(family);
        QApplication::setFont(font);
    }
}

} // namespace pelldra
