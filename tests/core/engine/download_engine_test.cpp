// Runs of the engine against loopback servers: slots per speed, reports, abort, open series, links, load.
#include "core/engine/download_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <set>
#include <thread>

#include "core/engine/content_type_table.h"
#include "support/http_test_server.h"
#include "support/plain_engine_observer.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using test::ReadFile;
using test::TestHttpServer;
using Jobs = std::vector<std::pair<std::string, std::string>>; // (url, file name)
using Lines = std::vector<std::string>;

const FetchLimits kShortLimits{5000ms, 2000ms, 2000ms, 50ms, 3};

class DownloadEngineTest : public ::testing::Test
{
protected:
    DownloadEngineTest() { engine.Setup(&observer, &types); }
    CQueueItem ListItem(const Jobs& jobs, int32_t seri) const
    {
        CQueueItem item;
        item.Kind = CQueueItem::LIST, item.job.Seri = seri;
        for (const auto& [url, name] : jobs) {
            item.ListLines.push_back("Targ: " + url);
            item.ListLines.push_back("Dest: " + folder + "/" + name);
        }
        return item;
    }
    static CQueueItem Series(const std::string& targ, const std::string& dest)
    {
        CQueueItem item;
        item.Kind = CQueueItem::RENBAN, item.job.Targ = targ, item.job.Dest = dest, item.job.Seri = 3;
        return item;
    }
    // n jobs: urlStem + i saved as "i.bin".
    static Jobs Numbered(const std::string& urlStem, int n)
    {
        Jobs jobs;
        for (int i = 0; i < n; ++i)
            jobs.emplace_back(urlStem + std::to_string(i), std::to_string(i) + ".bin");
        return jobs;
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
        const Lines lines = observer.Lines();
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
    }
    Lines LastTwoLines() const
    {
        const Lines lines = observer.Lines();
        return lines.size() < 2 ? lines : Lines(lines.end() - 2, lines.end());
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
    CDownloadEngine engine{kShortLimits, LinkLockTimes{10ms, 3, 2000ms, 1000ms}};
};

TEST_F(DownloadEngineTest, EachReportHasItsLinesAndTheLinkFileTheNameUsed)
{
    server.AddFile("/ok.jpg", "fine", "image/jpeg");
    server.AddFile("/b.jpg", "bbb", "image/jpeg");
    server.AddRedirect("/moved.jpg", 302, "/other.jpg");
    ASSERT_TRUE(test::WriteFile(folder + "/b.jpg", "older"));
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(TestHttpServer().port()) + "/c.jpg";
    // (url, file name, report; "*" stands for the transfer's own text)
    const std::vector<std::tuple<std::string, std::string, Lines>> reports = {
        {server.Url("/ok.jpg"), "ok.jpg", {"    成功"}},
        {server.Url("/b.jpg"), "b.jpg", {"    成功（ファイル名変更）", folder + "/b_1.jpg"}},
        {server.Url("/gone.jpg"), "gone.jpg", {"   失敗［status=404］"}},
        {server.Url("/moved.jpg"),
         "moved.jpg",
         {"   失敗［status=3］", "次のＵＲＬへのリダイレクト", server.Url("/other.jpg")}},
        {"ftp://127.0.0.1/x.jpg", "x.jpg", {"   失敗［status=2］", "Not HTTP Service"}},
        // The message's own line break stays out of the log, whose lines have theirs.
        {"http://[zz/p.jpg", "p.jpg", {"   失敗［status=2］", "Parse Error! http://[zz/p.jpg"}},
        {unreachable, "c.jpg", {"   失敗［status=2］", "*"}}, // reported, not skipped
    };
    Jobs jobs;
    Lines expected;
    for (const auto& [url, name, report] : reports) {
        jobs.emplace_back(url, name);
        expected.insert(expected.end(), {url, "    downloading....", "    受信側：", folder + "/" + name});
        expected.insert(expected.end(), report.begin(), report.end());
    }
    expected.insert(expected.end(), {"    全て終了", "    成功／要求数 = 2回／7回"});
    CQueueItem item = ListItem(jobs, 1);
    EXPECT_EQ(RunToEnd(item), 1);
    Lines lines = observer.Lines();
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(expected[i] == "*" ? !lines[i].empty() : lines[i] == expected[i]) << i << ": " << lines[i];
    EXPECT_EQ(SavedFiles(), (std::set<std::string>{"ok.jpg", "b.jpg", "b_1.jpg"}));
    EXPECT_EQ(ReadFile(folder + "/b.jpg"), "older");
    const ProgressSnapshot p = engine.Progress();
    EXPECT_EQ((std::vector<int64_t>{p.done, p.failed, p.requested, p.bytes}), (std::vector<int64_t>{2, 5, 7, 7}));
    const std::string links = ReadFile(folder + "/pdr.hlk");
    const size_t ok = links.find("Dest: " + folder + "/ok.jpg\r\n"),
                 renamed = links.find("Dest: " + folder + "/b_1.jpg\r\n");
    EXPECT_TRUE(ok != std::string::npos && renamed != std::string::npos && ok < renamed) << links;
}

TEST_F(DownloadEngineTest, SpeedClassSetsHowManyFilesGoAtOnce)
{
    std::mutex m;
    std::condition_variable cv;
    int inFlight = 0, most = 0, target = 0;
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
        return test::TestResponse{.status = 200, .headers = {}, .body = "s"};
    });
    // (Seri, jobs, slots)
    for (const auto& [seri, jobs, slots] :
         std::vector<std::tuple<int32_t, int, int>>{{0, 6, 3}, {1, 3, 1}, {2, 6, 3}, {3, 20, 10}, {7, 6, 3}}) {
        SCOPED_TRACE("Seri " + std::to_string(seri));
        {
            std::lock_guard lock(m);
            most = 0;
            target = slots;
        }
        CQueueItem item = ListItem(Numbered(server.Url("/slow.bin?n="), jobs), seri);
        EXPECT_EQ(RunToEnd(item), 1);
        EXPECT_EQ(engine.Progress().done, jobs);
        std::lock_guard lock(m);
        EXPECT_EQ(most, slots);
    }
}

