// The persistent queue of download orders, first in, first out, in "Waiting.wlt" of the data folder.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/folders.h"
#include "core/queue/queue_item.h"

namespace pelldra {

// Every operation may be called from any thread. Within one process they are serialised by a mutex; across
// processes by an exclusive flock on the folder, so that two programs on one folder never corrupt the file.
// The file is only ever replaced by renaming a complete file over it, so a crash at any point leaves either the
// old queue or the new one.
class CWaitQueue
{
public:
    explicit CWaitQueue(std::string folder = GetProgramFolder());
    CWaitQueue(const CWaitQueue&) = delete;
    CWaitQueue& operator=(const CWaitQueue&) = delete;

    // Appends the item to the file. 0, or 1 when the file cannot be opened or written.
    int Append(const CQueueItem& item);
    // Takes the first complete item out of the file into item. False when there is none; a file without a
    // complete first item is then removed.
    bool TakeFirst(CQueueItem& item);
    // Reads every item of the file into the edit list; returns how many.
    int LoadAll();
    // Replaces the file with the edit list (removes it when the list is empty). 0, or 1 on failure.
    int SaveAll();

    // Edits of the list loaded by LoadAll; the file is not touched. 0, or 1 for a bad index.
    int RemoveAt(int i);
    int InsertAt(int i, const CQueueItem& item);
    // Item i's save folder, or "" for a bad index.
    std::string GetFolderAt(int i) const;
    int Count() const;
    // A copy of item i (a cleared item for a bad index).
    CQueueItem ItemAt(int i) const;
    std::vector<CQueueItem> Items() const;

    // Whether the file is known to hold an item.
    int hasItems() const { return hasItems_.load(); }
    // 1 once the last item was taken out; 0 again after every append.
    int emptied() const { return emptied_.load(); }

    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::string path_;        // folder_ + "/Waiting.wlt"
    std::string tempPath_;    // folder_ + "/temp.tmp"
    mutable std::mutex lock_; // guards items_ and every access to the files
    std::vector<CQueueItem> items_;
    std::atomic<int> hasItems_{0};
    std::atomic<int> emptied_{0};
};

} // namespace pelldra
