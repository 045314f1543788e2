// A run from its first log line to the decision after its end, and the progress line's text.
#include "core/orders/run_controller.h"

#include <algorithm>
#include <cstdio>

#include "core/queue/wait_queue.h"

namespace pelldra {

// Writes every status line to the day's log before the front end shows it, so both front ends log alike.
class RunController::Relay final : public EngineObserver
{
public:
    Relay(EngineObserver& frontEnd, CDailyLog& log) : frontEnd_(frontEnd), log_(log) {}

    void ShowLines(std::span<const std::string> lines) override
    {
        log_.AppendLines(lines);
        frontEnd_.ShowLines(lines);
    }
    void RunEnded(int result) override { frontEnd_.RunEnded(result); }
    void ShowMessage(const std::string& text) override { frontEnd_.ShowMessage(text); }
    CredentialsAnswer AskCredentials(const std::string& url, std::chrono::milliseconds limit,
                                     CredentialsPrompt& prompt) override
    {
        return frontEnd_.AskCredentials(url, limit, prompt);
    }

private:
    EngineObserver& frontEnd_;
    CDailyLog& log_;
};

RunController::RunController(EngineObserver& frontEnd, LineShower showStartLines, CWaitQueue* queue,
                             const CContentTypeTable* types, FetchLimits limits, std::string logFolder)
    : showStartLines_(std::move(showStartLines)), queue_(queue), log_(std::move(logFolder)),
      relay_(std::make_unique<Relay>(frontEnd, log_)), engine_(std::make_unique<CDownloadEngine>(limits))
{
    engine_->Setup(relay_.get(), types);
}

RunController::~RunController()
{
    engine_.reset();
    log_.Close();
}

RunStart RunController::Start(const CQueueItem& order, const RunRequest& request)
{
    RunStart start;
    if (running_) {
        start.outcome = RunStart::Busy;
        return start;
    }
    last_ = {};
    item_ = order;
    const RunPreparation prep = PrepareRun(item_, request.refreshFrom, request.jobMode, request.folderEdit);
    start.backToSequential = prep.backToSequential;
    if (prep.code == -1 && request.refuseUnreadableList) {
        start.outcome = RunStart::ListUnreadable;
        start.refusal = prep.lines.back();
        return start;
    }
    std::vector<std::string> lines;
    if (log_.Open())
        lines.emplace_back(kLogStartLine); // Open wrote it to the file
    log_.AppendLines(prep.lines);
    lines.insert(lines.end(), prep.lines.begin(), prep.lines.end());
    if (showStartLines_)
        showStartLines_(lines);
    if (prep.code < 0) {
        log_.Close();
        start.outcome = RunStart::CannotRun;
        start.refusal = prep.lines.back();
        return start;
    }
    engine_->SetNoUpdateLinks(request.noUpdateLinks);
    if (!engine_->Start(item_)) {
        // The engine has said why; only a run started past this controller gets here.
        log_.Close();
        start.outcome = RunStart::Busy;
        return start;
    }
    running_ = true;
    last_.total = RunTotal(item_);
    return start;
}

RunEnd RunController::Finish(int result)
{
    RunEnd end;
    end.result = result;
    if (queue_)
        queue_->EndTakenRun(); // a queued order that ran is done with
    const RunFigures figures = Figures();
    running_ = false;
    last_ = figures;
    last_.rate = 0;
    log_.Close();
    end.failed = figures.failed;
    end.listDeleted = DeleteListAfterRun(item_, result, end.failed);
    return end;
}

QueueRunResult RunController::StartNextQueued(const RunRequest& request, bool powerOffWhenQueueDone,
                                              const std::function<void(const CQueueItem&)>& taken,
                                              const std::function<bool()>& stopRequested)
{
    if (!queue_)
        return {};
    const StartRunFunction start = [&](const CQueueItem& item) {
        if (stopRequested && stopRequested())
            return 1; // queued again, as when a run is going
        if (taken)
            taken(item);
        switch (Start(item, request).outcome) {
        case RunStart::Started:
            return 0;
        case RunStart::Busy:
            return 1;
        default:
            return -1;
        }
    };
    return RunNextQueued(*queue_, start, powerOffWhenQueueDone);
}

RunFigures RunController::Figures()
{
    if (!running_)
        return last_;
    const ProgressSnapshot p = engine_->Progress();
    RunFigures f;
    f.done = p.done;
    f.failed = p.failed;
    f.requested = p.requested;
    f.bytes = p.bytes;
    f.rate = p.rate;
    f.total = last_.total;
    return f;
}

AfterRun NextAfterRun(const RunEndState& s)
{
    if (s.exitRequested)
        return AfterRun::CloseWindow;
    if (s.queueMode)
        return AfterRun::StayIdle;
    // A stop is the user's word: the queue waits until they switch queue mode off again.
    if ((s.userStopped && s.queueHasItems) || s.summaryOpen)
        return AfterRun::QueueModeOn;
    return AfterRun::RunNextQueued;
}

std::string HumanBytes(int64_t n)
{
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (n < 1024)
        return std::to_string(n) + " B";
    double v = static_cast<double>(n);
    int u = -1;
    while (v >= 1024 && u < 3) {
        v /= 1024;
        ++u;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", v, units[u]);
    return text;
}

std::string ProgressLine(const RunFigures& f)
{
    const bool known = f.total >= 0;
    std::string line = "完了 " + std::to_string(f.done) + (known ? "/" + std::to_string(f.total) : "") + "  失敗 " +
                       std::to_string(f.failed) + "  要求 " + std::to_string(f.requested) + "  " + HumanBytes(f.bytes) +
                       "  " + HumanBytes(static_cast<int64_t>(f.rate)) + "/s";
    if (known) {
        const long long finished = f.done + f.failed;
        const long long percent = f.total > 0 ? std::min<long long>(100, finished * 100 / f.total) : 100;
        line += "  " + std::to_string(percent) + "%";
    }
    return line;
}

} // namespace pelldra
