// The series job source: odometer order over the lower and upper numbers, and the end of an open series.
#include "core/sequence/seq_job_source.h"

#include "core/platform/files.h"
#include "core/sequence/digits.h"

namespace pelldra {

void CSeqJobSource::Load(const SeriesOrder& order)
{
    order_ = order;
    // Every job is the order's but for the URL and the save path its numbers make: those come from their templates,
    // not from a copy made only to be replaced.
    jobBase_ = order_.job;
    jobBase_.Targ.clear();
    jobBase_.Dest.clear();
    lowerStart_ = lowerCur_ = order_.St1;
    lowerEnd_ = order_.Ed1;
    lowerWidth_ = order_.Fx1;
    upperStart_ = upperCur_ = order_.St2;
    upperEnd_ = order_.Ed2;
    upperWidth_ = order_.Fx2;
    over_ = false;
    awaitingFile_.clear();
    std::lock_guard guard(listsLock_);
    issued_.clear();
    failures_.clear();
    successes_.clear();
}

CSeqJobSource::Next CSeqJobSource::NextJob(DownloadJob& job, std::string* folder)
{
    // Once over, a series stays over: the upper counter already stands past its end, and asking again must not
    // start it anew from the lower start.
    if (over_)
        return Next::Over;
    const Next next = HasNext();
    if (next != Next::Job) {
        over_ = next == Next::Over;
        return next;
    }
    job = jobBase_;
    const bool hasUpper = !upperStart_.empty();
    if (order_.Syn & 1)
        job.Refe = ReplaceStar(job.Refe, lowerCur_, lowerWidth_);
    if ((order_.Syn & 2) && hasUpper)
        job.Refe = ReplaceStar(job.Refe, upperCur_, upperWidth_);
    job.Targ = ReplaceStar(order_.job.Targ, lowerCur_, lowerWidth_);
    job.Dest = ReplaceStar(order_.job.Dest, lowerCur_, lowerWidth_);
    if (hasUpper) {
        job.Targ = ReplaceStar(job.Targ, upperCur_, upperWidth_);
        job.Dest = ReplaceStar(job.Dest, upperCur_, upperWidth_);
    }
    if (folder)
        *folder = FolderBelowSaveFolder(job.Dest);
    {
        std::lock_guard guard(listsLock_);
        issued_.push_back({job.Targ, lowerCur_, upperCur_});
    }
    lowerCur_ = IncDigits(lowerCur_, lowerWidth_ != 0);
    if (lowerStart_.empty())
        lowerCur_ = "0";
    return Next::Job;
}

std::string CSeqJobSource::FolderBelowSaveFolder(const std::string& dest) const
{
    std::string base = order_.Fol;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (dest.size() <= base.size() + 1 || dest.compare(0, base.size(), base) != 0 || dest[base.size()] != '/')
        return {};
    std::string parent = FolderOf(dest);
    while (parent.size() > base.size() && parent.back() == '/')
        parent.pop_back();
    return parent == base ? std::string() : parent;
}

CSeqJobSource::Next CSeqJobSource::HasNext()
{
    if (lowerStart_.empty() && !lowerCur_.empty())
        return Next::Over;
    if (AnUpperYieldedNothing())
        return Next::Over;
    if (!lowerEnd_.empty()) {
        if (CompareDigits(lowerEnd_, lowerCur_) >= 0)
            return Next::Job;
        // Every job of this upper number is out; with no upper end, its files decide whether the series goes on.
        if (upperEnd_.empty() && !upperStart_.empty())
            awaitingFile_.push_back(upperCur_);
        return AdvanceUpper();
    }
    // Open end: go on until this upper number fails beyond its last success.
    const std::optional<IssuedJob> failure = FindByUpper(ResultList::Failures, upperCur_);
    if (!failure)
        return Next::Job;
    const std::optional<IssuedJob> success = FindByUpper(ResultList::Successes, upperCur_);
    if (success && CompareDigits(failure->lower, success->lower) <= 0)
        return Next::Job; // a gap inside the series
    // This upper number ends here, unless a job in front of the failure, still out, brings a file.
    if (InFlight(upperCur_, failure->lower))
        return Next::NothingNow;
    if (!success)
        return Next::Over; // not one file for this upper number: the series is over
    return AdvanceUpper();
}

CSeqJobSource::Next CSeqJobSource::AdvanceUpper()
{
    if (upperStart_.empty())
        return Next::Over;
    upperCur_ = IncDigits(upperCur_, upperWidth_ != 0);
    lowerCur_ = lowerStart_;
    return upperEnd_.empty() || CompareDigits(upperEnd_, upperCur_) >= 0 ? Next::Job : Next::Over;
}

bool CSeqJobSource::AnUpperYieldedNothing()
{
    for (auto it = awaitingFile_.begin(); it != awaitingFile_.end();) {
        if (FindByUpper(ResultList::Successes, *it)) {
            it = awaitingFile_.erase(it);
        } else if (!InFlight(*it)) {
            return true;
        } else {
            ++it;
        }
    }
    return false;
}

bool CSeqJobSource::InFlight(const std::string& upper, const std::string& lower) const
{
    std::lock_guard guard(listsLock_);
    for (const IssuedJob& out : issued_)
        if (out.upper == upper && (lower.empty() || CompareDigits(out.lower, lower) < 0))
            return true;
    return false;
}

void CSeqJobSource::ReportFailure(const DownloadJob& job)
{
    Report(job, ResultList::Failures);
}

void CSeqJobSource::ReportSuccess(const DownloadJob& job)
{
    Report(job, ResultList::Successes);
}

void CSeqJobSource::Report(const DownloadJob& job, ResultList list)
{
    std::lock_guard guard(listsLock_);
    for (auto it = issued_.begin(); it != issued_.end(); ++it) {
        if (it->targ == job.Targ) {
            IssuedJob record = std::move(*it);
            // The jobs out have no order: the last takes the reported one's place.
            if (&*it != &issued_.back())
                *it = std::move(issued_.back());
            issued_.pop_back();
            RecordLocked(list, std::move(record));
            return;
        }
    }
}

void CSeqJobSource::RecordLocked(ResultList list, IssuedJob record)
{
    std::vector<IssuedJob>& results = ListOf(list);
    for (IssuedJob& element : results) {
        if (element.upper == record.upper) {
            if (CompareDigits(element.lower, record.lower) <= 0)
                element = std::move(record);
            return;
        }
    }
    results.push_back(std::move(record));
}

std::optional<IssuedJob> CSeqJobSource::FindByUpper(ResultList list, const std::string& upper) const
{
    std::lock_guard guard(listsLock_);
    for (const IssuedJob& element : ListOf(list))
        if (element.upper == upper)
            return element;
    return std::nullopt;
}

} // namespace pelldra
