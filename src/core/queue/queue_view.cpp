// Rows of the URL list viewer and the names of waiting orders.
#include "core/queue/queue_view.h"

#include <string_view>

#include "core/queue/queue_item.h"

namespace pelldra {

std::vector<UrlListRow> UrlListRows(const std::vector<std::string>& lines)
{
    std::vector<UrlListRow> rows;
    UrlListRow current;
    for (const std::string& line : lines) {
        const std::string_view key = std::string_view(line).substr(0, 6);
        const std::string value = line.size() > 6 ? line.substr(6) : std::string();
        if (key == "Refe: ")
            current.referer = value;
        else if (key == "Targ: ")
            current.url = value;
        else if (key == "Dest: ")
            rows.push_back(current);
    }
    return rows;
}

// Only the low two bits choose how an order is written, and so what it is.
std::string WaitingItemText(const CQueueItem& item)
{
    switch (item.Kind & 3) {
    case CQueueItem::RENBAN:
        return item.job.Targ;
    case CQueueItem::LIST:
        return item.Lst;
    default:
        return item.Page;
    }
}

std::string QueueListLine(int number, const CQueueItem& item)
{
    static const char* const words[] = {"RENBAN", "LIST", "LINK", "IMAGE"};
    return std::to_string(number) + "\t" + words[item.Kind & 3] + "\t" + WaitingItemText(item) + "\t" + item.Fol + "\n";
}

} // namespace pelldra
