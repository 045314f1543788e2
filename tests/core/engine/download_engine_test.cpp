// Runs of the engine against loopback servers: slots per speed, reports, abort, open series, limits, links, load.
#include "core/engine/download_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <set>
#include <thread>

#include "core/credentials/ninsho_center.h"
#include "core/engine/content_type_table.h"
#include "support/http_test_server.h"
#include "support/raw_test_server.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using test::RawTestServer;
using test::ReadFile;
using test::TestHttpServer;

constexpr const char* kSummaryZeroOfThree = "    成功／要求数 = 0回／3回";

FetchLimits ShortLimits()
{
    FetchLimits l;
    l.answer = 5000ms;
    l.stall = 2000ms;
    l.prompt = 2000ms;
    l.areaStep = 50ms;
    l.areaSteps = 3;
    return l;
}

LinkLockTimes ShortLockTimes()
{
    LinkLockTimes t;
    t.retry_interval = 10ms;
    t.give_up_after = 1000ms;
    return t;
}

class DownloadEngineTest : public ::testing::Test
{
protected:
    explicit DownloadEngineTest(FetchLimits limits = ShortLimits()) : engine(limits, ShortLockTimes())
    {
        engine.Setup(&observer, &types);
    }

    // A list order of (url, file name) jobs.
    CQueueItem ListItem(const std::vector<std::pair<std::string, std::string>>& jobs, int32_t seri)
    {
        CQueueItem item;
        item.Kind = CQueueItem::LIST;
        item.job.Seri = seri;
        for (const auto& [url, name] : jobs) {
            item.ListLines.push_back("Targ: " + url);
            item.ListLines.push_back("Dest: " + folder + "/" + name);
        }
        return item;
    }

    // Starts item and waits for its end; the run's result.
    int RunToEnd(CQueueItem& item)
    {
        const size_t before = observer.RunResults().size();
        EXPECT_TRUE(engine.Start(item));
        EXPECT_TRUE(observer.WaitForRuns(before + 1, 60s)) << "the run did not end";
        return observer.RunResults().back();
    }

    size_t Count(const std::string& line) const
    {
        const auto lines = observer.Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }

    // The downloaded files, once the link writer is done with the folder.
    std::set<std::string> SavedFiles()
    {
        engine.LinkWriter().WaitIdle();
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.path().filename() != "pdr.hlk")
                names.insert(e.path().filename().string());
        return names;
    }

    TestHttpServer server; // first: outlives the engine's connections
    test::TempEnv env;
    std::string folder = env.makeFolder("dl");
    CContentTypeTable types;
    PlainEngineObserver observer;
    CDownloadEngine engine;
};

TEST_F(DownloadEngineTest, EachReportHasItsWrittenLines)
{
    server.AddFile("/ok.jpg", "fine", "image/jpeg");
    server.AddRedirect("/moved.jpg", 302, "/other.jpg");
    CQueueItem item = ListItem({{server.Url("/ok.jpg"), "ok.jpg"},
                                {server.Url("/gone.jpg"), "gone.jpg"},
                                {server.Url("/moved.jpg"), "moved.jpg"},
                                {"ftp://127.0.0.1/x.jpg", "x.jpg"}},
                               1);
    EXPECT_EQ(RunToEnd(item), 1);
    const std::vector<std::string> expected = {
        server.Url("/ok.jpg"),
        "    downloading....",
        "    受信側：",
        folder + "/ok.jpg",
        "    成功",
        server.Url("/gone.jpg"),
        "    downloading....",
        "    受信側：",
        folder + "/gone.jpg",
        "   失敗［status=404］",
        server.Url("/moved.jpg"),
        "    downloading....",
        "    受信側：",
        folder + "/moved.jpg",
        "   失敗［status=3］",
        "次のＵＲＬへのリダイレクト",
        server.Url("/other.jpg"),
        "ftp://127.0.0.1/x.jpg",
        "    downloading....",
        "    受信側：",
        folder + "/x.jpg",
        "   失敗［status=2］",
        "Not HTTP Service",
        "    全て終了",
        "    成功／要求数 = 1回／4回",
    };
    EXPECT_EQ(observer.Lines(), expected);
    const ProgressSnapshot p = engine.Progress();
    EXPECT_EQ(p.done, 1);
    EXPECT_EQ(p.failed, 3);
    EXPECT_EQ(p.requested, 4);
    EXPECT_EQ(p.bytes, 4);
}

