// The about box.
#include "gui/app/about_dialog.h"

#include "core/registry/app_registry.h"
#include "gui/app/main_icons.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelldra {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8(kTitle));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setPixmap(main_icons::Window().pixmap(32, 32));
    auto* line = new QLabel(VersionLine(), this);
    line->setObjectName(QStringLiteral("versionLine"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(line, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    // The title bar shows the title beside the window's own buttons; a box as narrow as its one line would cut the
    // title off. Title fonts are often bold and larger, hence the room to spare.
    QFont titleFont = font();
    titleFont.setBold(true);
    setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(windowTitle()) * 5 / 4 + 120);
}

QString CAboutDlg::VersionLine()
{
    return QString::fromUtf8(kAppName) + QStringLiteral(" Version ") + QString::fromUtf8(kAppVersion);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        reject();
        emit ClosedWithEscape();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pelldra
