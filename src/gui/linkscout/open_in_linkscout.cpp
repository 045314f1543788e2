// The desktop's side of OpenInLinkScout.
#include "gui/linkscout/open_in_linkscout.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

#include "core/linkscout/linkscout_location.h"
#include "core/registry/app_registry.h"
#include "gui/app/pelldra_app.h"
#include "gui/platform/broadcasts.h"

namespace pelldra {

namespace {

constexpr const char* kLinkScoutProgram = "LinkScout";

} // namespace

int OpenInLinkScout(CPelldraApp& app, const QString& url)
{
    AppRegistry* registry = app.Registry();
    if (!registry)
        return -1;
    LinkScoutShell shell;
    shell.startLinkScout = [](const std::string& folder) {
        const QString dir = QString::fromStdString(folder);
        return QProcess::startDetached(QDir(dir).filePath(QLatin1String(kLinkScoutProgram)), {}, dir);
    };
    shell.openWithDesktop = [](const std::string& page) {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(page), QUrl::StrictMode));
    };
    shell.broadcastToLinkScout = [&app] { app.GetBroadcasts().Emit(QString::fromUtf8(broadcast::kToHelper)); };
    return OpenInLinkScout(registry->LinkScoutKey(), registry->LocationKey(), url.toStdString(), shell);
}

} // namespace pelldra
