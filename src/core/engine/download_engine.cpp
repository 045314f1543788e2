// A run: start-up checks, the first jobs, each slot reporting its job and taking the next, the answer deadlines,
// the summary.
#include "core/engine/download_engine.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/engine/log_lines.h"

namespace pelldra {

namespace {

constexpr const char* kBusy = "まだダウンロードがビジーです。";
constexpr const char* kListMissing = "ダウンロードリストが見つかりません。";
constexpr const char* kListEmpty = "ダウンロードリストが空白です。";
constexpr const char* kDownloading = "    downloading....";
constexpr const char* kReceiver = "    受信側：";
constexpr const char* kRedirected = "次のＵＲＬへのリダイレクト";
constexpr const char* kSuccess = "    成功";
constexpr const char* kSuccessRenamed = "    成功（ファイル名変更）";
constexpr const char* kInterrupted = "    ユーザーによる中断";
constexpr const char* kAllFinished = "    全て終了";

std::string Summary(int successes, int requests)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "    成功／要求数 = %d回／%d回", successes, requests);
    return buf;
}

} // namespace

CDownloadEngine::CDownloadEngine(FetchLimits limits, LinkLockTimes linkTimes)
    : limits_(limits), areas_(AuthAreaWaits{limits.areaStep, limits.areaSteps}), linkWriter_(linkTimes)
{
    InitNetwork();
}

CDownloadEngine::~CDownloadEngine()
{
    Abort();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    for (auto& slot : slots_)
        slot.reset();
}

void CDownloadEngine::Setup(EngineObserver* observer, const CContentTypeTable* types)
{
    if (slots_[0])
        return;
    observer_ = observer;
    FetchContext context;
    context.areas = &areas_;
    context.types = types;
    context.observer = observer;
    context.store = &store_;
    context.share = &share_;
    context.progress = &progress_;
    context.limits = limits_;
    for (int i = 0; i < kMaxSlots; ++i) {
        slots_[static_cast<size_t>(i)] =
            std::make_unique<CDevFetch>(i, context, [this](int index) { OnSlotDone(index); });
    }
}

int CDownloadEngine::SlotsForSpeed(int32_t seri)
{
    switch (seri) {
    case 1:
        return 1;
    case 3:
        return 10;
    default:
        return 3;
    }
}

bool CDownloadEngine::Start(CQueueItem& item)
{
    Setup(observer_, nullptr);
    {
        std::lock_guard lock(mutex_);
        if (!running_) {
            item.AbortRequested = 0;
            item.RunStatus = 200;
            pending_ = &item;
            running_ = &item;
            if (!thread_.joinable())
                thread_ = std::thread([this] { ThreadLoop(); });
            wake_.notify_all();
            return true;
        }
    }
    if (observer_)
        observer_->ShowMessage(kBusy);
    return false;
}

int CDownloadEngine::Abort()
{
    {
        std::lock_guard lock(mutex_);
        if (!running_)
            return slotCount_;
        running_->AbortRequested = 1;
        for (int i = 0; i < slotCount_; ++i)
            if (slots_[static_cast<size_t>(i)])
                slots_[static_cast<size_t>(i)]->Stop();
    }
    runChanged_.notify_all();
    return slotCount_;
}

void CDownloadEngine::ThreadLoop()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return pending_ || quit_; });
            if (quit_)
                return;
            item_ = std::exchange(pending_, nullptr);
        }
        const int result = Run();
        {
            std::lock_guard lock(mutex_);
            running_ = nullptr;
        }
        if (observer_)
            observer_->RunEnded(result);
    }
}

void CDownloadEngine::ShowLine(const std::string& line)
{
    if (observer_)
        lines_.push_back(line);
}

void CDownloadEngine::FlushLines(std::unique_lock<std::mutex>& lock)
{
    // One thread at a time shows lines, so they keep their order; it shows them without the run lock, so the
    // other slots go on reporting meanwhile, and takes along whatever they add.
    if (flushing_)
        return;
    flushing_ = true;
    while (!lines_.empty()) {
        std::vector<std::string> batch;
        batch.swap(lines_);
        lock.unlock();
        observer_->ShowLines(batch);
        lock.lock();
    }
    flushing_ = false;
    // The engine's thread ends the run only once the last lines are out.
    if (noMoreJobs_)
        runChanged_.notify_all();
}

