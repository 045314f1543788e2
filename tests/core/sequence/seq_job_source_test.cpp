// The series job source: job order, templates, the end of open series, subfolders and reports from other threads.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "core/sequence/seq_job_source.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

CQueueItem Series(const std::string& st1, const std::string& ed1, int fx1, const std::string& st2 = "",
                  const std::string& ed2 = "", int fx2 = 0)
{
    CQueueItem it;
    it.Kind = CQueueItem::RENBAN;
    it.job.Targ = "http://h/*/a*";
    it.job.Dest = "/dl/*-*.jpg";
    it.St1 = st1;
    it.Ed1 = ed1;
    it.Fx1 = fx1;
    it.St2 = st2;
    it.Ed2 = ed2;
    it.Fx2 = fx2;
    return it;
}

// Plays a script on a fresh source: 'n' asks for the next job, 'S' and 'F' report the oldest unreported job as a
// success or a failure, 'X' reports a failure of a job never issued. Gives what each 'n' issued ("upper/lower", the
// part after "http://h/") or "end".
std::string Play(const CQueueItem& item, const std::string& script)
{
    CSeqJobSource source;
    source.Load(item);
    std::deque<DownloadJob> outstanding;
    std::string log;
    for (const char step : script) {
        DownloadJob job;
        if (step == 'n') {
            const bool issued = source.NextJob(job);
            log += (log.empty() ? "" : " ") + (issued ? job.Targ.substr(9) : "end");
            if (issued)
                outstanding.push_back(job);
        } else if (step == 'X') {
            job.Targ = "http://elsewhere/";
            source.ReportFailure(job);
        } else {
            job = outstanding.front();
            outstanding.pop_front();
            step == 'S' ? source.ReportSuccess(job) : source.ReportFailure(job);
        }
    }
    return log;
}

TEST(SeqJobSource, OrderAndEndOfTheSeries)
{
    // With an open lower end the series of an upper number ends when a failure lies beyond its last success.
    const std::tuple<const char*, CQueueItem, const char*, const char*> cases[] = {
        {"lower only", Series("8", "11", 0), "nnnnnn", "*/a8 */a9 */a10 */a11 end end"},
        {"fixed width", Series("08", "11", 2), "nnnnn", "*/a08 */a09 */a10 */a11 end"},
        {"upper outer, lower fastest", Series("1", "3", 0, "1", "2"), "nnnnnnnn",
         "1/a1 1/a2 1/a3 2/a1 2/a2 2/a3 end end"},
        {"widths of both", Series("9", "10", 3, "099", "100", 3), "nnnnn", "099/a009 099/a010 100/a009 100/a010 end"},
        {"no lower field: one job, the star takes nothing", Series("", "", 0), "nnn", "*/a end end"},
        {"start equals end", Series("5", "5", 0), "nn", "*/a5 end"},
        {"numbers beyond a machine word", Series("99999999999999999999", "100000000000000000001", 0), "nnnn",
         "*/a99999999999999999999 */a100000000000000000000 */a100000000000000000001 end"},
        {"failure beyond the last success steps the upper number", Series("1", "", 0, "1", "", 0), "nnnnnnSSSSSFnFn",
         "1/a1 1/a2 1/a3 1/a4 1/a5 1/a6 2/a1 end"},
        {"a gap inside the series goes on", Series("1", "", 0), "nnnnSSFSnFn", "*/a1 */a2 */a3 */a4 */a5 end"},
        {"failure with no success ends the series", Series("1", "", 0, "1", "5", 0), "nFn", "1/a1 end"},
        {"upper end stops the stepping", Series("1", "", 0, "1", "2", 0), "nnSFnnSFn", "1/a1 1/a2 2/a1 2/a2 end"},
        {"a failure report of an unknown URL changes nothing", Series("1", "", 0), "nXn", "*/a1 */a2"}};
    for (const auto& [name, item, script, issued] : cases)
        EXPECT_EQ(Play(item, script), issued) << name;
}

TEST(SeqJobSource, RefererFollowsTheSyncedNumbers)
{
    // Sync flags, upper number, Referer template and the Referer sent. The upper number fills the last '*' that the
    // lower number left, as in every template; without an upper field the upper sync changes nothing.
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {0, "7", "r/*/p*", "r/*/p*"}, {1, "7", "r/*/p*", "r/*/p05"}, {2, "7", "r/p*", "r/p7"},
        {2, "7", "r/*/p*", "r/*/p7"}, {3, "7", "r/*/p*", "r/7/p05"}, {2, "", "r/p*", "r/p*"}};
    for (const auto& [syn, upper, templ, referer] : cases) {
        CQueueItem it = Series("05", "05", 2, upper, upper);
        it.Syn = syn;
        it.job.Refe = templ;
        it.job.Agen = "agent";
        CSeqJobSource source;
        source.Load(it);
        DownloadJob job;
        ASSERT_TRUE(source.NextJob(job));
        EXPECT_EQ(job.Refe, referer) << syn << " " << templ;
        EXPECT_EQ(job.Agen, "agent");
    }
}

TEST(SeqJobSource, UnboundedSeriesRunsUntilTheCallerStops)
{
    DownloadJob job;
    CSeqJobSource upperOpen; // upper end open with a lower end: only the caller ends it
    upperOpen.Load(Series("1", "2", 0, "1", "", 0));
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(upperOpen.NextJob(job)) << i;
    EXPECT_EQ(job.Targ, "http://h/1000/a2");
    EXPECT_EQ(job.Dest, "/dl/1000-2.jpg");

    CSeqJobSource allGood; // both ends open and every download succeeds
    allGood.Load(Series("1", "", 0, "1", "", 0));
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(allGood.NextJob(job)) << i;
        allGood.ReportSuccess(job);
    }
    EXPECT_EQ(job.Targ, "http://h/1/a2000");
    EXPECT_EQ(allGood.IssuedCount(), 0u);
}

