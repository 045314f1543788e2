// What the URL list viewer and the queue summary show of job lines and of waiting orders.
#pragma once

#include <string>
#include <vector>

namespace pelldra {

class CQueueItem;

struct UrlListRow
{
    std::string url;
    std::string referer;
};

// One row per "Dest: " line, with the URL and Referer given last before it: a Referer given once applies to every
// later job, as the download engine reads the lines. A Targ without a Dest gives no row.
std::vector<UrlListRow> UrlListRows(const std::vector<std::string>& lines);

// The text that names a waiting order: the URL template of a series, the list file of a list, the page of a link
// or image order.
std::string WaitingItemText(const CQueueItem& item);

// One line of pelldra-get --queue-list: number, kind word ("RENBAN", "LIST", "LINK" or "IMAGE", by the kind the
// queue file writes), what the order fetches and its folder, separated by tabs, with its line end.
std::string QueueListLine(int number, const CQueueItem& item);

} // namespace pelldra
