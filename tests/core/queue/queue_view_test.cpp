// The URL list viewer's rows and the lines of the queue listing.
#include "core/queue/queue_view.h"

#include <gtest/gtest.h>

#include "core/queue/queue_item.h"

namespace pelldra {
namespace {

TEST(UrlListRowsTest, EachDestGivesARowWithTheLastTargAndReferer)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, std::string>> rows;
    };
    const Case cases[] = {{"a Referer given once applies to every later row",
                           {"Refe: http://r/", "Targ: http://h/1", "Dest: /d/1", "Targ: http://h/2", "Dest: /d/2"},
                           {{"http://h/1", "http://r/"}, {"http://h/2", "http://r/"}}},
                          {"Targ without Dest gives no row", {"Targ: http://h/1", "Targ: http://h/2"}, {}},
                          {"a later Referer replaces it; other keys and short lines are ignored",
                           {"Targ: http://h/1", "Dest: /d/1", "Refe: http://s/", "Cook: a=1", "Dest", "Dest: /d/1b"},
                           {{"http://h/1", ""}, {"http://h/1", "http://s/"}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<std::string, std::string>> rows;
        for (const UrlListRow& r : UrlListRows(c.lines))
            rows.emplace_back(r.url, r.referer);
        EXPECT_EQ(rows, c.rows);
    }
}

TEST(QueueListLineTest, EachKindIsNamedByWhatItFetches)
{
    CQueueItem it;
    it.job.Targ = "http://h/a*.jpg", it.Lst = "/l/u.lst", it.Page = "http://h/p.html", it.Fol = "/dl";
    const char* const lines[] = {"1\tRENBAN\thttp://h/a*.jpg\t/dl\n", "2\tLIST\t/l/u.lst\t/dl\n",
                                 "3\tLINK\thttp://h/p.html\t/dl\n", "4\tIMAGE\thttp://h/p.html\t/dl\n"};
    for (it.Kind = 0; it.Kind < 4; ++it.Kind)
        EXPECT_EQ(QueueListLine(it.Kind + 1, it), lines[it.Kind]);
}

} // namespace
} // namespace pelldra
