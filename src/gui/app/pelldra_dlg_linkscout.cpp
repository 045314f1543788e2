// The main window's side of LinkScout: its orders taken, run, queued or shown, and URLs shown in LinkScout.
#include "gui/app/pelldra_dlg.h"

#include <QDesktopServices>
#include <QUrl>

#include "core/linkscout/linkscout_orders.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "gui/app/pelldra_app.h"
#include "gui/linkscout/open_in_linkscout.h"
#include "gui/log/log_edit.h"
#include "gui/platform/broadcasts.h"
#include "gui/platform/message_box.h"
#include "gui/widgets/folder_edit.h"

namespace pelldra {

void CPelldraDlg::ConnectLinkScout()
{
    if (!options_.app)
        return;
    // The application object has brought the window up by the time this arrives.
    connect(options_.app, &CPelldraApp::BroadcastReceived, this, [this](const QString& name) {
        if (name == QLatin1String(broadcast::kFromHelper))
            TakeLinkScoutOrders(LinkScoutCall::Broadcast);
    });
    // Posted, so that an order taken at start finds the window shown and its messages have a parent on screen.
    QMetaObject::invokeMethod(
        this, [this] { TakeLinkScoutOrders(LinkScoutCall::Start); }, Qt::QueuedConnection);

    log_->SetUrlOpener([this](const QUrl& url) {
        // The image test page is our own file, which the desktop shows; web URLs go to LinkScout first.
        if (url.isLocalFile())
            QDesktopServices::openUrl(url);
        else
            OpenInLinkScout(*options_.app, url.toString());
    });
}

void CPelldraDlg::TakeLinkScoutOrders(LinkScoutCall call)
{
    AppRegistry* registry = options_.app ? options_.app->Registry() : nullptr;
    // A window on its way out would lose what it takes; left in the store, the order stays for the next window.
    if (!registry || closeRequested_ || exitRequested_)
        return;
    CTavinRegKey transfer(kTransferKeyPath);
    LinkScoutOrders orders =
        TakeLinkScoutOrder(registry->LinkScoutKey(), transfer, call, settings_, folderEdit_->text().toStdString());
    for (const std::string& message : orders.messages)
        ShowMessage(this, QString::fromStdString(message));
    if (orders.shown)
        LoadItemIntoWindow(*orders.shown); // its Referer with it, into an open detail dialog too
    for (const LinkScoutRun& run : orders.runs) {
        if (run.listOrder)
            SetJobMode(JobMode::LinkScoutList);
        currentItem_ = run.item;
        if (StartRun(currentItem_) > 0)
            AddToQueue(currentItem_, kLinkScoutQueueOrigin);
    }
}

} // namespace pelldra
