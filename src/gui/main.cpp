// The desktop program: one instance per user, running its main window for its whole life.
#include "core/engine/network.h"
#include "gui/app/pelldra_app.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/app/window_loop.h"
#include "gui/platform/japanese_font.h"
#include "gui/platform/qt_translations.h"

#include <QApplication>

namespace {

// Runs the main window until it closes; the boss key only hides it.
int RunMainWindow(pelldra::CPelldraApp& app)
{
    pelldra::CPelldraDlg::Options options;
    options.app = &app;
    options.announce.listUrl = pelldra::kDefaultAnnounceUrl;
    pelldra::CPelldraDlg window(nullptr, options);
    app.SetMainWindow(&window);
    const int result = pelldra::RunUntilDone(window);
    app.SetMainWindow(nullptr);
    return result == QDialog::Accepted || result == QDialog::Rejected ? 0 : result;
}

} // namespace

int main(int argc, char* argv[])
{
    // libcurl's global set-up must come before any thread, and Qt starts some of its own.
    pelldra::InitNetwork();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelldra"));
    QApplication::setOrganizationName(QStringLiteral("Tavin"));
    // Wayland desktops match the window to its menu entry, and so to its icon, by this name.
    QApplication::setDesktopFileName(QStringLiteral("io.github.pelldra.Pelldra"));
    pelldra::UseJapaneseFont();
    pelldra::UseJapaneseQtTexts();
    pelldra::CPelldraApp app;
    return app.Run(RunMainWindow);
}