int CDownloadEngine::Run()
{
    item_->RunStatus = -1;
    const uint64_t opened = store_.OpenCount();
    if (opened != storeOpenCount_) {
        // A store opened since the last run may answer for areas the user refused before.
        areas_.DropRefused();
        storeOpenCount_ = opened;
    }
    std::unique_lock lock(runMutex_);
    sequenceMode_ = item_->Kind == CQueueItem::RENBAN;
    if (sequenceMode_) {
        source_.Load(*item_);
    } else if (item_->ListLines.empty()) {
        std::error_code ec;
        const bool listFile = !item_->Lst.empty() && std::filesystem::exists(item_->Lst, ec);
        if (observer_)
            observer_->ShowMessage(listFile ? kListEmpty : kListMissing);
        return 0;
    }
    current_ = item_->job;
    runNoLinks_ = noUpdateLinks_.load(); // the setting at the start holds for the whole run
    runState_ = kRunning;
    successes_ = failures_ = 0;
    lineIndex_ = -1;
    noMoreJobs_ = false;
    slotCount_ = SlotsForSpeed(current_.Seri);
    progress_.Reset();

    for (int i = 0; i < slotCount_ && !noMoreJobs_; ++i)
        HandNextJob(*slots_[static_cast<size_t>(i)]);
    FlushLines(lock);
    // From here on each slot reports its job and takes the next one on its transfer's thread (OnSlotDone); this
    // thread keeps the answer deadlines and sees the run to its end.
    for (;;) {
        if (AllReady() && (noMoreJobs_ || AbortRequested()) && !flushing_)
            break;
        // A job handed out while this thread waits has its deadline no sooner than one answer limit from now.
        CDevFetch::Clock::time_point until =
            CDevFetch::Clock::now() + std::max(limits_.answer, std::chrono::milliseconds(10));
        if (const auto deadline = NextAnswerDeadline(); deadline && *deadline < until)
            until = *deadline;
        runChanged_.wait_until(lock, until);
        const auto now = CDevFetch::Clock::now();
        for (int i = 0; i < slotCount_; ++i)
            slots_[static_cast<size_t>(i)]->CheckAnswerTime(now);
    }
    int result = 0;
    if (AbortRequested()) {
        ShowLine(kInterrupted);
    } else {
        ShowLine(kAllFinished);
        result = 1;
    }
    ShowLine(Summary(successes_, successes_ + failures_));
    FlushLines(lock);
    runState_ = kIdle;
    return result;
}

void CDownloadEngine::OnSlotDone(int index)
{
    std::unique_lock lock(runMutex_);
    CDevFetch& slot = *slots_[static_cast<size_t>(index)];
    if (slot.State() != CDevFetch::SlotState::Done)
        return;
    Report(slot);
    slot.MarkReady();
    HandNextJob(slot);
    const bool idle = slot.State() == CDevFetch::SlotState::Ready;
    FlushLines(lock);
    // The engine's thread only needs waking when a slot falls idle: the run may be over.
    if (idle)
        runChanged_.notify_all();
}

void CDownloadEngine::HandNextJob(CDevFetch& slot)
{
    DownloadJob job;
    if (noMoreJobs_ || !NextJob(job)) {
        noMoreJobs_ = true; // "over" and an abort are both for good: the source is not asked again
        return;
    }
    Hand(slot, job);
    ShowLine(job.Targ);
    ShowLine(kDownloading);
}

bool CDownloadEngine::NextJob(DownloadJob& job)
{
    if (AbortRequested())
        return false;
    if (sequenceMode_) {
        if (!source_.NextJob(current_))
            return false;
        job = current_;
        return true;
    }
    const auto& lines = item_->ListLines;
    while (lineIndex_ + 1 < static_cast<int>(lines.size())) {
        ++lineIndex_;
        if (current_.ReadListLine(lines[static_cast<size_t>(lineIndex_)])) {
            job = current_;
            return true;
        }
    }
    return false;
}

void CDownloadEngine::Hand(CDevFetch& slot, const DownloadJob& job)
{
    slot.Start(job);
    progress_.AddRequested();
    // An abort that came while this job was being made must reach its transfer too.
    if (AbortRequested())
        slot.Stop();
}

void CDownloadEngine::Report(CDevFetch& slot)
{
    DownloadJob job = slot.Job();
    const int32_t result = slot.Result();
    const std::string message = slot.Message();
    ShowLine(kReceiver);
    ShowLine(job.Dest);
    if (result != 0) {
        ++failures_;
        progress_.AddFailed();
        ShowLine(FailureLine(result));
        if (result == 3) {
            ShowLine(kRedirected);
            ShowLine(message);
        } else if (result == 2) {
            ShowLine(message);
        }
        if (sequenceMode_)
            source_.ReportFailure(job);
        return;
    }
    ++successes_;
    progress_.AddDone();
    if (!message.empty()) {
        ShowLine(kSuccessRenamed);
        ShowLine(message);
        job.Dest = message;
    } else {
        ShowLine(kSuccess);
    }
    if (!runNoLinks_)
        linkWriter_.Queue(job);
    if (sequenceMode_)
        source_.ReportSuccess(job);
}

std::optional<CDevFetch::Clock::time_point> CDownloadEngine::NextAnswerDeadline() const
{
    std::optional<CDevFetch::Clock::time_point> first;
    for (int i = 0; i < slotCount_; ++i) {
        const auto deadline = slots_[static_cast<size_t>(i)]->AnswerDeadline();
        if (deadline && (!first || *deadline < *first))
            first = deadline;
    }
    return first;
}

bool CDownloadEngine::AllReady() const
{
    for (int i = 0; i < slotCount_; ++i)
        if (slots_[static_cast<size_t>(i)]->State() != CDevFetch::SlotState::Ready)
            return false;
    return true;
}

} // namespace pelldra
