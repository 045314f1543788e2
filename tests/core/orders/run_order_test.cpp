// A run's end as the run controller sees it: how many files it fetches, and whether its list goes.
#include "core/orders/run_order.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(RunOrder, TotalIsKnownForClosedRangesAndReadLists)
{
    struct Case
    {
        std::string St1, Ed1, St2, Ed2;
        long long total;
    };
    const Case cases[] = {
        {"01", "12", "", "", 12},
        {"5", "3", "", "", 0},                    // a stored range the wrong way round fetches nothing
        {"", "", "", "", 1},                      // the URL as typed
        {"1", "", "", "", -1},                    // open end
        {"1", "3", "2", "", -1},                  // open upper end
        {"1", "3", "08", "10", 9},                // odometer: every lower number under every upper one
        {"1", "1234567890123456789", "", "", -1}, // too long to count
        {"1", "999999999999999999", "1", "999999999999999999", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.St1 + ":" + c.Ed1 + " " + c.St2 + ":" + c.Ed2);
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN;
        item.St1 = c.St1;
        item.Ed1 = c.Ed1;
        item.St2 = c.St2;
        item.Ed2 = c.Ed2;
        EXPECT_EQ(RunTotal(item), c.total);
    }
    CQueueItem list;
    list.Kind = CQueueItem::LIST;
    list.ListLines = {"Targ: http://a/1", "Dest: /d/1", "User: u", "Targ: http://a/2", "Dest: /d/2"};
    EXPECT_EQ(RunTotal(list), 2);
}

TEST(RunOrder, ListIsDeletedOnlyAfterARunWithoutFailures)
{
    struct Case
    {
        const char* what;
        int Del;
        const char* KindName;
        int result, failed;
        bool deleted;
    };
    const Case cases[] = {
        {"asked, all fetched", 1, "LIST", 1, 0, true},
        {"asked, one failed: the list is needed again", 1, "LIST", 1, 1, false},
        {"asked, run stopped", 1, "LIST", 0, 0, false},
        {"not asked", 0, "LIST", 1, 0, false},
        {"LinkScout's hand-over file", 0, "LINK", 1, 3, true},
        {"LinkScout's hand-over file, run stopped", 0, "IMAGE", 0, 0, false},
    };
    test::TempEnv env;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQueueItem item;
        item.Lst = env.root() + "/order.lst";
        ASSERT_TRUE(test::WriteFile(item.Lst, "http://a/1.jpg\n"));
        item.Del = c.Del;
        item.KindName = c.KindName;
        EXPECT_EQ(DeleteListAfterRun(item, c.result, c.failed), c.deleted);
        EXPECT_EQ(test::FileExists(item.Lst), !c.deleted);
    }
}

} // namespace
} // namespace pelldra
