// The run controller on a real engine: a run's lines and log, its figures, a start that fails, what comes next.
#include "core/orders/run_controller.h"

#include <chrono>
#include <ctime>
#include <string>
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
    order.Kind = CQueueItem::RENBAN;
    order.job.Targ = server.Url("/img*.jpg");
    order.job.Dest = folder + "img*.jpg";
    order.job.Seri = 1;
    order.Fol = folder;
    order.St1 = order.Or1 = "1";
    order.Ed1 = "2";

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
    const std::pair<RunEndState, AfterRun> cases[] = {
        {{true, true, false, true}, AfterRun::CloseWindow},
        {{false, true, false, true}, AfterRun::QueueModeOn},
        {{false, true, false, false}, AfterRun::RunNextQueued},
        {{false, false, false, true}, AfterRun::RunNextQueued},
        {{false, true, true, true}, AfterRun::StayIdle},
        {{false, false, true, true}, AfterRun::StayIdle},
        {{false, false, false, true, true}, AfterRun::QueueModeOn}, // the summary is open
    };
    for (const auto& [state, next] : cases)
        EXPECT_EQ(NextAfterRun(state), next) << state.exitRequested << state.userStopped << state.queueMode;
}

TEST(RunControllerTest, AStopBeforeTheNextQueuedStartLeavesTheOrderQueued)
{
    test::TempEnv env;
    CWaitQueue queue(env.makeFolder("q"));
    CQueueItem order;
    order.Kind = CQueueItem::RENBAN;
    order.job.Targ = "http://127.0.0.1:9/img*.jpg";
    order.St1 = order.Or1 = order.Ed1 = "1";
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

} // namespace
} // namespace pelldra
