// Starting a run of an order and working off the queue, as the main window (and the command line) do it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/orders/detail_settings.h"
#include "core/orders/list_order.h"

namespace pelldra {

class CQueueItem;
class CWaitQueue;

// The lines a run's log gets after its first line: the target and the save folder.
std::vector<std::string> RunStartLines(const CQueueItem& item);

struct RunPreparation
{
    int code = 0;                   // 0 ready to hand to the engine, -1 the list cannot be read, -2 the order was
                                    // read but is refused (a list without a job, a save path that may not be used,
                                    // a bad stored counter or width)
    std::vector<std::string> lines; // log lines to show, in order
    bool backToSequential = false;  // a LinkScout file failed: the window returns to the series mode
};

// Everything of a run's start that is not the window's: the log lines, and for a list item the job lines read into
// running.ListLines, the request options refreshed from refreshFrom (kept as stored when it is null) and the kind
// set to a plain list. A series item's stored counters and widths are checked, and its save path and subfolder as
// the start command checks them. running is the window's copy of the item.
RunPreparation PrepareRun(CQueueItem& running, const DetailSettings* refreshFrom, JobMode jobMode,
                          const std::string& folderEdit);

// How many files a run fetches when that is known at its start: a series whose ranges are closed, or a list read
// by PrepareRun. -1 when a range is open (or too long to count).
long long RunTotal(const CQueueItem& item);

// After a list run: deletes the item's list file when its order asks for that (Del) and the run finished without
// a failed job, so that a list whose files are still missing stays for another try; LinkScout's hand-over file
// (LINK, IMAGE) goes whenever the run finished. A series run deletes nothing. True when it was deleted.
bool DeleteListAfterRun(const CQueueItem& item, int runResult, int failedJobs);

// Starts a run of an item: 0 started, > 0 busy (the caller queues the item), < 0 it cannot run (its list cannot
// be read, or PrepareRun refused it).
using StartRunFunction = std::function<int(const CQueueItem&)>;

struct QueueRunResult
{
    enum Outcome {
        Started,    // an item runs
        Requeued,   // the starter was busy: the item went back to the end of the queue (notice origin 2)
        Empty,      // nothing left to run
        CannotTake, // the queue cannot be read or written: nothing was taken, failure says why
    };
    Outcome outcome = Empty;
    std::string failure;
    bool requeueFailed = false; // the busy item could not be written back: the caller must say it was lost
    int skipped = 0;            // items dropped because their list could not be read
    bool powerOff = false;      // the queue run emptied the queue and the user asked for power-off then
    std::string keptAside;      // a queue file that held no readable order was kept under this name
};

// Takes items off the front of the queue until one starts, one finds the starter busy, or none is left. A started
// order stays held by the queue until the caller says its run has ended (CWaitQueue::EndTakenRun).
QueueRunResult RunNextQueued(CWaitQueue& queue, const StartRunFunction& start, bool powerOffWhenQueueDone);

} // namespace pelldra