TEST_F(DownloadEngineTest, AbortWithThreeWorkingSlotsAndAStartRefusedMeanwhile)
{
    server.AddScript("/f.bin", test::PartialBody(100000, 100, test::BodyEnd::Stall));
    CQueueItem item = ListItem(Numbered(server.Url("/f.bin?n="), 5), 2);
    ASSERT_TRUE(engine.Start(item));
    CQueueItem second = ListItem({{server.Url("/b.bin"), "b.bin"}}, 1);
    EXPECT_FALSE(engine.Start(second));
    EXPECT_EQ(observer.Messages(), Lines{"まだダウンロードがビジーです。"});

    test::WaitUntil([&] { return engine.Progress().bytes >= 300; });
    ASSERT_EQ(engine.Progress().bytes, 300) << "three bodies have begun";
    EXPECT_EQ(engine.Abort(), 3);
    ASSERT_TRUE(observer.WaitForRuns(1, 10s));
    EXPECT_EQ(observer.RunResults().back(), 0);
    EXPECT_EQ(Count("    受信側："), 3u) << "every working slot reports";
    EXPECT_EQ(Count("強制終了しました"), 3u);
    EXPECT_EQ(LastTwoLines(), (Lines{"    ユーザーによる中断", "    成功／要求数 = 0回／3回"}));
    EXPECT_EQ(server.RequestCount(), 3) << "no job goes out after the abort, nor any of the refused run";
    EXPECT_TRUE(SavedFiles().empty()) << "cancelled bodies leave nothing";
}

TEST_F(DownloadEngineTest, StartUpFailuresAreMessagesOnly)
{
    const std::string empty = folder + "/list.lst";
    ASSERT_TRUE(test::WriteFile(empty, ""));
    Lines shown;
    for (const auto& [lst, message] : std::vector<std::pair<std::string, std::string>>{
             {"", "ダウンロードリストが見つかりません。"},
             {folder + "/none.lst", "ダウンロードリストが見つかりません。"},
             {empty, "ダウンロードリストが空白です。"}}) {
        SCOPED_TRACE(lst);
        CQueueItem item;
        item.Kind = CQueueItem::LIST, item.Lst = lst;
        EXPECT_EQ(RunToEnd(item), 0);
        shown.push_back(message);
        EXPECT_EQ(observer.Messages(), shown);
        EXPECT_EQ(engine.RunState(), CDownloadEngine::kIdle);
    }
    EXPECT_TRUE(observer.Lines().empty());
}

