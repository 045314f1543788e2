// Orders from LinkScout: taken from the registry store and the files it names, returned as what the window does.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/orders/detail_settings.h"
#include "core/queue/queue_item.h"

namespace pelldra {

class CSeqUrl;
class CTavinRegKey;

inline constexpr const char* kTransferKeyPath = "Software\\Tavin\\Transfer";
inline constexpr int kLowestLinkScoutVersion = 154; // "1.54"
inline constexpr const char* kLinkScoutTooOldMessage = "LinkScoutのバージョンを新しくして下さい";
inline constexpr const char* kLinkScoutUnsupportedMessage = "このバージョンには対応しなくなりました。";
inline constexpr const char* kWholeGetCommand = "whole get";
// The queue notice's origin for an order from LinkScout: it says "LinkScoutからの".
inline constexpr int kLinkScoutQueueOrigin = 1;

// Why the window looks for an order.
enum class LinkScoutCall {
    Broadcast, // "pdrHelper->Pelldra"
    Command,   // the context menu's "LinkScoutからの情報"
    Start,     // once when the window starts: nothing at all unless LinkScout has recorded a version
};

// An order to run at once; when the window is busy or in queue mode it goes to the queue with kLinkScoutQueueOrigin.
struct LinkScoutRun
{
    CQueueItem item;
    bool listOrder = false; // a Transfer list order: the window's job mode becomes JobMode::LinkScoutList first
};

struct LinkScoutOrders
{
    std::vector<std::string> messages; // LinkScout is too old: shown one after another; nothing was taken
    std::optional<CQueueItem> shown;   // to be loaded into the window, its Referer with it (LoadRefererFromItem)
    std::vector<LinkScoutRun> runs;    // in this order

    bool empty() const { return messages.empty() && !shown && runs.empty(); }
};

// The version check, then the order of "TransferInfo", then (unless that one was shown) the list order of
// "Transfer". linkScout is "Software\Tavin\pdrHelper", transfer kTransferKeyPath. folderEdit is the folder edit's
// text, which a shown order takes as its folder unless the settings say to keep LinkScout's.
LinkScoutOrders TakeLinkScoutOrder(CTavinRegKey& linkScout, CTavinRegKey& transfer, LinkScoutCall call,
                                   const DetailSettings& settings, const std::string& folderEdit);

// Takes "TransferInfo" (read and emptied at once) and the order in the file it names. A "whole get" order joins
// orders.runs as a series or a plain list; any other is orders.shown. 1 when an order is to be shown, else 0. The
// file comes from another program: only a regular file of sane size holding a complete item with its kind is taken.
int TakeTransferInfoOrder(CTavinRegKey& linkScout, const DetailSettings& settings, const std::string& folderEdit,
                          LinkScoutOrders& orders);

// Takes the list order of "Transfer" ("file" read and emptied at once, "name", "type") into orders.runs; false
// when there is none. The list itself is read when its run starts.
bool TakeTransferOrder(CTavinRegKey& linkScout, CTavinRegKey& transfer, const DetailSettings& settings,
                       LinkScoutOrders& orders);

// The Referer of an order that was shown, when the detail settings dialog is closed: the Referer CSeqUrl takes it
// from the item, and the settings' Referer text follows, since a start rebuilds that CSeqUrl from the text.
void LoadRefererFromItem(const CQueueItem& item, CSeqUrl& referer, DetailSettings& settings);

} // namespace pelldra
