// The series job source: job order, templates, the end of open series, subfolders and reports from other threads.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/sequence/seq_job_source.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

CQueueItem Series(const std::string& st1, const std::string& ed1, int fx1, const std::string& st2 = "",
                  const std::string& ed2 = "", int fx2 = 0)
{
    CQueueItem it;
    it.Kind = CQueueItem::RENBAN;
    it.job.Targ = "http://h/*/a*.jpg";
    it.job.Dest = "/dl/*-*.jpg";
    it.St1 = st1;
    it.Ed1 = ed1;
    it.Fx1 = fx1;
    it.St2 = st2;
    it.Ed2 = ed2;
    it.Fx2 = fx2;
    return it;
}

std::vector<std::string> AllTargets(CSeqJobSource& source, size_t limit = 100)
{
    std::vector<std::string> targets;
    DownloadJob job;
    while (targets.size() < limit && source.NextJob(job))
        targets.push_back(job.Targ);
    return targets;
}

TEST(SeqJobSource, JobOrder)
{
    struct Case
    {
        const char* name;
        CQueueItem item;
        std::vector<std::string> targets;
    };
    const Case cases[] = {
        {"lower only",
         Series("8", "11", 0),
         {"http://h/*/a8.jpg", "http://h/*/a9.jpg", "http://h/*/a10.jpg", "http://h/*/a11.jpg"}},
        {"fixed width",
         Series("08", "11", 2),
         {"http://h/*/a08.jpg", "http://h/*/a09.jpg", "http://h/*/a10.jpg", "http://h/*/a11.jpg"}},
        {"upper outer, lower fastest",
         Series("1", "3", 0, "1", "2"),
         {"http://h/1/a1.jpg", "http://h/1/a2.jpg", "http://h/1/a3.jpg", "http://h/2/a1.jpg", "http://h/2/a2.jpg",
          "http://h/2/a3.jpg"}},
        {"widths of both",
         Series("9", "10", 3, "099", "100", 3),
         {"http://h/099/a009.jpg", "http://h/099/a010.jpg", "http://h/100/a009.jpg", "http://h/100/a010.jpg"}},
        {"no lower field: one job, the star takes nothing", Series("", "", 0), {"http://h/*/a.jpg"}},
        {"start equals end", Series("5", "5", 0), {"http://h/*/a5.jpg"}},
        {"numbers beyond a machine word",
         Series("99999999999999999999", "100000000000000000001", 0),
         {"http://h/*/a99999999999999999999.jpg", "http://h/*/a100000000000000000000.jpg",
          "http://h/*/a100000000000000000001.jpg"}},
    };
    for (const Case& c : cases) {
        CSeqJobSource source;
        source.Load(c.item);
        EXPECT_EQ(AllTargets(source), c.targets) << c.name;
        DownloadJob job;
        EXPECT_FALSE(source.NextJob(job)) << c.name;
        EXPECT_FALSE(source.NextJob(job)) << c.name << ": asked again after the end";
    }
}

TEST(SeqJobSource, TemplatesAndRefererSync)
{
    struct Case
    {
        int syn;
        const char* templ;
        const char* referer;
    };
    // The upper number fills the last '*' that the lower number left, as in every template.
    const Case cases[] = {{0, "http://r/*/p*.html", "http://r/*/p*.html"},
                          {1, "http://r/*/p*.html", "http://r/*/p05.html"},
                          {2, "http://r/p*.html", "http://r/p7.html"},
                          {2, "http://r/*/p*.html", "http://r/*/p7.html"},
                          {3, "http://r/*/p*.html", "http://r/7/p05.html"}};
    for (const Case& c : cases) {
        CQueueItem it = Series("05", "05", 2, "7", "7");
        it.Syn = c.syn;
        it.job.Refe = c.templ;
        it.job.Agen = "agent";
        CSeqJobSource source;
        source.Load(it);
        DownloadJob job;
        ASSERT_TRUE(source.NextJob(job));
        EXPECT_EQ(job.Refe, c.referer) << c.syn;
        EXPECT_EQ(job.Targ, "http://h/7/a05.jpg");
        EXPECT_EQ(job.Dest, "/dl/7-05.jpg");
        EXPECT_EQ(job.Agen, "agent");
    }
    // Without an upper field the upper sync changes nothing.
    CQueueItem it = Series("1", "1", 0);
    it.Syn = 2;
    it.job.Refe = "r*";
    CSeqJobSource source;
    source.Load(it);
    DownloadJob job;
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_EQ(job.Refe, "r*");
}

