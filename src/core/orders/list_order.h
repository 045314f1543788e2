// The start command of the list mode, and the reader that turns a URL list file into job lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/orders/detail_settings.h"
#include "core/orders/order_result.h"

namespace pelldra {

class CQueueItem;

// The main window's job modes; the numbers are stored in PELLDRA.INI.
enum class JobMode : int32_t {
    Sequential = 3000,
    LinkScoutList = 3001, // a list order from LinkScout is being run
    List = 3003,
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
    bool refused = false;          // the file was read, but yields no job or a save path that may not be used
    bool backToSequential = false; // the window returns to the series mode (a LinkScout file failed)

    bool ok() const { return code == 0; }
};

// Reads item.Lst into job lines (MakeJobLines). The folder is item.Fol, else folderEdit when it passes the folder
// check, else the home folder; item.Fol takes it, ending in '/'. A file that is not UTF-8 is read as CP932. Only a
// regular file of sane size is read, and a list that yields no job fails too: a run of it would do nothing and
// look like a success.
ListReadResult ReadJobList(CQueueItem& item, std::vector<std::string>& lines, JobMode jobMode,
                           const std::string& folderEdit);

// Turns a list's text into job lines. Bare "http://" and "https://" lines become "Targ: " lines; a Targ line
// without its own Dest line gets one made of the folder and the URL's file name (index.html for a folder's URL);
// '?' becomes '_' in those Dests; a relative Dest is resolved against the folder. Returns "" or the line that
// refuses the whole list for a Dest that may not be used (DestRefusal), lines then empty.
std::string MakeJobLines(const std::string& text, const std::string& folder, std::vector<std::string>& lines);

} // namespace pelldra
