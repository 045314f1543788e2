// pelldra-send's order: built and checked as the window builds it, then written where LinkScout writes its orders.
#pragma once

#include <string>

#include "core/queue/queue_item.h"

namespace pelldra {
class CTavinRegKey;
}

namespace pelldra::cli {

struct SendRequest
{
    std::string url;  // a series URL, or
    std::string list; // a list file
    std::string page; // the list's page
    std::string type; // "", "LINK" or "IMAGE"
    std::string dir;  // "" when not given
    bool now = false; // run the series at once
};

struct PreparedOrder
{
    bool list = false;
    std::string folder;    // checked, absolute
    CQueueItem item;       // the series
    std::string listPath;  // absolute
    std::string listBytes; // the list, for the copy that a LINK or IMAGE order hands over
    std::string page;
    std::string type;
    bool now = false;
};

struct Refusal
{
    std::string message; // empty: none
    std::string subject; // the file or folder it is about, or empty
};

// Checks the folder and the list, or builds the series with the window's saved detail settings.
Refusal PrepareOrder(const SendRequest& request, PreparedOrder& order);

// The private folder of the files handed to the window ($XDG_DATA_HOME/Pelldra/sent), created.
std::string SentFolder();

// Writes "Version" (when LinkScout's is older than the window takes), "SaveFolder" and the order, the value the
// window takes ("TransferInfo" or "file") last. handedOver: the file that value names.
Refusal WriteOrder(const PreparedOrder& order, const std::string& folder, CTavinRegKey& linkScout,
                   CTavinRegKey& transfer, std::string& handedOver);

// The window reads an order file as it takes it, so a file is removed by the next sender; waiting is the one
// "TransferInfo" still names.
void RemoveStaleOrderFiles(const std::string& folder, const std::string& waiting);

// An order taken back: its files go, but never the user's own list.
void RemoveHandedOverFile(const PreparedOrder& order, const std::string& handedOver);

} // namespace pelldra::cli
