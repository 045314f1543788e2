// One download order (series, URL list, link page or image page) and its text form in the queue file.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "core/sequence/download_job.h"
#include "core/sequence/seq_job_source.h"

namespace pelldra {

class StringLineSource;

// What an order file holds of an order: copied and compared as a whole.
struct StoredOrder
{
    DownloadJob job;   // request options and the templates Targ, Refe, Dest
    std::string St1;   // lower field: start,
    std::string Ed1;   // end ("" open),
    std::string Or1;   // and the digits the URL had at the '*'
    int Fx1 = 0;       // lower width; 0: no zero fill
    std::string St2;   // upper field; St2 "" means there is none
    std::string Ed2;
    std::string Or2;
    int Fx2 = 0;
    std::string Sub;      // subfolder template, '*' takes the upper number
    std::string Lst;      // URL list file
    std::string Page;     // page URL of a LINK or IMAGE order
    std::string KindName; // "RENBAN", "LIST", "LINK" or "IMAGE"
    int Del = 0;          // delete the list file after the download
    std::string Fol;      // save folder
    int Kind = -1;        // RENBAN, LIST, LINK, IMAGE; the low two bits choose the written form
    int Syn = 0;          // Referer follows the lower (1) and/or upper (2) number

    bool operator==(const StoredOrder&) const = default;
};

// A flag shared between the window's thread and the engine's; a copy takes the current value.
class SharedFlag : public std::atomic<int>
{
public:
    SharedFlag() : std::atomic<int>(0) {}
    SharedFlag(const SharedFlag& other) noexcept : std::atomic<int>(other.load()) {}
    SharedFlag& operator=(const SharedFlag& other) noexcept
    {
        store(other.load());
        return *this;
    }
    using std::atomic<int>::operator=;
};

// What a run adds to an order; never stored.
struct OrderRunState
{
    std::vector<std::string> ListLines; // job lines of a list run
    SharedFlag AbortRequested;          // set by the window's thread, polled by the engine's
    std::string StatusText;             // the status line being shown
    SharedFlag RunStatus;               // 200 when started, -1 once the engine has taken it up
};

// An order with its run. Comparing two items compares their stored orders only.
class CQueueItem : public StoredOrder, public OrderRunState
{
public:
    enum : int {
        RENBAN = 0,
        LIST = 1,
        LINK = 2,
        IMAGE = 3,
    };

    // Back to the values of an empty order; the run-time members are emptied too.
    void Clear() { *this = CQueueItem(); }
    // The same order, whatever either run is doing.
    bool SameStoredValues(const StoredOrder& other) const { return StoredOrder::operator==(other); }

    // Reads the next complete item from the lines: skips to "//Item Gegin//", clears this item and takes key and
    // kind lines up to "//Item End//". False when no complete item follows (a cut-off item is not taken). A second
    // begin marker before the end marker starts the item afresh, so an item cut off by a crash cannot bleed into
    // the next one. Values are taken byte for byte: the encoding is the whole file's (OrderFileText).
    bool ReadItem(StringLineSource& lines);
    // Clears and reads the first item of the file (through OrderFileText); false when it cannot be opened or holds
    // no complete item.
    bool ReadFrom(const std::string& path);

    // The item's text form, lines ending in CR LF. A line break inside a value is written as a blank (it cannot
    // be stored, and would otherwise break the item's lines).
    std::string ToText() const;
    void WriteTo(std::string& out) const;
};

// The first line of every order file this program writes (the queue, a saved order): a UTF-8 byte-order mark
// alone, which every reader skips as a line between items.
inline constexpr std::string_view kOrderFileMark = "\xEF\xBB\xBF\r\n";

// The text of an order file's bytes, without the mark. The encoding is decided for the whole file, never value by
// value: a file that begins with the mark is taken byte for byte, so that a value that is not UTF-8 (a Latin-1
// folder name) reads back as it was written; an unmarked file is UTF-8 when all of it is, and otherwise the older
// program's CP932.
std::string OrderFileText(std::string_view bytes);

// Stored counters are digit strings of at most this length; stored widths lie between 0 and it.
inline constexpr size_t kMaxStoredDigits = 255;

// The key ("St1", "Fx1", ...) of the first stored value of a series order that is no sound counter or width, or ""
// when there is none. Orders come back from files that anyone may have written: a width of two thousand million
// would ask for that many bytes per URL, and letters would be counted as if they were digits. The folder of any
// order ("Fol") and the URL of a series ("[num]") go into the status lines, so a control character in them is
// unsound too.
std::string FirstBadStoredValue(const CQueueItem& item);

// What the job source reads of a series item.
SeriesOrder SeriesOf(const CQueueItem& item);

} // namespace pelldra
