// A run: start-up checks, the first jobs, each slot reporting its job and the free slots taking the next, the
// summary.
#include "core/engine/download_engine.h"

#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <utility>

#include "core/engine/log_lines.h"
#include "core/text/text_utils.h"

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
    // All slots are told first, so that their threads end side by side rather than one after the other.
    for (auto& slot : slots_)
        if (slot)
            slot->Quit();
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
    ready_.fill(true);
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
            // Here, not on the engine thread: a window that polls right after the start sees no old counts.
            progress_.Reset();
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

void CDownloadEngine::ShowLine(std::string_view text)
{
    if (!observer_)
        return;
    // A message may end in a line break of its own ("Parse Error! ...\n"); the log gives every line its CR LF, and
    // a bare break inside would split one report into lines the log's readers cannot tell apart.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    // A line takes the place, and the room, of one already shown.
    std::string& line = lineCount_ < lines_.size() ? lines_[lineCount_] : lines_.emplace_back();
    ++lineCount_;
    line.assign(text);
    line = LineBreaksToBlanks(std::move(line));
}

void CDownloadEngine::FlushLines(std::unique_lock<std::mutex>& lock)
{
    // One thread at a time shows lines, so they keep their order; it shows them without the run lock, so the
    // other slots go on reporting meanwhile, and takes along whatever they add.
    if (flushing_)
        return;
    flushing_ = true;
    while (lineCount_ > 0) {
        // The batch shown comes back as the room of the one after next: a report then costs no allocation.
        std::vector<std::string> batch;
        batch.swap(spareLines_);
        batch.swap(lines_);
        const size_t count = std::exchange(lineCount_, 0);
        lock.unlock();
        observer_->ShowLines(std::span<const std::string>(batch.data(), count));
        lock.lock();
        spareLines_.swap(batch);
    }
    flushing_ = false;
    // The engine's thread ends the run only once the last lines are out.
    if (noMoreJobs_)
        runChanged_.notify_all();
}

int CDownloadEngine::Run()
{
    item_->RunStatus = -1;
    // A refusal holds for the run it was given in (a cancel, a time-out, a mistyped password): the next run asks
    // again, or the store opened since answers. Accepted credentials are kept.
    areas_.DropRefused();
    std::unique_lock lock(runMutex_);
    sequenceMode_ = item_->Kind == CQueueItem::RENBAN;
    if (sequenceMode_) {
        source_.Load(SeriesOf(*item_));
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

    FillReadySlots();
    FlushLines(lock);
    // From here on each slot reports its job and the free slots take the next ones on the reporting transfer's
    // thread (OnSlotDone); this thread sees the run to its end. Each transfer keeps its own time limits.
    runChanged_.wait(lock, [&] { return AllReady() && (noMoreJobs_ || AbortRequested()) && !flushing_; });
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
    std::optional<CDevFetch::Report> report = slots_[static_cast<size_t>(index)]->TakeReport();
    if (!report)
        return;
    Report(*report);
    ready_[static_cast<size_t>(index)] = true;
    // The report may be what the series waited for: every free slot asks again, not only this one.
    FillReadySlots();
    const bool idle = ready_[static_cast<size_t>(index)];
    FlushLines(lock);
    // The engine's thread only needs waking when a slot falls idle: the run may be over.
    if (idle)
        runChanged_.notify_all();
}

void CDownloadEngine::FillReadySlots()
{
    for (int i = 0; i < slotCount_ && !noMoreJobs_; ++i) {
        if (!ready_[static_cast<size_t>(i)])
            continue;
        CDevFetch& slot = *slots_[static_cast<size_t>(i)];
        DownloadJob job;
        std::string folder;
        const CSeqJobSource::Next next = NextJob(job, folder);
        if (next == CSeqJobSource::Next::Job) {
            // The lines go first, while the job is still here: the slot takes it over. No report of this job can
            // come between them, since reports wait for the run lock this thread holds.
            ShowLine(job.Targ);
            ShowLine(kDownloading);
            Hand(slot, std::move(job), folder);
            continue;
        }
        // "Over" and an abort are both for good: the source is not asked again. "Nothing now" waits for the next
        // report, which only a working slot can bring.
        if (next == CSeqJobSource::Next::Over || AllReady())
            noMoreJobs_ = true;
        return;
    }
}

CSeqJobSource::Next CDownloadEngine::NextJob(DownloadJob& job, std::string& folder)
{
    if (AbortRequested())
        return CSeqJobSource::Next::Over;
    if (sequenceMode_)
        return source_.NextJob(job, &folder);
    const auto& lines = item_->ListLines;
    while (lineIndex_ + 1 < static_cast<int>(lines.size())) {
        ++lineIndex_;
        if (current_.ReadListLine(lines[static_cast<size_t>(lineIndex_)])) {
            job = current_;
            return CSeqJobSource::Next::Job;
        }
    }
    return CSeqJobSource::Next::Over;
}

void CDownloadEngine::Hand(CDevFetch& slot, DownloadJob&& job, const std::string& folder)
{
    ready_[static_cast<size_t>(slot.Index())] = false;
    slot.Start(std::move(job), folder);
    progress_.AddRequested();
    // An abort that came while this job was being made must reach its transfer too.
    if (AbortRequested())
        slot.Stop();
}

void CDownloadEngine::Report(CDevFetch::Report& report)
{
    DownloadJob& job = report.Job;
    const int32_t result = report.Result;
    const std::string& message = report.Message;
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

bool CDownloadEngine::AllReady() const
{
    for (int i = 0; i < slotCount_; ++i)
        if (!ready_[static_cast<size_t>(i)])
            return false;
    return true;
}

} // namespace pelldra