// Issues n jobs and returns them.
std::vector<DownloadJob> Issue(CSeqJobSource& source, int n)
{
    std::vector<DownloadJob> jobs;
    DownloadJob job;
    for (int i = 0; i < n && source.NextJob(job); ++i)
        jobs.push_back(job);
    return jobs;
}

TEST(SeqJobSourceOpenEnd, FailureBeyondLastSuccessStepsUpper)
{
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "", 0));
    std::vector<DownloadJob> jobs = Issue(source, 6);
    ASSERT_EQ(jobs.size(), 6u);
    for (int i = 0; i < 5; ++i)
        source.ReportSuccess(jobs[static_cast<size_t>(i)]);
    source.ReportFailure(jobs[5]);
    DownloadJob job;
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_EQ(job.Targ, "http://h/2/a1.jpg");
    // Late results of the first upper number do not touch the second.
    source.ReportFailure(job);
    EXPECT_FALSE(source.NextJob(job)); // the second upper number made not one file
}

TEST(SeqJobSourceOpenEnd, GapInsideTheSeriesGoesOn)
{
    CSeqJobSource source;
    source.Load(Series("1", "", 0));
    std::vector<DownloadJob> jobs = Issue(source, 4);
    source.ReportSuccess(jobs[0]);
    source.ReportSuccess(jobs[1]);
    source.ReportFailure(jobs[2]);
    source.ReportSuccess(jobs[3]);
    DownloadJob job;
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_EQ(job.Targ, "http://h/*/a5.jpg");
    source.ReportFailure(job);
    EXPECT_FALSE(source.NextJob(job)); // no upper field to step
}

TEST(SeqJobSourceOpenEnd, FailureWithoutSuccessEndsTheSeries)
{
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "5", 0));
    DownloadJob job;
    ASSERT_TRUE(source.NextJob(job));
    source.ReportFailure(job);
    EXPECT_FALSE(source.NextJob(job));
}

TEST(SeqJobSourceOpenEnd, UpperEndStopsTheStepping)
{
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "2", 0));
    for (const char* upper : {"1", "2"}) {
        std::vector<DownloadJob> jobs = Issue(source, 2);
        ASSERT_EQ(jobs.size(), 2u) << upper;
        EXPECT_EQ(jobs[0].Targ, std::string("http://h/") + upper + "/a1.jpg");
        source.ReportSuccess(jobs[0]);
        source.ReportFailure(jobs[1]);
    }
    DownloadJob job;
    EXPECT_FALSE(source.NextJob(job));
}

TEST(SeqJobSourceOpenEnd, UnboundedSeriesRunsUntilTheCallerStops)
{
    // Upper end open with a lower end: only the caller ends it.
    CSeqJobSource upperOpen;
    upperOpen.Load(Series("1", "2", 0, "1", "", 0));
    const std::vector<std::string> targets = AllTargets(upperOpen, 2000);
    ASSERT_EQ(targets.size(), 2000u);
    EXPECT_EQ(targets.back(), "http://h/1000/a2.jpg");

    // Both ends open and every download succeeds.
    CSeqJobSource allGood;
    allGood.Load(Series("1", "", 0, "1", "", 0));
    DownloadJob job;
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(allGood.NextJob(job)) << i;
        allGood.ReportSuccess(job);
    }
    EXPECT_EQ(job.Targ, "http://h/1/a2000.jpg");
    EXPECT_EQ(allGood.IssuedCount(), 0u);
}

