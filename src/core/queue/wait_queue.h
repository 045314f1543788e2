// The persistent queue of download orders, first in, first out, in "Waiting.wlt" of the data folder.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/folders.h"
#include "core/queue/queue_item.h"
#include "core/queue/taken_record.h"

namespace pelldra {

enum class TakeResult {
    Taken,
    Empty,      // no complete order is queued
    CannotTake, // the queue or its folder cannot be read or written; nothing was taken (TakeFailure says why)
};

// Every operation may be called from any thread. Within one process they are serialised by a mutex; across
// processes by an exclusive flock on the folder, so that two programs on one folder never corrupt the file.
// The file is only ever replaced by renaming a complete file over it, so a crash at any point leaves either the
// old queue or the new one. Every file written starts with kOrderFileMark.
//
// An order taken for a run is not gone: it waits in a record (TakenRecord) until its run has ended. Should the
// process end first (killed, crashed, power lost), the next take or LoadAll, in any process, puts it back at the
// head of the queue. Two processes never hold the same order.
class CWaitQueue
{
public:
    explicit CWaitQueue(std::string folder = GetProgramFolder());
    CWaitQueue(const CWaitQueue&) = delete;
    CWaitQueue& operator=(const CWaitQueue&) = delete;

    // Appends the item to the file. 0, or 1 when the file cannot be opened or written.
    int Append(const CQueueItem& item);
    // Takes the first complete item out of the file into item and holds it for its run until EndTakenRun; an order
    // still held from before is ended first. A file without a complete first item is removed (Empty).
    TakeResult TakeFirst(CQueueItem& item);
    // The run of the order taken last has ended (done, failed, stopped, or dropped unstarted): it is let go.
    void EndTakenRun();
    // Why the last take could not take: the path and the system's reason.
    std::string TakeFailure() const;
    // The path a queue file with no readable order was kept under by the last take or save, once; "" when none was.
    std::string TakeKeptAside();
    // Puts back the orders of runs that never ended, then reads every item of the file into the edit list;
    // returns how many.
    int LoadAll();
    // Writes the edit list in its order, followed by the orders appended to the file since LoadAll (by a run, a
    // LinkScout order, another process), so that saving an edit never loses an order the editor did not see.
    // Orders that left the file meanwhile (taken for a run elsewhere) leave the edit list too, so none runs twice.
    // Removes the file when nothing is left. 0, or 1 when the file cannot be read or written.
    int SaveAll();

    // Edits of the list loaded by LoadAll; the file is not touched. 0, or 1 for a bad index.
    int RemoveAt(int i);
    int InsertAt(int i, const CQueueItem& item);
    int Count() const;
    // A copy of item i (a cleared item for a bad index).
    CQueueItem ItemAt(int i) const;
    std::vector<CQueueItem> Items() const;

    // Whether the file is known to hold an item.
    int hasItems() const { return hasItems_.load(); }
    // 1 once the last item was taken out; 0 again after every append.
    int emptied() const { return emptied_.load(); }
    // emptied(), cleared: the end of the queue is reported once, to the first look at the queue after it.
    int TakeEmptied() { return emptied_.exchange(0); }

    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }

private:
    TakeResult CannotTake(const std::string& path, int error);
    // Finishes or undoes queue changes that a crash cut short and, with returnOrphans, puts the orders of runs that
    // never ended back at the head. The folder lock is held. 0 or an errno.
    int SettleRecords(bool returnOrphans);
    int ReturnOrder(TakenRecord& record);
    // The queue file's bytes; 0, ENOENT (bytes empty) or another errno.
    int ReadQueueBytes(std::string& bytes) const;
    // Replaces the queue file with text through the temporary file. 0 or an errno.
    int WriteQueueFile(const std::string& text) const;
    // Removes the queue file. unreadableText is the text of a file from which no order could be read: unless blank
    // it is kept as the file beside it, Waiting.wlt.bad, rather than lost (a file saved in another encoding, marker
    // lines edited by hand). 0 or an errno.
    int RemoveQueueFile(std::string_view unreadableText);

    std::string folder_;
    std::string path_;        // folder_ + "/Waiting.wlt"
    std::string tempPath_;    // folder_ + "/temp.tmp"
    mutable std::mutex lock_; // guards items_ and every access to the files
    std::vector<CQueueItem> items_;
    std::vector<std::string> loaded_; // the text of each order the edit list started from, as the file had it
    TakenRecord held_; // the order taken last, until its run ends
    std::string takeFailure_;
    std::string keptAside_;
    std::atomic<int> hasItems_{0};
    std::atomic<int> emptied_{0};
};

} // namespace pelldra
