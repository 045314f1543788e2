// The main window's event loop.
#include "gui/app/window_loop.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>

namespace pelldra {

int RunUntilDone(QDialog& dialog)
{
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::exit);
    const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    dialog.show();
    const int result = loop.exec();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    return result;
}

} // namespace pelldra
