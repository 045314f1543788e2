// A download slot: its thread waits for the transfer's answer within the answer limit and collects the result.
#include "core/engine/dev_fetch.h"

namespace pelldra {

namespace {

constexpr const char* kAnswerTimedOut = "    サーバー応答がタイムアウトです";

} // namespace

CDevFetch::CDevFetch(int index, FetchContext context, std::function<void(int)> onDone)
    : index_(index), answerLimit_(context.limits.answer), onDone_(std::move(onDone)), transfer_(context)
{
}

CDevFetch::~CDevFetch()
{
    Stop();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CDevFetch::Start(const DownloadJob& job)
{
    {
        std::lock_guard lock(mutex_);
        job_ = job;
        state_ = SlotState::Working;
        result_ = -1;
        message_.clear();
        startPending_ = true;
        stopRequested_ = false;
        if (!thread_.joinable())
            thread_ = std::thread([this] { Loop(); });
    }
    wake_.notify_all();
}

void CDevFetch::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
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

void CDevFetch::Loop()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return startPending_ || quit_; });
            if (quit_)
                return;
            startPending_ = false;
        }
        FetchFile();
        if (onDone_)
            onDone_(index_);
    }
}

void CDevFetch::FetchFile()
{
    DownloadJob job;
    {
        std::lock_guard lock(mutex_);
        job = job_;
    }
    transfer_.Start(job);
    {
        std::lock_guard lock(mutex_);
        if (stopRequested_)
            transfer_.Cancel(); // the Stop that came before the transfer began
    }

    int32_t result = 0;
    std::string text;
    if (!transfer_.WaitAnswer(answerLimit_)) {
        // The transfer must not outlive its job: it is cancelled and waited for before the slot takes another.
        transfer_.Cancel();
        transfer_.WaitFinished();
        result = 2;
        text = kAnswerTimedOut;
    } else {
        const FetchOutcome answer = transfer_.Outcome();
        if (answer.Result == -1) {
            transfer_.WaitFinished();
            result = 2;
            text = kAnswerTimedOut;
        } else if (answer.Result != 0) {
            transfer_.WaitFinished();
            result = transfer_.Outcome().Result;
            text = transfer_.Outcome().Message;
        } else {
            transfer_.WaitFinished();
            const FetchOutcome end = transfer_.Outcome();
            result = end.Result;
            // A failure after the answer (a broken body, a cancel) reports its own text.
            if (result != 0)
                text = end.Message;
            else if (end.Message != job.Dest)
                text = end.Message;
        }
    }
    const DownloadJob learnt = transfer_.Outcome().Job;
    {
        std::lock_guard lock(mutex_);
        job_ = learnt.Targ == job.Targ ? learnt : job;
        result_ = result;
        message_ = text;
        state_ = SlotState::Done;
    }
}

} // namespace pelldra