TEST_F(DownloadEngineTest, OpenEndedSeriesWaitsForTheFilesInFrontOfAMissingOne)
{
    // Upper number 1 has p01 to p03, which answer only once the missing p04 has been reported; 2 has them at once;
    // 3 has nothing.
    const test::TestHandler slow = [this](const test::TestRequest&) {
        test::WaitUntil([this] { return Count("   失敗［status=404］") > 0; });
        return test::TestResponse{.status = 200, .headers = {}, .body = "slow", .content_type = "image/jpeg"};
    };
    std::set<std::string> expected;
    for (const std::string lower : {"01", "02", "03"}) {
        server.AddHandler("/v1/p" + lower + ".jpg", slow);
        server.AddFile("/v2/p" + lower + ".jpg", "img", "image/jpeg");
        expected.insert({"v1_p" + lower + ".jpg", "v2_p" + lower + ".jpg"});
    }
    CQueueItem item = Series(server.Url("/v*/p*.jpg"), folder + "/v*_p*.jpg");
    item.St1 = "01"; // no Ed1: the lower number runs on until a file is missing
    item.Fx1 = 2;
    item.St2 = "1"; // no Ed2 either: an upper number without a file ends the series
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(SavedFiles(), expected);
    EXPECT_EQ(LastTwoLines().at(0), "    全て終了");
    // Jobs past the last file go out before the first failure comes back, but no more than the slots.
    EXPECT_LE(engine.Progress().requested, 6 + 3 * CDownloadEngine::kMaxSlots);
}

TEST_F(DownloadEngineTest, AnOpenUpperRangeEndsAtANumberWithoutFilesAndLeavesNoFolder)
{
    const std::string dead = "http://127.0.0.1:" + std::to_string(TestHttpServer().port());
    CQueueItem item = Series(dead + "/v*/p*.jpg", folder + "/v*/p*.jpg");
    item.Fol = folder, item.Sub = "v*", item.St1 = "1", item.Ed1 = "2", item.St2 = "3"; // no Ed2
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_LE(engine.Progress().requested, 2 * CDownloadEngine::kMaxSlots);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(DownloadEngineTest, ARefusedAreaIsAskedAgainInTheNextRun)
{
    server.RequireBasic("/d/", "u", "p");
    server.AddFile("/d/1.jpg", "one", "image/jpeg");
    CQueueItem item = ListItem({{server.Url("/d/1.jpg"), "1.jpg"}}, 1);
    // Cancelled (nobody answers), then a mistyped password, then the right one: each refusal holds for its run.
    for (const auto& answer :
         {CredentialsAnswer{}, CredentialsAnswer{true, "u", "typo"}, CredentialsAnswer{true, "u", "p"}}) {
        observer.SetAnswerer([answer](auto&&...) { return answer; });
        EXPECT_EQ(RunToEnd(item), 1);
    }
    EXPECT_EQ(Count("認証が否定されました"), 2u);
    EXPECT_EQ(Count("    成功"), 1u);
    EXPECT_EQ(observer.PromptedUrls().size(), 3u) << "every run asks again";
}

TEST_F(DownloadEngineTest, TwoThousandFilesKeepOneConnectionPerSlotAndNoLinkFileWhenAsked)
{
    constexpr int kFiles = 2000;
    server.AddHandler("/f.bin", [](const test::TestRequest& req) {
        return test::TestResponse{200, {}, "file " + req.query, "application/octet-stream"};
    });
    CQueueItem item = ListItem(Numbered(server.Url("/f.bin?n="), kFiles), 3);
    engine.SetNoUpdateLinks(true);
    EXPECT_EQ(RunToEnd(item), 1);
    EXPECT_EQ(SavedFiles().size(), static_cast<size_t>(kFiles));
    EXPECT_FALSE(test::FileExists(folder + "/pdr.hlk"));
    EXPECT_EQ(observer.Lines().back(), "    成功／要求数 = 2000回／2000回");
    EXPECT_LE(server.ConnectionCount(), CDownloadEngine::kMaxSlots);
    // Every job's report stays together, however the slots' reports interleave.
    const Lines lines = observer.Lines();
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == "    受信側：") {
            ASSERT_EQ(lines[i + 1].rfind(folder + "/", 0), 0u) << lines[i + 1];
        }
}

} // namespace
} // namespace pelldra
