// A run's end as the run controller sees it: how many files it fetches, and whether its list goes.
#include "core/orders/run_order.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(RunOrder, TotalIsKnownForClosedRanges)
{
    // St1, Ed1, St2, Ed2 and the total.
    const std::tuple<std::string, std::string, std::string, std::string, long long> cases[] = {
        {"01", "12", "", "", 12},  {"5", "3", "", "", 0},
        {"", "", "", "", 1}, // the URL as typed
        {"1", "", "", "", -1},     {"1", "3", "2", "", -1},
        {"1", "3", "08", "10", 9}, {"1", "1234567890123456789", "", "", -1}, // too long to count
    };
    for (const auto& [st1, ed1, st2, ed2, total] : cases) {
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN;
        item.St1 = st1;
        item.Ed1 = ed1;
        item.St2 = st2;
        item.Ed2 = ed2;
        EXPECT_EQ(RunTotal(item), total) << st1 << ":" << ed1 << " " << st2 << ":" << ed2;
    }
}

TEST(RunOrder, ListIsDeletedOnlyAfterARunWithoutFailures)
{
    // Del, kind, the run's result, failed jobs, deleted.
    const std::tuple<int, std::string, int, int, bool> cases[] = {
        {1, "LIST", 1, 0, true},  {1, "LIST", 1, 1, false}, // a list with files still missing is kept
        {1, "LIST", 0, 0, false}, {0, "LIST", 1, 0, false},
        {0, "LINK", 1, 3, true},  {0, "IMAGE", 0, 0, false}, // LinkScout's hand-over file goes after any run
        {1, "RENBAN", 1, 0, false},                        // a series order never deletes a file
    };
    test::TempEnv env;
    for (const auto& [del, kind, result, failed, deleted] : cases) {
        CQueueItem item;
        item.Lst = env.root() + "/order.lst";
        ASSERT_TRUE(test::WriteFile(item.Lst, "http://a/1.jpg\n"));
        item.Del = del;
        item.KindName = kind;
        item.Kind = kind == "RENBAN" ? CQueueItem::RENBAN : CQueueItem::LIST;
        EXPECT_EQ(DeleteListAfterRun(item, result, failed), deleted) << kind << del << result << failed;
        EXPECT_EQ(test::FileExists(item.Lst), !deleted);
    }
}

} // namespace
} // namespace pelldra
