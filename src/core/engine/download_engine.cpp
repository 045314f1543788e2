// The engine thread: start-up checks, handing jobs to slots, reporting finished slots, the drain and the summary.
#include "core/engine/download_engine.h"

#include <cstdio>
#include <filesystem>

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

std::string FailedLine(int32_t status)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "   失敗［status=%d］", static_cast<int>(status));
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
        slots_[static_cast<size_t>(i)] = std::make_unique<CDevFetch>(i, context, [this](int index) {
            {
                std::lock_guard lock(mutex_);
                doneMask_ |= 1u << index;
            }
            wake_.notify_all();
        });
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
    std::lock_guard lock(mutex_);
    if (!running_)
        return slotCount_;
    running_->AbortRequested = 1;
    for (int i = 0; i < slotCount_; ++i)
        if (slots_[static_cast<size_t>(i)])
            slots_[static_cast<size_t>(i)]->Stop();
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
        observer_->ShowLine(line);
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
    slotCount_ = SlotsForSpeed(current_.Seri);
    progress_.Reset();
    {
        std::lock_guard lock(mutex_);
        doneMask_ = 0;
    }

    int result = 0;
    size_t free = 0;
    bool ended = false;
    DownloadJob job;
    while (!ended && NextJob(job)) {
        Hand(*slots_[free], job);
        ShowLine(job.Targ);
        ShowLine(kDownloading);
        bool found = false;
        for (int i = 0; i < slotCount_ && !found; ++i) {
            if (slots_[static_cast<size_t>(i)]->State() == CDevFetch::SlotState::Ready) {
                free = static_cast<size_t>(i);
                found = true;
            }
        }
        if (found)
            continue;
        WaitForDone();
        for (int i = 0; i < slotCount_; ++i) {
            CDevFetch& slot = *slots_[static_cast<size_t>(i)];
            if (slot.State() == CDevFetch::SlotState::Done) {
                Report(slot);
                slot.MarkReady();
                free = static_cast<size_t>(i);
            }
        }
        if (AbortRequested()) {
            ReportRemaining();
            ShowLine(kInterrupted);
            ended = true;
        }
    }
    while (!ended) {
        if (AbortRequested()) {
            ReportRemaining();
            ShowLine(kInterrupted);
            break;
        }
        if (AllReady()) {
            ShowLine(kAllFinished);
            result = 1;
            break;
        }
        if (!ReportDone() && AnyWorking())
            WaitForDone();
    }
    ShowLine(Summary(successes_, successes_ + failures_));
    runState_ = kIdle;
    return result;
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
        ShowLine(FailedLine(result));
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

void CDownloadEngine::WaitForDone()
{
    const unsigned mask = (1u << slotCount_) - 1;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return (doneMask_ & mask) != 0; });
            doneMask_ &= ~mask;
        }
        // A slot reported in an earlier visit may still have left its wake-up behind.
        for (int i = 0; i < slotCount_; ++i)
            if (slots_[static_cast<size_t>(i)]->State() == CDevFetch::SlotState::Done)
                return;
    }
}

bool CDownloadEngine::ReportDone()
{
    bool any = false;
    for (int i = 0; i < slotCount_; ++i) {
        CDevFetch& slot = *slots_[static_cast<size_t>(i)];
        if (slot.State() == CDevFetch::SlotState::Done) {
            Report(slot);
            slot.MarkReady();
            any = true;
        }
    }
    return any;
}

void CDownloadEngine::ReportRemaining()
{
    ReportDone();
    while (AnyWorking()) {
        WaitForDone();
        ReportDone();
    }
}

bool CDownloadEngine::AllReady() const
{
    for (int i = 0; i < slotCount_; ++i)
        if (slots_[static_cast<size_t>(i)]->State() != CDevFetch::SlotState::Ready)
            return false;
    return true;
}

bool CDownloadEngine::AnyWorking() const
{
    for (int i = 0; i < slotCount_; ++i)
        if (slots_[static_cast<size_t>(i)]->State() == CDevFetch::SlotState::Working)
            return true;
    return false;
}

} // namespace pelldra
