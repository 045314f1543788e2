// What the range edits show for a stored series order loaded back into the window.
#include <gtest/gtest.h>

#include "core/orders/sequential_order.h"
#include "core/queue/queue_item.h"
#include "core/sequence/seq_url.h"

namespace pelldra {
namespace {

// The ranges as "from-to/width", an emptied end as "-", the upper range after a '|'.
std::string Shown(const FilledRanges& f)
{
    auto one = [](const RangeTexts& r) {
        return r.from + "-" + (r.toEmptied ? "" : r.to) + "/" + std::to_string(r.width);
    };
    return one(f.lower) + (f.hasUpper ? "|" + one(f.upper) : "");
}

TEST(RangesOfItemTest, StoredRangesComeBackUnlessTheyAreUnsound)
{
    // The URL's digits, 2 (upper, on) and 05 (lower), are what a fallback shows.
    const struct
    {
        const char *st1, *ed1;
        int fx1;
        const char *st2, *ed2, *shown;
    } cases[] = {
        {"01", "09", 2, "", "", "01-09/2"},
        {"3", "", 0, "1", "4", "3-/0|1-4/0"},
        {"", "", 0, "", "", "05-05/2|2-2/0"},     // no lower start
        {"0x", "09", 2, "", "", "05-05/2|2-2/0"}, // letters in a counter
    };
    CSeqUrl url;
    url.SetText("http://h.example/vol2/p05.jpg");
    url.SetUpperEnabled(true);
    for (const auto& c : cases) {
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN;
        item.St1 = c.st1, item.Ed1 = c.ed1, item.Fx1 = c.fx1, item.St2 = c.st2, item.Ed2 = c.ed2;
        EXPECT_EQ(Shown(RangesOfItem(item, url, false)), c.shown) << c.st1 << " " << c.fx1;
    }
}

} // namespace
} // namespace pelldra
