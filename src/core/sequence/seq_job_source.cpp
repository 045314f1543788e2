// The series job source: odometer order over the lower and upper numbers, and the end of an open series.
#include "core/sequence/seq_job_source.h"

#include "core/platform/folders.h"
#include "core/sequence/digits.h"

namespace pelldra {

void CSeqJobSource::Load(const CQueueItem& queueItem)
{
    item_ = queueItem;
    lowerStart_ = lowerCur_ = item_.St1;
    lowerEnd_ = item_.Ed1;
    lowerWidth_ = item_.Fx1;
    upperStart_ = upperCur_ = item_.St2;
    upperEnd_ = item_.Ed2;
    upperWidth_ = item_.Fx2;
    over_ = false;
    std::lock_guard guard(listsLock_);
    issued_.clear();
    failures_.clear();
    successes_.clear();
}

bool CSeqJobSource::NextJob(DownloadJob& job)
{
    // Once over, a series stays over: the upper counter already stands past its end, and asking again must not
    // start it anew from the lower start.
    if (over_ || !HasNext()) {
        over_ = true;
        return false;
    }
    job = item_.job;
    const bool hasUpper = !upperStart_.empty();
    if (item_.Syn & 1)
        job.Refe = ReplaceStar(job.Refe, lowerCur_, lowerWidth_);
    if ((item_.Syn & 2) && hasUpper)
        job.Refe = ReplaceStar(job.Refe, upperCur_, upperWidth_);
    job.Targ = ReplaceStar(job.Targ, lowerCur_, lowerWidth_);
    job.Dest = ReplaceStar(job.Dest, lowerCur_, lowerWidth_);
    if (hasUpper) {
        job.Targ = ReplaceStar(job.Targ, upperCur_, upperWidth_);
        job.Dest = ReplaceStar(job.Dest, upperCur_, upperWidth_);
    }
    if (lowerCur_ == lowerStart_ && !item_.Sub.empty()) {
        std::string path = item_.Fol;
        if (path.empty() || path.back() != '/')
            path += '/';
        path += ReplaceStar(item_.Sub, upperCur_, upperWidth_);
        std::string check = path;
        // A folder that cannot be made is left to the transfers, which then fail with their own message.
        if (CheckFolder(check) != 0)
            MakeFolders(path);
    }
    {
        std::lock_guard guard(listsLock_);
        issued_.push_back({job, lowerCur_, upperCur_});
    }
    lowerCur_ = IncDigits(lowerCur_, lowerWidth_ != 0);
    if (lowerStart_.empty())
        lowerCur_ = "0";
    return true;
}

bool CSeqJobSource::HasNext()
{
    if (lowerStart_.empty() && !lowerCur_.empty())
        return false;
    if (!lowerEnd_.empty())
        return CompareDigits(lowerEnd_, lowerCur_) < 0 ? AdvanceUpper() : true;
    // Open end: go on until this upper number fails beyond its last success.
    const std::optional<IssuedJob> failure = FindByUpper(ResultList::Failures, upperCur_);
    if (!failure)
        return true;
    const std::optional<IssuedJob> success = FindByUpper(ResultList::Successes, upperCur_);
    if (!success)
        return false; // not one file for this upper number: the series is over
    if (CompareDigits(failure->lower, success->lower) > 0)
        return AdvanceUpper();
    return true; // a gap inside the series
}

bool CSeqJobSource::AdvanceUpper()
{
    if (upperStart_.empty())
        return false;
    upperCur_ = IncDigits(upperCur_, upperWidth_ != 0);
    lowerCur_ = lowerStart_;
    return upperEnd_.empty() || CompareDigits(upperEnd_, upperCur_) >= 0;
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
        if (it->job.Targ == job.Targ) {
            IssuedJob record = std::move(*it);
            issued_.erase(it);
            RecordLocked(list, std::move(record));
            return;
        }
    }
}

void CSeqJobSource::RecordResult(ResultList list, const IssuedJob& record)
{
    std::lock_guard guard(listsLock_);
    RecordLocked(list, record);
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

size_t CSeqJobSource::IssuedCount() const
{
    std::lock_guard guard(listsLock_);
    return issued_.size();
}

} // namespace pelldra