TEST(SeqJobSource, ReportsMatchByUrlAndKeepTheHighestLower)
{
    using List = CSeqJobSource::ResultList;
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "", 0));
    DownloadJob first;
    DownloadJob job;
    source.NextJob(first);
    source.NextJob(job);
    source.NextJob(job);
    source.ReportSuccess(job);
    source.ReportSuccess(first); // lower than the recorded one: ignored
    source.ReportSuccess(first); // no longer issued: ignored
    EXPECT_EQ(source.IssuedCount(), 1u);
    const auto s = source.FindByUpper(List::Successes, "1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lower, "3");
    EXPECT_EQ(s->job.Targ, "http://h/1/a3");

    for (const auto& [lower, kept] : {std::pair{"7", "7"}, {"10", "10"}, {"9", "10"}, {"010", "010"}}) {
        source.RecordResult(List::Failures, {DownloadJob(), lower, "4"});
        EXPECT_EQ(source.FindByUpper(List::Failures, "4")->lower, kept) << lower;
    }
    EXPECT_FALSE(source.FindByUpper(List::Failures, "04"));
    source.Load(Series("1", "", 0));
    EXPECT_EQ(source.IssuedCount(), 0u);
    EXPECT_FALSE(source.FindByUpper(List::Failures, "4"));
}

TEST(SeqJobSourceSubfolder, MadeBeforeTheFirstJobOfEachUpper)
{
    test::TempEnv env;
    const std::string dl = env.makeFolder("dl");
    CQueueItem it = Series("1", "2", 0, "1", "2", 0);
    it.Fol = dl;
    it.Sub = "vol*";
    CSeqJobSource source;
    source.Load(it);
    DownloadJob job;
    for (const bool vol2 : {false, false, true}) {
        ASSERT_TRUE(source.NextJob(job));
        EXPECT_TRUE(test::FileExists(dl + "/vol1"));
        EXPECT_EQ(test::FileExists(dl + "/vol2"), vol2) << job.Targ;
    }
}

TEST(SeqJobSourceSubfolder, Cases)
{
    // Save folder, subfolder template, a folder that must exist afterwards and one that must not (relative to the
    // test root). A folder that cannot be made is left to the transfers, which then fail with their own message.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"dl", "a/b*/c", "dl/a/b3/c", ""}, // nested parents
        {"new/dl", "v*", "new/dl/v3", ""}, // the save folder is missing too
        {"dl2/", "v*", "dl2/v3", ""},      // a trailing slash
        {"dl4", "", "", "dl4/v3"},         // no subfolder template
        {"file", "v*", "", ""}};           // the save folder is a file
    for (const auto& [fol, sub, made, absent] : cases) {
        SCOPED_TRACE(std::string(fol) + " " + sub);
        test::TempEnv env;
        ASSERT_TRUE(test::WriteFile(env.root() + "/file", "not a folder"));
        CQueueItem it = Series("1", "2", 0, "3", "3", 0);
        it.Fol = env.root() + "/" + fol;
        it.Sub = sub;
        EXPECT_EQ(Play(it, "nnn"), "3/a1 3/a2 end");
        if (*made) {
            EXPECT_TRUE(test::FileExists(env.root() + "/" + made));
        }
        if (*absent) {
            EXPECT_FALSE(test::FileExists(env.root() + "/" + absent));
        }
    }
}

TEST(SeqJobSourceThreads, ReportsFromOtherThreads)
{
    // The running thread issues jobs while two slot threads report them, as the engine does.
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "3", 0));
    std::mutex m;
    std::condition_variable cv;
    std::deque<DownloadJob> pending; // a job without a URL tells a slot to stop
    auto slot = [&] {
        for (;;) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return !pending.empty(); });
            const DownloadJob job = pending.front();
            pending.pop_front();
            lock.unlock();
            cv.notify_all();
            if (job.Targ.empty())
                return;
            // Lower numbers above 50 are missing on the server.
            if (std::stoi(job.Targ.substr(job.Targ.rfind("/a") + 2)) > 50)
                source.ReportFailure(job);
            else
                source.ReportSuccess(job);
        }
    };
    std::thread s1(slot);
    std::thread s2(slot);
    DownloadJob job;
    int issued = 0;
    for (; issued < 100000 && source.NextJob(job); ++issued) {
        std::unique_lock lock(m);
        pending.push_back(job);
        cv.notify_all();
        // At most ten jobs outstanding, as with the fastest speed.
        cv.wait(lock, [&] { return pending.size() < 10; });
    }
    {
        std::lock_guard lock(m);
        pending.resize(pending.size() + 2);
    }
    cv.notify_all();
    s1.join();
    s2.join();
    EXPECT_LT(issued, 100000); // the series ended by itself
    EXPECT_GE(issued, 153);    // three upper numbers, fifty files and one failure each at least
    EXPECT_EQ(source.upperCur(), "4");
    for (const char* upper : {"1", "2", "3"}) {
        const auto s = source.FindByUpper(CSeqJobSource::ResultList::Successes, upper);
        ASSERT_TRUE(s) << upper;
        EXPECT_EQ(s->lower, "50") << upper;
    }
}

} // namespace
} // namespace pelldra