TEST_F(DownloadEngineTest, SpeedClassSetsHowManyFilesGoAtOnce)
{
    std::mutex m;
    std::condition_variable cv;
    int inFlight = 0;
    int most = 0;
    int target = 0;
    // Each request waits (a while at most) until as many as the speed class allows are in flight together.
    server.AddHandler("/slow.bin", [&](const test::TestRequest&) {
        std::unique_lock lock(m);
        most = std::max(most, ++inFlight);
        cv.notify_all();
        cv.wait_for(lock, 1s, [&] { return inFlight >= target; }); // well within the stall limit
        lock.unlock();
        std::this_thread::sleep_for(20ms); // one more in flight would show now
        lock.lock();
        --inFlight;
        test::TestResponse r;
        r.body = "s";
        return r;
    });
    struct Row
    {
        int32_t seri;
        int jobs;
        int most;
    };
    for (const Row& row : std::vector<Row>{{0, 6, 3}, {1, 3, 1}, {2, 6, 3}, {3, 20, 10}, {7, 6, 3}}) {
        SCOPED_TRACE("Seri " + std::to_string(row.seri));
        {
            std::lock_guard lock(m);
            most = 0;
            target = row.most;
        }
        std::vector<std::pair<std::string, std::string>> jobs;
        for (int i = 0; i < row.jobs; ++i)
            jobs.emplace_back(server.Url("/slow.bin?n=" + std::to_string(i)), std::to_string(i) + ".bin");
        CQueueItem item = ListItem(jobs, row.seri);
        EXPECT_EQ(RunToEnd(item), 1);
        EXPECT_EQ(engine.Progress().done, row.jobs);
        std::lock_guard lock(m);
        EXPECT_EQ(most, row.most);
        EXPECT_EQ(engine.SlotCount(), row.most);
    }
}

TEST_F(DownloadEngineTest, ThreeFailingJobsEndWithAllFinishedAndNoSuccess)
{
    CQueueItem item = ListItem(
        {{server.Url("/a.jpg"), "a.jpg"}, {server.Url("/b.jpg"), "b.jpg"}, {server.Url("/c.jpg"), "c.jpg"}}, 3);
    EXPECT_EQ(RunToEnd(item), 1);
    const auto lines = observer.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "    全て終了");
    EXPECT_EQ(lines.back(), kSummaryZeroOfThree);
    EXPECT_EQ(Count("   失敗［status=404］"), 3u);
    EXPECT_TRUE(SavedFiles().empty());
}

