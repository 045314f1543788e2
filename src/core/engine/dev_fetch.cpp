// A download slot: starts its transfer and collects the result.
#include "core/engine/dev_fetch.h"

#include <utility>

namespace pelldra {

namespace {

constexpr const char* kAnswerTimedOut = "    サーバー応答がタイムアウトです";

} // namespace

CDevFetch::CDevFetch(int index, FetchContext context, std::function<void(int)> onDone)
    : index_(index), onDone_(std::move(onDone)), transfer_(context, [this] { CollectResult(); })
{
}

CDevFetch::~CDevFetch()
{
    Stop();
}

void CDevFetch::Start(DownloadJob job, const std::string& folder)
{
    std::lock_guard lock(mutex_);
    job_ = job;
    state_ = SlotState::Working;
    result_ = -1;
    message_.clear();
    transfer_.Start(std::move(job), folder);
}

void CDevFetch::Stop()
{
    transfer_.Cancel();
}

void CDevFetch::MarkReady()
{
    std::lock_guard lock(mutex_);
    if (state_ == SlotState::Done)
        state_ = SlotState::Ready;
}

CDevFetch::SlotState CDevFetch::State() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

int32_t CDevFetch::Result() const
{
    std::lock_guard lock(mutex_);
    return result_;
}

std::string CDevFetch::Message() const
{
    std::lock_guard lock(mutex_);
    return message_;
}

DownloadJob CDevFetch::Job() const
{
    std::lock_guard lock(mutex_);
    return job_;
}

const char* CDevFetch::StateName(SlotState s)
{
    switch (s) {
    case SlotState::Ready:
        return "ready";
    case SlotState::Working:
        return "working";
    case SlotState::Done:
        return "done";
    }
    return "";
}

void CDevFetch::CollectResult()
{
    FetchOutcome end = transfer_.TakeOutcome();
    {
        std::lock_guard lock(mutex_);
        if (end.Result == -1) {
            // Cancelled before anything was sent counts as no answer.
            result_ = 2;
            message_ = kAnswerTimedOut;
        } else if (end.Result != 0) {
            // A failure, before or after the answer, reports its own text.
            result_ = end.Result;
            message_ = end.Message;
        } else {
            result_ = 0;
            message_ = end.Message != job_.Dest ? end.Message : std::string();
        }
        if (end.Job.Targ == job_.Targ)
            job_ = std::move(end.Job);
        state_ = SlotState::Done;
    }
    if (onDone_)
        onDone_(index_);
}

} // namespace pelldra
