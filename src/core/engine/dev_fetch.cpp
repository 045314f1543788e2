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

void CDevFetch::Start(DownloadJob&& job, const std::string& folder)
{
    std::lock_guard lock(mutex_);
    state_ = SlotState::Working;
    transfer_.Start(std::move(job), folder);
}

void CDevFetch::Stop()
{
    transfer_.Cancel();
}

std::optional<CDevFetch::Report> CDevFetch::TakeReport()
{
    std::lock_guard lock(mutex_);
    if (state_ != SlotState::Done)
        return std::nullopt;
    state_ = SlotState::Ready;
    return std::move(report_);
}

void CDevFetch::CollectResult()
{
    {
        std::lock_guard lock(mutex_);
        Report& r = report_;
        transfer_.TakeOutcome(r);
        if (r.Result == -1) {
            // Cancelled before anything was sent counts as no answer.
            r.Result = 2;
            r.Message = kAnswerTimedOut;
        } else if (r.Result == 0 && r.Message == r.Job.Dest) {
            // A success names its file only when it is not the one asked for; a failure reports its own text.
            r.Message.clear();
        }
        state_ = SlotState::Done;
    }
    if (onDone_)
        onDone_(index_);
}

} // namespace pelldra
