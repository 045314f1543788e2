// Taking LinkScout's orders out of the registry store.
#include "core/linkscout/linkscout_orders.h"

#include <sys/types.h>

#include "core/orders/sequential_order.h"
#include "core/platform/regular_file.h"
#include "core/registry/app_registry.h"
#include "core/registry/tavin_reg_key.h"
#include "core/sequence/seq_url.h"
#include "core/text/text_lines.h"

namespace pelldra {

namespace {

// One queue item is a few hundred bytes.
constexpr off_t kOrderFileLimit = 1 << 20;

// The order in LinkScout's file; false when there is none to take.
bool ReadOrderFile(const std::string& path, CQueueItem& item)
{
    std::string bytes;
    if (ReadRegularFile(path, kOrderFileLimit, bytes) != RegularFileRead::Ok)
        return false;
    // LinkScout's files are code page 932 unless marked or UTF-8 as a whole, like the queue file.
    const std::string text = OrderFileText(bytes);
    StringLineSource lines(text);
    // An item without its kind line names nothing to fetch.
    return item.ReadItem(lines) && item.Kind >= CQueueItem::RENBAN;
}

int KindOfType(const std::string& type)
{
    if (type == "IMAGE")
        return CQueueItem::IMAGE;
    if (type == "LINK")
        return CQueueItem::LINK;
    return CQueueItem::LIST;
}

} // namespace

LinkScoutOrders TakeLinkScoutOrder(CTavinRegKey& linkScout, CTavinRegKey& transfer, LinkScoutCall call,
                                   const DetailSettings& settings, const std::string& folderEdit)
{
    LinkScoutOrders orders;
    const int version = ParseLinkScoutVersion(linkScout.GetString("Version"));
    if (call == LinkScoutCall::Start && version == 0)
        return orders;
    if (version < kLowestLinkScoutVersion) {
        orders.messages = {kLinkScoutTooOldMessage, kLinkScoutUnsupportedMessage};
        return orders;
    }
    if (TakeTransferInfoOrder(linkScout, settings, folderEdit, orders) == 1)
        return orders;
    TakeTransferOrder(linkScout, transfer, settings, orders);
    return orders;
}

int TakeTransferInfoOrder(CTavinRegKey& linkScout, const DetailSettings& settings, const std::string& folderEdit,
                          LinkScoutOrders& orders)
{
    const std::string path = linkScout.Take("TransferInfo");
    if (path.empty())
        return 0;
    CQueueItem item;
    if (!ReadOrderFile(path, item))
        return 0;
    if (linkScout.GetString("Command") == kWholeGetCommand) {
        FillRequestOptions(settings, item);
        // The kind name stays, so that the temporary list of a LINK or IMAGE order is still deleted after its run.
        item.Kind = item.Kind == CQueueItem::RENBAN ? CQueueItem::RENBAN : CQueueItem::LIST;
        orders.runs.push_back({std::move(item), false});
        return 0;
    }
    if (settings.SameFolderAsLinkScout == 0) {
        std::string folder = folderEdit;
        if (CheckFolderText(folder) == 0)
            item.Fol = folder;
    }
    orders.shown = std::move(item);
    return 1;
}

bool TakeTransferOrder(CTavinRegKey& linkScout, CTavinRegKey& transfer, const DetailSettings& settings,
                       LinkScoutOrders& orders)
{
    const std::string file = transfer.Take("file");
    if (file.empty())
        return false;
    LinkScoutRun run;
    run.listOrder = true;
    CQueueItem& item = run.item;
    item.Clear();
    FillRequestOptions(settings, item);
    item.Lst = file;
    item.Fol = linkScout.GetString("SaveFolder");
    item.Page = transfer.GetString("name");
    item.KindName = transfer.GetString("type");
    item.Kind = KindOfType(item.KindName);
    orders.runs.push_back(std::move(run));
    return true;
}

void LoadRefererFromItem(const CQueueItem& item, CSeqUrl& referer, DetailSettings& settings)
{
    LoadUrlFromItem(referer, item);
    settings.Referer = referer.GetText();
}

} // namespace pelldra