TEST(SeqJobSource, ReportsMatchByUrlAndKeepTheHighestLower)
{
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "", 0));
    std::vector<DownloadJob> jobs = Issue(source, 3);
    DownloadJob stranger;
    stranger.Targ = "http://elsewhere/";
    source.ReportFailure(stranger);
    EXPECT_EQ(source.IssuedCount(), 3u);
    EXPECT_FALSE(source.FindByUpper(CSeqJobSource::ResultList::Failures, "1"));

    source.ReportSuccess(jobs[2]);
    source.ReportSuccess(jobs[0]); // lower than the recorded one: ignored
    source.ReportSuccess(jobs[0]); // no longer issued: ignored
    EXPECT_EQ(source.IssuedCount(), 1u);
    const auto s = source.FindByUpper(CSeqJobSource::ResultList::Successes, "1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lower, "3");
    EXPECT_EQ(s->job.Targ, "http://h/1/a3.jpg");

    struct Case
    {
        const char* lower;
        const char* kept;
    };
    for (const Case& c : {Case{"7", "7"}, Case{"10", "10"}, Case{"9", "10"}, Case{"010", "010"}}) {
        source.RecordResult(CSeqJobSource::ResultList::Failures, {DownloadJob(), c.lower, "4"});
        EXPECT_EQ(source.FindByUpper(CSeqJobSource::ResultList::Failures, "4")->lower, c.kept) << c.lower;
    }
    EXPECT_FALSE(source.FindByUpper(CSeqJobSource::ResultList::Failures, "04"));

    source.Load(Series("1", "", 0));
    EXPECT_EQ(source.IssuedCount(), 0u);
    EXPECT_FALSE(source.FindByUpper(CSeqJobSource::ResultList::Failures, "4"));
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
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_TRUE(test::FileExists(dl + "/vol1"));
    EXPECT_FALSE(test::FileExists(dl + "/vol2"));
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_FALSE(test::FileExists(dl + "/vol2"));
    ASSERT_TRUE(source.NextJob(job));
    EXPECT_TRUE(test::FileExists(dl + "/vol2"));
}

TEST(SeqJobSourceSubfolder, Cases)
{
    struct Case
    {
        const char* name;
        const char* fol; // relative to the test root; "" leaves the save folder empty
        const char* sub;
        const char* made;   // relative to the test root; "" when nothing is to be checked
        const char* absent; // must not exist afterwards
    };
    const Case cases[] = {
        {"nested parents", "dl", "a/b*/c", "dl/a/b3/c", ""},
        {"save folder missing too", "new/dl", "v*", "new/dl/v3", ""},
        {"trailing slash of the save folder", "dl2/", "v*", "dl2/v3", ""},
        {"width of the upper number", "dl3", "v*", "dl3/v3", "dl3/v*"},
        {"no subfolder template", "dl4", "", "", "dl4/v3"},
    };
    for (const Case& c : cases) {
        test::TempEnv env;
        CQueueItem it = Series("1", "1", 0, "3", "3", 0);
        it.Fol = env.root() + "/" + c.fol;
        it.Sub = c.sub;
        CSeqJobSource source;
        source.Load(it);
        DownloadJob job;
        ASSERT_TRUE(source.NextJob(job)) << c.name;
        if (*c.made) {
            EXPECT_TRUE(test::FileExists(env.root() + "/" + c.made)) << c.name;
        }
        if (*c.absent) {
            EXPECT_FALSE(test::FileExists(env.root() + "/" + c.absent)) << c.name;
        }
    }
}

TEST(SeqJobSourceSubfolder, FailureToMakeItIsIgnored)
{
    test::TempEnv env;
    ASSERT_TRUE(test::WriteFile(env.root() + "/file", "not a folder"));
    CQueueItem it = Series("1", "2", 0);
    it.Fol = env.root() + "/file";
    it.Sub = "sub";
    CSeqJobSource source;
    source.Load(it);
    EXPECT_EQ(AllTargets(source).size(), 2u);
}

TEST(SeqJobSourceThreads, ReportsFromOtherThreads)
{
    // The running thread issues jobs while two slot threads report them, as the engine does.
    CSeqJobSource source;
    source.Load(Series("1", "", 0, "1", "3", 0));
    std::mutex m;
    std::condition_variable cv;
    std::deque<DownloadJob> pending;
    bool done = false;
    auto slot = [&] {
        for (;;) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return done || !pending.empty(); });
            if (pending.empty())
                return;
            DownloadJob job = pending.front();
            pending.pop_front();
            lock.unlock();
            cv.notify_all();
            // Lower numbers above 50 are missing on the server.
            const std::string lower = job.Targ.substr(job.Targ.rfind("/a") + 2);
            if (std::stoi(lower) > 50)
                source.ReportFailure(job);
            else
                source.ReportSuccess(job);
        }
    };
    std::thread s1(slot);
    std::thread s2(slot);
    DownloadJob job;
    int issued = 0;
    while (issued < 100000) {
        {
            std::unique_lock lock(m);
            // At most ten jobs outstanding, as with the fastest speed.
            cv.wait(lock, [&] { return pending.size() < 10; });
        }
        if (!source.NextJob(job))
            break;
        ++issued;
        {
            std::lock_guard lock(m);
            pending.push_back(job);
        }
        cv.notify_all();
    }
    {
        std::lock_guard lock(m);
        done = true;
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
