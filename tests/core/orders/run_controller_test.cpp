// A run from start to end: the run controller on a real engine (a run's lines and log, its figures, a start that
// fails, what comes next), a run's known total, and whether its list goes.
#include "core/orders/run_controller.h"

#include <chrono>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/platform/folders.h"
#include "core/queue/wait_queue.h"
#include "support/http_test_server.h"
#include "support/plain_engine_observer.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

TEST(RunControllerTest, RunIsLoggedAndCountedAndAFailedStartLeavesNoOldCounts)
{
    test::TempEnv env;
    test::TestHttpServer server;
    for (const char* path : {"/img1.jpg", "/img2.jpg"})
        server.AddFile(path, "abc", "image/jpeg");
    PlainEngineObserver frontEnd;
    Lines shown;
    RunController runs(
        frontEnd, [&](const Lines& lines) { shown.insert(shown.end(), lines.begin(), lines.end()); }, nullptr, nullptr);
    const std::string folder = env.makeFolder("dl") + "/";
    CQueueItem order;
    order.Kind = CQueueItem::RENBAN, order.Fol = folder, order.St1 = order.Or1 = "1", order.Ed1 = "2";
    order.job.Targ = server.Url("/img*.jpg"), order.job.Dest = folder + "img*.jpg", order.job.Seri = 1;

    ASSERT_EQ(runs.Start(order, {}).outcome, RunStart::Started);
    EXPECT_EQ(shown, (Lines{"  Logの開始", "  Target: " + order.job.Targ, "  保存用フォルダは: " + folder}));
    EXPECT_EQ(runs.Start(order, {}).outcome, RunStart::Busy);
    ASSERT_TRUE(frontEnd.WaitForRuns(1, 60s));
    const RunEnd end = runs.Finish(frontEnd.RunResults()[0]);
    EXPECT_EQ(end.result, 1);
    EXPECT_EQ(end.failed, 0);
    EXPECT_EQ(ProgressLine(runs.Figures()), "完了 2/2  失敗 0  要求 2  6 B  0 B/s  100%");
    // The day's log holds the start's lines and every line of the engine, and is closed after the run.
    EXPECT_FALSE(runs.Log().IsOpen());
    std::string logged;
    for (const Lines& lines : {shown, frontEnd.Lines()})
        for (const std::string& line : lines)
            logged += line + "\r\n";
    EXPECT_EQ(test::ReadFile(GetProgramFolder() + "/" + CDailyLog::FileNameFor(std::time(nullptr))), logged);

    order.Fx1 = 2147483647; // a stored width no series can have
    const RunStart refused = runs.Start(order, {});
    EXPECT_EQ(refused.outcome, RunStart::CannotRun);
    EXPECT_EQ(refused.refusal, "指令の値が不正なため、中止: Fx1");
    EXPECT_EQ(shown.back(), refused.refusal);
    EXPECT_FALSE(runs.Log().IsOpen());
    EXPECT_EQ(ProgressLine(runs.Figures()), "完了 0  失敗 0  要求 0  0 B  0 B/s");
}

TEST(RunControllerTest, ProgressLineShowsTheTotalAndShareOnlyWhenKnown)
{
    const std::pair<RunFigures, std::string> cases[] = {
        {{}, "完了 0  失敗 0  要求 0  0 B  0 B/s"},
        {{3, 1, 5, 1258291, 307200, 20}, "完了 3/20  失敗 1  要求 5  1.2 MiB  300.0 KiB/s  20%"},
        {{0, 0, 1, 1023, 1024, 0}, "完了 0/0  失敗 0  要求 1  1023 B  1.0 KiB/s  100%"},
        {{5, 0, 5, 5LL << 50, 0, 4}, "完了 5/4  失敗 0  要求 5  5120.0 TiB  0 B/s  100%"},
    };
    for (const auto& [figures, line] : cases)
        EXPECT_EQ(ProgressLine(figures), line);
}

TEST(RunControllerTest, AfterARunTheExitTheStopOrTheQueueModeDecides)
{
    // Exit requested, user stopped, queue mode, queue has items, summary open; what comes next.
    // clang-format off
    const std::pair<RunEndState, AfterRun> cases[] = {
        {{true, true, false, true}, AfterRun::CloseWindow}, {{false, true, false, true}, AfterRun::QueueModeOn},
        {{false, true, false, false}, AfterRun::RunNextQueued}, {{false, false, false, true}, AfterRun::RunNextQueued},
        {{false, true, true, true}, AfterRun::StayIdle}, {{false, false, true, true}, AfterRun::StayIdle},
        {{false, false, false, true, true}, AfterRun::QueueModeOn}, // the summary is open
    };
    // clang-format on
    for (const auto& [state, next] : cases)
        EXPECT_EQ(NextAfterRun(state), next) << state.exitRequested << state.userStopped << state.queueMode;
}

TEST(RunControllerTest, AStopBeforeTheNextQueuedStartLeavesTheOrderQueued)
{
    test::TempEnv env;
    CWaitQueue queue(env.makeFolder("q"));
    CQueueItem order;
    order.Kind = CQueueItem::RENBAN, order.St1 = order.Or1 = order.Ed1 = "1";
    order.job.Targ = "http://127.0.0.1:9/img*.jpg";
    ASSERT_EQ(queue.Append(order), 0);
    PlainEngineObserver frontEnd;
    RunController runs(
        frontEnd, [](const Lines&) {}, &queue, nullptr);

    bool started = false;
    const QueueRunResult r = runs.StartNextQueued(
        {}, false, [&](const CQueueItem&) { started = true; }, [] { return true; });
    EXPECT_EQ(r.outcome, QueueRunResult::Requeued);
    EXPECT_FALSE(started);
    EXPECT_FALSE(runs.Running());
    EXPECT_EQ(queue.LoadAll(), 1);
}

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
        item.Kind = CQueueItem::RENBAN, item.St1 = st1, item.Ed1 = ed1, item.St2 = st2, item.Ed2 = ed2;
        EXPECT_EQ(RunTotal(item), total) << st1 << ":" << ed1 << " " << st2 << ":" << ed2;
    }
}

TEST(RunOrder, ListIsDeletedOnlyAfterARunWithoutFailures)
{
    // Del, kind, the run's result, failed jobs, deleted.
    const std::tuple<int, std::string, int, int, bool> cases[] = {
        {1, "LIST", 1, 0, true},    {1, "LIST", 1, 1, false}, // a list with files still missing is kept
        {1, "LIST", 0, 0, false},   {0, "LIST", 1, 0, false},
        {0, "LINK", 1, 3, true},    {0, "IMAGE", 0, 0, false}, // LinkScout's hand-over file goes after any run
        {1, "RENBAN", 1, 0, false},                            // a series order never deletes a file
    };
    test::TempEnv env;
    for (const auto& [del, kind, result, failed, deleted] : cases) {
        CQueueItem item;
        item.Lst = env.root() + "/order.lst";
        ASSERT_TRUE(test::WriteFile(item.Lst, "http://a/1.jpg\n"));
        item.Del = del, item.KindName = kind;
        item.Kind = kind == "RENBAN" ? CQueueItem::RENBAN : CQueueItem::LIST;
        EXPECT_EQ(DeleteListAfterRun(item, result, failed), deleted) << kind << del << result << failed;
        EXPECT_EQ(test::FileExists(item.Lst), !deleted);
    }
}

} // namespace
} // namespace pelldra
