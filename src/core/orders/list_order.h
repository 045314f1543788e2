// The start command of the list mode, and the reader that turns a URL list file into job lines.
#pragma once

#include <string>
#include <vector>

#include "core/orders/detail_settings.h"
#include "core/orders/order_result.h"

namespace pelldra {

class CQueueItem;

// The main window's job modes.
enum : int {
    kJobModeSequential = 3000,
    kJobModeLinkScoutList = 3001, // a list order from LinkScout is being run
    kJobModeList = 3003,
};

// The list mode's controls as they stand when start is pressed.
struct ListControls
{
    std::string listPath;
    std::string folder;          // the folder edit as typed
    bool deleteList = false;     // delete the list after downloading
    std::string linkScoutFolder; // LinkScout's save folder, the item's folder until the check has passed
};

// What the window remembers of the last list item loaded into it.
struct LoadedList
{
    std::string Lst;
    int Kind = -1;
    std::string Page;
    std::string KindName;
};

// Builds the list item into item (cleared first). A start on the list last loaded takes its kind, page and kind
// name back; loaded's path is forgotten either way once the checks have passed.
OrderResult BuildListItem(const ListControls& controls, const DetailSettings& settings, LoadedList& loaded,
                          CQueueItem& item);

struct ListReadResult
{
    int code = 0;                  // 0 read, 1 failed
    std::string message;           // the failure text, also left in the item's StatusText
    bool backToSequential = false; // the window returns to the series mode (a LinkScout file failed)

    bool ok() const { return code == 0; }
};

// Reads item.Lst into job lines. Bare "http://" lines become "Targ: " lines; a Targ line without its own Dest line
// gets one made of the folder and the URL's file name; '?' becomes '_' in every Dest. The folder is item.Fol, else
// folderEdit when it passes the folder check, else the home folder; item.Fol takes it, ending in '/'. A file that
// is not UTF-8 is read as CP932.
ListReadResult ReadJobList(CQueueItem& item, std::vector<std::string>& lines, int jobMode,
                           const std::string& folderEdit);

// The same over text already read; never fails.
void MakeJobLines(const std::string& text, const std::string& folder, std::vector<std::string>& lines);

} // namespace pelldra
