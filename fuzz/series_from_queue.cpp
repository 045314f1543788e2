// Fuzzes the series job source with orders read from queue text, run on up to ten slots whose results come back
// in any order: whatever a stored order says, the jobs stay bounded in size, come in odometer order within the
// order's ranges, "nothing now" comes only while a job is out, an upper number without a file ends an open series,
// and a series that is over stays over.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/queue/queue_item.h"
#include "core/sequence/digits.h"
#include "core/sequence/seq_job_source.h"
#include "core/text/text_lines.h"
#include "require.h"

using namespace pelldra;

namespace {

// The input's first bytes drive the run: the number of slots, then bits that pick which job reports next and
// whether it succeeds (cycled). The rest is the text of a queue file.
constexpr size_t kControlBytes = 16;
constexpr int kMaxSteps = 2000; // an open series may go on for ever; this many steps show its rules
// How far a number may grow past its stored digits in kMaxSteps jobs, with room to spare.
constexpr size_t kGrowth = 8;

class Bits
{
public:
    explicit Bits(const uint8_t* bytes) : bytes_(bytes) {}
    unsigned Take(int count)
    {
        unsigned v = 0;
        for (int i = 0; i < count; ++i, ++at_)
            v = v << 1 | ((bytes_[1 + at_ % ((kControlBytes - 1) * 8) / 8] >> (at_ % 8)) & 1);
        return v;
    }

private:
    const uint8_t* bytes_;
    size_t at_ = 0;
};

bool AllDigits(const std::string& s)
{
    return s.find_first_not_of("0123456789") == std::string::npos;
}

struct Out
{
    DownloadJob job;
    std::string upper;
};

struct UpperNumber
{
    int out = 0;
    int successes = 0;
    int failures = 0;
    bool lowerRangeIssued = false; // its job at the lower end went out
};

void RunSeries(const CQueueItem& item, const uint8_t* control)
{
    // The numbers are read back from the URL; the save path, Referer and subfolder are the file's.
    CQueueItem order = item;
    order.job.Targ = "*/*";
    const bool hasLower = !item.St1.empty();
    const bool hasUpper = !item.St2.empty();
    const size_t number = kMaxStoredDigits + kGrowth;
    const size_t slots = 1 + control[0] % 10;
    Bits bits(control);
    CSeqJobSource source;
    source.Load(SeriesOf(order));

    std::vector<Out> out;
    std::map<std::string, UpperNumber> uppers;
    std::string lastUpper, lastLower, folder;
    int issued = 0;
    int issuedAfterNoFile = -1; // jobs issued since an upper number yielded nothing; -1 before
    bool waiting = false;
    bool over = false;
    for (int step = 0; step < kMaxSteps; ++step) {
        if (!over && !waiting && out.size() < slots) {
            DownloadJob job;
            const CSeqJobSource::Next next = source.NextJob(job, &folder);
            if (next == CSeqJobSource::Next::Over) {
                over = true;
                continue;
            }
            if (next == CSeqJobSource::Next::NothingNow) {
                Require(!out.empty(), "nothing now only while a job is out");
                waiting = true;
                continue;
            }
            Require(job.Targ.size() <= 2 * number + 1, "a URL stays bounded");
            Require(job.Dest.size() <= item.job.Dest.size() + 2 * number, "a save path stays bounded");
            Require(job.Refe.size() <= item.job.Refe.size() + 2 * number, "a Referer stays bounded");
            Require(folder.size() <= item.Fol.size() + 1 + item.Sub.size() + number, "a subfolder stays bounded");
            const size_t slash = job.Targ.find('/');
            const std::string upper = hasUpper ? job.Targ.substr(0, slash) : "";
            const std::string lower = job.Targ.substr(slash + 1);
            Require(AllDigits(upper) && AllDigits(lower), "the numbers are digits");
            if (hasLower) {
                Require(CompareDigits(lower, item.St1) >= 0, "the lower number starts at its start");
                Require(item.Ed1.empty() || CompareDigits(lower, item.Ed1) <= 0, "the lower number keeps its end");
            }
            if (hasUpper) {
                Require(CompareDigits(upper, item.St2) >= 0, "the upper number starts at its start");
                Require(item.Ed2.empty() || CompareDigits(upper, item.Ed2) <= 0, "the upper number keeps its end");
            }
            if (issued > 0) {
                Require(hasLower, "without a lower field there is one job");
                if (upper == lastUpper) {
                    Require(CompareDigits(lower, IncDigits(lastLower, false)) == 0, "the lower number counts by one");
                } else {
                    Require(hasUpper && CompareDigits(upper, IncDigits(lastUpper, false)) == 0,
                            "the upper number counts by one");
                    Require(CompareDigits(lower, item.St1) == 0, "the lower number starts again");
                }
            }
            if (issuedAfterNoFile >= 0)
                ++issuedAfterNoFile;
            // An open lower end ends at once; a closed one may have stepped into the next upper number already.
            Require(issuedAfterNoFile <= (item.Ed1.empty() ? 0 : 1), "an upper number without a file ends the series");
            UpperNumber& u = uppers[upper];
            ++u.out;
            u.lowerRangeIssued = u.lowerRangeIssued || (!item.Ed1.empty() && CompareDigits(lower, item.Ed1) == 0);
            out.push_back({job, upper});
            lastUpper = upper;
            lastLower = lower;
            ++issued;
            continue;
        }
        if (out.empty())
            break;
        // One of the jobs out reports, in any order.
        const size_t pick = bits.Take(4) % out.size();
        const Out done = out[pick];
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(pick));
        UpperNumber& u = uppers[done.upper];
        --u.out;
        if (bits.Take(1)) {
            source.ReportSuccess(done.job);
            ++u.successes;
        } else {
            source.ReportFailure(done.job);
            ++u.failures;
        }
        waiting = false;
        const bool endsOnNoFile =
            hasLower && (item.Ed1.empty() || (hasUpper && item.Ed2.empty() && u.lowerRangeIssued));
        if (issuedAfterNoFile < 0 && endsOnNoFile && u.out == 0 && u.successes == 0 && u.failures > 0)
            issuedAfterNoFile = 0;
    }
    if (over) {
        DownloadJob job;
        Require(source.NextJob(job) == CSeqJobSource::Next::Over, "a series that is over stays over");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kControlBytes)
        return 0;
    const std::string text =
        OrderFileText(std::string_view(reinterpret_cast<const char*>(data) + kControlBytes, size - kControlBytes));
    StringLineSource lines(text);
    CQueueItem item;
    while (item.ReadItem(lines)) {
        // What would not pass the check before a run never reaches a job source.
        if (item.Kind == CQueueItem::RENBAN && FirstBadStoredValue(item).empty())
            RunSeries(item, data);
    }
    return 0;
}
