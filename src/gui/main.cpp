// The desktop program: one instance per user, running its main window for its whole life.
#include "core/engine/curl_handles.h"
#include "gui/app/pelldra_app.h"

#include <QApplication>

namespace {

// Runs the main window modally until it closes; empty until the main window exists.
const pelldra::CPelldraApp::MainWindowRunner kMainWindow;

} // namespace

int main(int argc, char* argv[])
{
    // libcurl's global set-up must come before any thread, and Qt starts some of its own.
    pelldra::InitNetwork();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelldra"));
    QApplication::setOrganizationName(QStringLiteral("Tavin"));
    pelldra::CPelldraApp app;
    return app.Run(kMainWindow);
}
