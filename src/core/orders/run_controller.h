// RunController: how the window and pelldra-get start a run, end it, show its figures and learn what comes next.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/daily_log.h"
#include "core/engine/download_engine.h"
#include "core/orders/detail_settings.h"
#include "core/orders/run_order.h"
#include "core/queue/queue_item.h"

namespace pelldra {

class CContentTypeTable;
class CWaitQueue;

// What a front end asks of one start.
struct RunRequest
{
    const DetailSettings* refreshFrom = nullptr; // a list order's request options come from here; null: as stored
    JobMode jobMode = JobMode::List;             // the window's mode (a LinkScout file that fails goes back)
    std::string folderEdit;                      // the folder a list order without its own folder goes to
    bool noUpdateLinks = true;
    // A list that cannot be read refuses the order before anything is logged (a shell user gets a message and
    // fixes the path); otherwise it is a failed run with its log line, as a queued order is.
    bool refuseUnreadableList = false;
};

struct RunStart
{
    enum Outcome {
        Started,
        Busy,           // a run is going: the caller queues the order
        CannotRun,      // the order was logged with its reason; nothing runs
        ListUnreadable, // with refuseUnreadableList: nothing logged, refusal says why
    };
    Outcome outcome = Started;
    std::string refusal;
    bool backToSequential = false; // a LinkScout file failed: the window returns to the series mode
};

struct RunEnd
{
    int result = 0; // the engine's: 1 every job finished, 0 stopped or failed to start
    int failed = 0; // jobs that failed
    bool listDeleted = false;
};

// The progress line's figures: of the run going, else of the last run (no rate), else nothing (a start that
// failed leaves no counts of the run before it).
struct RunFigures
{
    int done = 0;
    int failed = 0;
    int requested = 0;
    int64_t bytes = 0;
    double rate = 0;      // bytes per second over the last seconds
    long long total = -1; // the run's file count; -1 when an open range makes it unknown
};

// "12.5 MiB" and the like: powers of 1024, one decimal from KiB on.
std::string HumanBytes(int64_t n);
// "完了 3/20  失敗 1  要求 5  1.2 MiB  300.0 KiB/s  20%": the total and the share of jobs finished only when the
// total is known.
std::string ProgressLine(const RunFigures& f);

// What a front end does after a run has ended and been finished.
enum class AfterRun {
    CloseWindow,   // the exit command came during the run
    QueueModeOn,   // the user stopped the run: the queue waits instead of starting
    RunNextQueued, // the queue goes on
    StayIdle,      // queue mode holds the queue
};
struct RunEndState
{
    bool exitRequested = false;
    bool userStopped = false;
    bool queueMode = false;
    bool queueHasItems = false;
    bool summaryOpen = false; // the queue summary is being edited: the queue must not run from under it
};
AfterRun NextAfterRun(const RunEndState& state);

// Owns the download engine and the day's log. Start and Finish and the queue run are called on one thread (the
// window's, the shell's); the engine reports to frontEnd on its own threads, each status line written to the
// day's log first. A front end's part, in order:
//   Start(order, request)   Started: show the run as going and poll Figures() for the progress line; Busy: queue
//                           the order; CannotRun: its reason is shown and logged, nothing runs.
//   Stop()                  the stop command; the run still ends through RunEnded.
//   frontEnd.RunEnded(r)    leads, back on the owner's thread, to Finish(r); then NextAfterRun says what comes
//                           next: close, switch queue mode on, StartNextQueued (Empty with powerOff: ask to power
//                           off), or wait.
// An order from elsewhere (LinkScout, the queue's window) is started the same way.
class RunController
{
public:
    using LineShower = std::function<void(const std::vector<std::string>& lines)>;

    // showStartLines: the lines of a start (the log's first line when the log opened, the target, the folder, a
    // reason the order cannot run), shown before any line of the engine; they are in the log already. queue: the
    // queue whose taken order a run's end releases (may be null). logFolder: the day's log goes there (empty: the
    // data folder).
    RunController(EngineObserver& frontEnd, LineShower showStartLines, CWaitQueue* queue,
                  const CContentTypeTable* types, FetchLimits limits = {}, std::string logFolder = {});
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Opens the day's log, prepares a copy of order (list read, stored values checked) and starts the engine on it.
    RunStart Start(const CQueueItem& order, const RunRequest& request);
    // After the engine's RunEnded(result): closes the log, releases the queue's taken order, deletes the list when
    // its order asks for that and no job failed.
    RunEnd Finish(int result);
    // Takes queued orders until one starts (taken sees each before its start), one finds a run going, or none is
    // left. An order taken after stopRequested turns true goes back to the queue unstarted: a stop that lands
    // between two orders must not use one up.
    QueueRunResult StartNextQueued(const RunRequest& request, bool powerOffWhenQueueDone,
                                   const std::function<void(const CQueueItem&)>& taken = {},
                                   const std::function<bool()>& stopRequested = {});
    // The stop command: the run ends through RunEnded as usual. Any thread.
    void Stop() { engine_->Abort(); }

    bool Running() const { return running_; }
    RunFigures Figures();
    // The order of the run going or last run, as prepared (a list's job lines read).
    const CQueueItem& RunningItem() const { return item_; }
    CDownloadEngine& Engine() { return *engine_; }
    CDailyLog& Log() { return log_; }

private:
    class Relay;

    LineShower showStartLines_;
    CWaitQueue* const queue_;
    CDailyLog log_;
    std::unique_ptr<Relay> relay_;
    CQueueItem item_; // the engine reads it while a run goes on
    bool running_ = false;
    RunFigures last_;
    std::unique_ptr<CDownloadEngine> engine_; // last: its threads are joined before what they use goes
};

} // namespace pelldra
