// Expands a series order into single download jobs, lower number fastest, and decides when an open series ends.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/sequence/download_job.h"

namespace pelldra {

// A series order as the source reads it. The fields keep the queue record's names.
struct SeriesOrder
{
    DownloadJob job; // request options and the templates Targ, Refe, Dest, where '*' takes a number
    std::string St1; // lower field: start ("" none: one job) and end ("" open)
    std::string Ed1;
    int Fx1 = 0;     // lower width; 0: no zero fill
    std::string St2; // upper field; St2 "" means there is none
    std::string Ed2;
    int Fx2 = 0;
    std::string Sub; // subfolder template, '*' takes the upper number
    std::string Fol; // save folder
    int Syn = 0;     // Referer follows the lower (1) and/or upper (2) number
};

// A job handed out, with the counter values it was made from.
struct IssuedJob
{
    std::string targ; // the URL, which tells a job's report from the others
    std::string lower;
    std::string upper;
};

// Load, NextJob, HasNext and AdvanceUpper must not run at the same time (the engine calls them under its run lock);
// ReportFailure and ReportSuccess may come from any thread. The three result lists are guarded by one mutex.
//
// A series ends on evidence only: with several jobs out at once a missing file often comes back before the files
// in front of it, so the source answers "nothing now" (only ever while a job is still out) until those have
// reported, and the caller asks again after the next report. An upper number that yields not one file ends the
// series, whether the open end is the lower or the upper one.
class CSeqJobSource
{
public:
    enum class ResultList {
        Failures,
        Successes,
    };
    enum class Next {
        Job,        // job is filled
        NothingNow, // ask again after the next report: jobs still out decide what follows
        Over,       // the series is over, for good
    };

    CSeqJobSource() = default;
    CSeqJobSource(const CSeqJobSource&) = delete;
    CSeqJobSource& operator=(const CSeqJobSource&) = delete;

    // Starts a new series.
    void Load(const SeriesOrder& order);
    // Fills job with the next job of the series. folder, when given, receives the folder below the save folder
    // that the job's file goes to (the subfolder, with any folder the save name holds; "" for the save folder
    // itself): the caller makes it when the file arrives, so that no folder of a number without files stays behind.
    Next NextJob(DownloadJob& job, std::string* folder = nullptr);
    // Results of finished jobs, matched to the issued job by Targ; an unknown URL changes nothing.
    void ReportFailure(const DownloadJob& job);
    void ReportSuccess(const DownloadJob& job);

    // Whether another job follows; may step the upper number.
    Next HasNext();
    // Steps the upper number and restarts the lower; Over when there is no upper field or it ran past its end.
    Next AdvanceUpper();

private:
    std::string FolderBelowSaveFolder(const std::string& dest) const;
    std::optional<IssuedJob> FindByUpper(ResultList list, const std::string& upper) const;
    void Report(const DownloadJob& job, ResultList list);
    // Keeps, per upper number, the record with the highest lower number; listsLock_ held.
    void RecordLocked(ResultList list, IssuedJob record);
    // A job of upper number upper with a lower number below lower (any, when lower is empty) is still out.
    bool InFlight(const std::string& upper, const std::string& lower = {}) const;
    // An upper number all of whose jobs have reported without a single file.
    bool AnUpperYieldedNothing();
    std::vector<IssuedJob>& ListOf(ResultList list) { return list == ResultList::Failures ? failures_ : successes_; }
    const std::vector<IssuedJob>& ListOf(ResultList list) const
    {
        return list == ResultList::Failures ? failures_ : successes_;
    }

    SeriesOrder order_;
    DownloadJob jobBase_; // the order's job without its URL and save path
    std::string lowerStart_;
    std::string lowerEnd_;
    std::string lowerCur_;
    int lowerWidth_ = 0;
    std::string upperStart_;
    std::string upperEnd_;
    std::string upperCur_;
    int upperWidth_ = 0;
    bool over_ = false; // NextJob has said the series is over
    // Upper numbers whose jobs are all out and that have not yet brought a file (open upper end, closed lower).
    std::vector<std::string> awaitingFile_;

    mutable std::mutex listsLock_; // guards the three lists below
    std::vector<IssuedJob> issued_;
    std::vector<IssuedJob> failures_;
    std::vector<IssuedJob> successes_;
};

} // namespace pelldra
