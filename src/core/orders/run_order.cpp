// A run's first log lines, the list read at its start, and the queue run.
#include "core/orders/run_order.h"

#include <unistd.h>

#include <climits>

#include "core/orders/list_order.h"
#include "core/orders/save_path.h"
#include "core/queue/queue_item.h"
#include "core/queue/wait_queue.h"
#include "core/sequence/digits.h"

namespace pelldra {

namespace {

// The failure line of an order whose stored counters or widths are unsound; the key follows.
constexpr const char* kBadStoredValueMessage = "指令の値が不正なため、中止: ";

} // namespace

std::vector<std::string> RunStartLines(const CQueueItem& item)
{
    return {"  Target: " + item.job.Targ, "  保存用フォルダは: " + item.Fol};
}

RunPreparation PrepareRun(CQueueItem& running, const DetailSettings* refreshFrom, JobMode jobMode,
                          const std::string& folderEdit)
{
    RunPreparation prep;
    // A stored order is checked again: the queue file may have been written by hand or by another program. The
    // start lines would show the unsound value.
    if (const std::string bad = FirstBadStoredValue(running); !bad.empty()) {
        prep.code = -2;
        prep.lines.push_back(kBadStoredValueMessage + bad);
        return prep;
    }
    prep.lines = RunStartLines(running);
    if (running.Kind == CQueueItem::RENBAN) {
        running.job.Dest = ResolveDest(running.job.Dest, running.Fol);
        std::string refusal = TemplateRefusal(running.Sub, "　サブフォルダ");
        if (refusal.empty())
            refusal = DestRefusal(running.job.Dest, running.Fol);
        if (!refusal.empty()) {
            prep.code = -2;
            prep.lines.push_back(std::move(refusal));
        }
        return prep;
    }
    std::vector<std::string> lines;
    const ListReadResult read = ReadJobList(running, lines, jobMode, folderEdit);
    if (!read.ok()) {
        prep.code = read.refused ? -2 : -1;
        prep.lines.push_back(read.message);
        prep.backToSequential = read.backToSequential;
        return prep;
    }
    if (refreshFrom)
        FillRequestOptions(*refreshFrom, running);
    running.ListLines = std::move(lines);
    running.Kind = CQueueItem::LIST;
    return prep;
}

QueueRunResult RunNextQueued(CWaitQueue& queue, const StartRunFunction& start, bool powerOffWhenQueueDone)
{
    QueueRunResult result;
    CQueueItem item;
    for (TakeResult taken; (taken = queue.TakeFirst(item)) != TakeResult::Empty;) {
        if (taken == TakeResult::CannotTake) {
            result.outcome = QueueRunResult::CannotTake;
            result.failure = queue.TakeFailure();
            return result;
        }
        const int r = start(item);
        if (r == 0) {
            result.outcome = QueueRunResult::Started;
            return result;
        }
        if (r > 0) {
            result.requeueFailed = queue.Append(item) != 0;
            queue.EndTakenRun();
            result.outcome = QueueRunResult::Requeued;
            return result;
        }
        queue.EndTakenRun(); // taken out of the queue, so it is dropped
        ++result.skipped;
    }
    result.outcome = QueueRunResult::Empty;
    // Only the run that took the last order ends the queue; later runs started by hand find it empty but not done.
    result.powerOff = queue.TakeEmptied() != 0 && powerOffWhenQueueDone;
    result.keptAside = queue.TakeKeptAside();
    return result;
}

namespace {

// end - start + 1 of two digit strings; -1 when either is empty or too long for the sum.
long long RangeCount(const std::string& start, const std::string& end)
{
    constexpr size_t kMaxDigits = 18;
    if (start.empty() || end.empty() || start.size() > kMaxDigits || end.size() > kMaxDigits)
        return -1;
    if (CompareDigits(start, end) > 0)
        return 0;
    return std::stoll(end) - std::stoll(start) + 1;
}

} // namespace

long long RunTotal(const CQueueItem& item)
{
    if (item.Kind != CQueueItem::RENBAN) {
        DownloadJob scratch;
        long long jobs = 0;
        for (const std::string& line : item.ListLines)
            jobs += scratch.ReadListLine(line) ? 1 : 0;
        return jobs;
    }
    if (item.St1.empty())
        return 1; // the URL as typed
    const long long lower = RangeCount(item.St1, item.Ed1);
    if (item.St2.empty() || lower <= 0)
        return lower;
    const long long upper = RangeCount(item.St2, item.Ed2);
    if (upper < 0 || (upper > 0 && lower > LLONG_MAX / upper))
        return -1;
    return lower * upper;
}

bool DeleteListAfterRun(const CQueueItem& item, int runResult, int failedJobs)
{
    // A series order read from a hand-written queue file may carry Lst and Del too: only a list run deletes.
    if (runResult == 0 || item.Kind == CQueueItem::RENBAN || item.Lst.empty())
        return false;
    const bool handOver = item.KindName == "LINK" || item.KindName == "IMAGE";
    if (!handOver && (item.Del == 0 || failedJobs > 0))
        return false;
    return ::unlink(item.Lst.c_str()) == 0;
}

} // namespace pelldra