TEST_F(DownloadEngineTest, UnreachableServerIsReportedNotSkipped)
{
    int closedPort = 0;
    {
        TestHttpServer gone;
        closedPort = gone.port();
    }
    CQueueItem item = ListItem({{"http://127.0.0.1:" + std::to_string(closedPort) + "/a.jpg", "a.jpg"}}, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    const auto lines = observer.Lines();
    const auto failed = std::find(lines.begin(), lines.end(), "   失敗［status=2］");
    ASSERT_NE(failed, lines.end());
    ASSERT_NE(failed + 1, lines.end());
    EXPECT_FALSE((failed + 1)->empty()) << "the failure carries the transfer's text";
    EXPECT_EQ(lines.back(), "    成功／要求数 = 0回／1回");
}

TEST_F(DownloadEngineTest, AbortWithThreeWorkingSlots)
{
    RawTestServer raw(RawTestServer::StallMidBody(100000, 100));
    std::vector<std::pair<std::string, std::string>> jobs;
    for (int i = 0; i < 5; ++i)
        jobs.emplace_back(raw.Url("/" + std::to_string(i) + ".bin"), std::to_string(i) + ".bin");
    CQueueItem item = ListItem(jobs, 2);
    ASSERT_TRUE(engine.Start(item));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (engine.Progress().bytes < 300 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(engine.Progress().bytes, 300) << "three bodies have begun";
    EXPECT_EQ(engine.Abort(), 3);
    ASSERT_TRUE(observer.WaitForRuns(1, 10s));
    EXPECT_EQ(observer.RunResults().back(), 0);

    const auto lines = observer.Lines();
    EXPECT_EQ(Count("    受信側："), 3u) << "every working slot reports";
    EXPECT_EQ(Count("強制終了しました"), 3u);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "    ユーザーによる中断");
    EXPECT_EQ(lines.back(), kSummaryZeroOfThree);
    EXPECT_EQ(raw.Heads().size(), 3u) << "no job goes out after the abort";
    EXPECT_TRUE(SavedFiles().empty()) << "cancelled bodies leave nothing";
}

TEST_F(DownloadEngineTest, AStartDuringARunIsRefused)
{
    RawTestServer raw(RawTestServer::StallMidBody(1000, 10));
    CQueueItem first = ListItem({{raw.Url("/a.bin"), "a.bin"}}, 1);
    CQueueItem second = ListItem({{server.Url("/b.bin"), "b.bin"}}, 1);
    ASSERT_TRUE(engine.Start(first));
    EXPECT_FALSE(engine.Start(second));
    EXPECT_EQ(observer.Messages(), std::vector<std::string>{"まだダウンロードがビジーです。"});
    engine.Abort();
    ASSERT_TRUE(observer.WaitForRuns(1, 10s));
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(DownloadEngineTest, StartUpFailuresAreMessagesOnly)
{
    const std::string existing = folder + "/list.lst";
    ASSERT_TRUE(test::WriteFile(existing, ""));
    struct Row
    {
        std::string lst;
        const char* message;
    };
    for (const Row& row : std::vector<Row>{{"", "ダウンロードリストが見つかりません。"},
                                           {folder + "/none.lst", "ダウンロードリストが見つかりません。"},
                                           {existing, "ダウンロードリストが空白です。"}}) {
        SCOPED_TRACE(row.lst);
        PlainEngineObserver fresh;
        CDownloadEngine quiet(ShortLimits(), ShortLockTimes());
        quiet.Setup(&fresh, &types);
        CQueueItem item;
        item.Kind = CQueueItem::LIST;
        item.Lst = row.lst;
        ASSERT_TRUE(quiet.Start(item));
        ASSERT_TRUE(fresh.WaitForRuns(1, 10s));
        EXPECT_EQ(fresh.RunResults(), std::vector<int>{0});
        EXPECT_EQ(fresh.Messages(), std::vector<std::string>{row.message});
        EXPECT_TRUE(fresh.Lines().empty());
        EXPECT_EQ(quiet.RunState(), CDownloadEngine::kIdle);
    }
}

TEST_F(DownloadEngineTest, OpenEndedSeriesStopsAtTheLastFileOfEachUpperNumber)
{
    for (int upper = 1; upper <= 2; ++upper)
        for (int lower = 1; lower <= 5; ++lower)
            server.AddFile("/v" + std::to_string(upper) + "/p" + std::to_string(lower) + ".jpg", "img", "image/jpeg");
    CQueueItem item;
    item.Kind = CQueueItem::RENBAN;
    item.job.Targ = server.Url("/v*/p*.jpg");
    item.job.Dest = folder + "/v*_p*.jpg";
    item.job.Seri = 2;
    item.St1 = "1";
    item.Ed1 = "";
    item.St2 = "1";
    item.Ed2 = "2";
    EXPECT_EQ(RunToEnd(item), 1);

    std::set<std::string> expected;
    for (int upper = 1; upper <= 2; ++upper)
        for (int lower = 1; lower <= 5; ++lower)
            expected.insert("v" + std::to_string(upper) + "_p" + std::to_string(lower) + ".jpg");
    EXPECT_EQ(SavedFiles(), expected);
    // Jobs past the last file are already out before the first failure comes back, but no more than the slots.
    const int beyond = server.RequestCount() - 10;
    EXPECT_GE(beyond, 2);
    EXPECT_LE(beyond, 2 * 3);
    EXPECT_EQ(observer.Lines()[observer.Lines().size() - 2], "    全て終了");
}

TEST_F(DownloadEngineTest, LinkFileGetsBothFilesInReportOrderAndTheRenamedPath)
{
    server.AddFile("/a.jpg", "aaa", "image/jpeg", "Sun, 06 Nov 1994 08:49:37 GMT");
    server.AddFile("/b.jpg", "bbb", "image/jpeg");
    ASSERT_TRUE(test::WriteFile(folder + "/b.jpg", "older"));
    CQueueItem item = ListItem({{server.Url("/a.jpg"), "a.jpg"}, {server.Url("/b.jpg"), "b.jpg"}}, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(Count("    成功（ファイル名変更）"), 1u);
    EXPECT_EQ(Count(folder + "/b_1.jpg"), 1u);
    engine.LinkWriter().WaitIdle();

    const std::string links = ReadFile(folder + "/pdr.hlk");
    const size_t a = links.find("Targ: " + server.Url("/a.jpg") + "\r\n");
    const size_t b = links.find("Targ: " + server.Url("/b.jpg") + "\r\n");
    ASSERT_NE(a, std::string::npos) << links;
    ASSERT_NE(b, std::string::npos) << links;
    EXPECT_LT(a, b);
    EXPECT_NE(links.find("Dest: " + folder + "/b_1.jpg\r\n"), std::string::npos) << "the name actually used";
    EXPECT_NE(links.find("Modi: 784111777\r\n"), std::string::npos);
    EXPECT_EQ(ReadFile(folder + "/b.jpg"), "older");
}

TEST_F(DownloadEngineTest, NoUpdateLinksWritesNoLinkFile)
{
    server.AddFile("/a.jpg", "aaa", "image/jpeg");
    engine.SetNoUpdateLinks(true);
    CQueueItem item = ListItem({{server.Url("/a.jpg"), "a.jpg"}}, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    engine.LinkWriter().WaitIdle();
    EXPECT_FALSE(test::FileExists(folder + "/pdr.hlk"));
}

TEST_F(DownloadEngineTest, AStoreOpenedSinceARefusalAnswersForTheArea)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    CQueueItem item = ListItem({{server.Url("/d/1.jpg"), "1.jpg"}}, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(Count("認証が否定されました"), 1u) << "nobody answers the prompt";

    auto center = std::make_shared<CNinshoCenter>(CNinshoCenter::InMemory{});
    CAuthRecord rec;
    rec.SetSiteUrl(server.Url("/d/"));
    rec.SetUserId("u");
    rec.SetPassword("p");
    int index = 0;
    ASSERT_GE(center->Add(rec, index), 0);
    engine.SetCredentialStore(center);
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(Count("    成功"), 1u);
    EXPECT_EQ(observer.PromptedUrls().size(), 1u);
}

class AnswerLimitTest : public DownloadEngineTest
{
protected:
    static FetchLimits Limits()
    {
        FetchLimits l = ShortLimits();
        l.answer = 300ms;
        l.stall = 30s;
        return l;
    }
    AnswerLimitTest() : DownloadEngineTest(Limits()) {}
};

TEST_F(AnswerLimitTest, ALateAnswerTimesOutAndLeavesTheNextJobAlone)
{
    RawTestServer silent(RawTestServer::NeverAnswer());
    server.AddFile("/next.jpg", "next", "image/jpeg");
    CQueueItem item = ListItem({{silent.Url("/late.jpg"), "late.jpg"}, {server.Url("/next.jpg"), "next.jpg"}}, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(Count("    サーバー応答がタイムアウトです"), 1u);
    EXPECT_EQ(Count("    成功"), 1u);
    EXPECT_EQ(ReadFile(folder + "/next.jpg"), "next");
    EXPECT_EQ(SavedFiles(), std::set<std::string>{"next.jpg"});
}

TEST_F(DownloadEngineTest, TwoThousandFilesKeepOneConnectionPerSlot)
{
    constexpr int kFiles = 2000;
    server.AddHandler("/f.bin", [](const test::TestRequest& req) {
        test::TestResponse r;
        r.body = "file " + req.query;
        return r;
    });
    std::vector<std::pair<std::string, std::string>> jobs;
    for (int i = 0; i < kFiles; ++i)
        jobs.emplace_back(server.Url("/f.bin?n=" + std::to_string(i)), std::to_string(i) + ".bin");
    CQueueItem item = ListItem(jobs, 3);
    engine.SetNoUpdateLinks(true);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(RunToEnd(item), 1);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_EQ(SavedFiles().size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(observer.Lines().back(), "    成功／要求数 = 2000回／2000回");
    EXPECT_LE(server.ConnectionCount(), CDownloadEngine::kMaxSlots);
    std::printf("[ figures ] %d files in %.2f s over %d connections\n", kFiles, seconds, server.ConnectionCount());
}

} // namespace
} // namespace pelldra
