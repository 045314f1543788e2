// pelldra-get: the series and list downloads of the desktop program, and its queue, from a shell.
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/pelldra-get/cli_observer.h"
#include "cli/pelldra-get/options.h"
#include "cli/pelldra-get/stop_signals.h"
#include "core/credentials/ninsho_center.h"
#include "core/engine/content_type_table.h"
#include "core/engine/network.h"
#include "core/orders/list_order.h"
#include "core/orders/run_controller.h"
#include "core/orders/sequential_order.h"
#include "core/queue/queue_item.h"
#include "core/queue/queue_view.h"
#include "core/queue/wait_queue.h"
#include "core/registry/credential_values.h"
#include "core/sequence/digits.h"
#include "core/sequence/seq_url.h"
#include "core/settings/settings_file.h"

namespace pelldra::cli {
namespace {

enum : int {
    kExitDone = 0,
    kExitFailures = 1,
    kExitRefused = 2,
    kExitStopped = 3,
    kExitBadArguments = 4,
};

// Our threads need little stack. With the default 8 MiB each, the ten slots' stacks overflow the C library's cache
// of freed stacks, and joining the threads unmaps them one by one, each unmapping interrupting every CPU we run on.
void UseSmallThreadStacks()
{
    constexpr size_t kStack = 2 << 20;
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0)
        return;
    if (pthread_attr_setstacksize(&attr, kStack) == 0)
        pthread_setattr_default_np(&attr);
    pthread_attr_destroy(&attr);
}

int BadArguments(const std::string& problem)
{
    Complain(problem + "; see --help");
    return kExitBadArguments;
}

// subject: the file the refusal is about, named before each message; may be empty.
int Refused(const std::vector<std::string>& messages, const std::string& subject)
{
    for (const std::string& m : messages)
        Complain(m, subject);
    return kExitRefused;
}

// The folder when its check gives message, else fallback: a refusal names the file it is about.
std::string SubjectOf(const std::string& message, const std::string& folder, const std::string& fallback)
{
    std::string check = folder;
    return CheckFolderText(check) != 0 && check == message ? folder : fallback;
}

// The detail settings a run starts from: the desktop program's saved ones unless told otherwise.
DetailSettings StartingSettings(const Options& o)
{
    return o.noSettings ? DetailSettings{} : LoadSettingsFile(SettingsFilePath()).detail;
}

// The store answers authentication when asked for, or when the saved settings use it without a login at start:
// a login cannot be asked here, so a store that wants one is opened only on request.
bool UsesStore(const Options& o, const DetailSettings& settings)
{
    return o.store || (settings.UseCredentialManager != 0 && settings.ConfirmUserAtStart == 0);
}

std::string CurrentFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

// Relative paths are taken from the current folder, so that a queued order still means the same files later.
std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    const std::string here = CurrentFolder();
    return here.empty() ? path : here + "/" + path;
}

// Builds the series order as the window would from these control values. Returns 0 or an exit status.
int BuildSeries(const Options& o, const DetailSettings& settings, CQueueItem& item)
{
    CSeqUrl url;
    url.SetAssumeFixedDigits(settings.assumeFixedDigits != 0);
    url.SetText(o.url);
    url.SetSelectedField(0);
    for (int i = 1; i < o.lowerRun; ++i) {
        const SeqSpan before = url.GetFieldSpan(0);
        url.SelectPrevRun();
        if (url.IsFieldEmpty(0) || url.GetFieldSpan(0) == before)
            return BadArguments("the URL has fewer than " + std::to_string(o.lowerRun) + " digit runs (--lower-run)");
    }
    if (url.IsFieldEmpty(0) && (o.lower.given || o.upper.given || o.whole))
        return BadArguments("the URL has no digits to count");
    if (o.upper.given) {
        url.SetUpperEnabled(true);
        url.SetSelectedField(1);
        if (url.IsFieldEmpty(1))
            return BadArguments("the URL has no digit run left of the lower string (--upper)");
    }

    CSeqUrl referer;
    SequentialControls c;
    BindSavedReferer(settings, url, referer, c);
    const FilledRanges filled = RefreshRangesFromUrl(url, settings.WholeSequence != 0);
    c.lowerFrom = o.lower.given ? o.lower.from : filled.lower.from;
    c.lowerTo = o.lower.given ? o.lower.to : filled.lower.to;
    c.upperOn = o.upper.given;
    c.upperFrom = o.upper.from;
    c.upperTo = o.upper.to;
    if (settings.assumeFixedDigits != 0) {
        // The window's boxes show numbers at the URL's width; a typed range is read the same way.
        const auto pad = [&url](std::string& text, int field) {
            if (!text.empty())
                text = PadZeros(text, url.FieldWidth(field));
        };
        pad(c.lowerFrom, 0);
        pad(c.lowerTo, 0);
        if (c.upperOn) {
            pad(c.upperFrom, 1);
            pad(c.upperTo, 1);
        }
    }
    c.subfolderOn = !o.noSubfolder;
    c.subfolder = o.subfolder.value_or("");
    c.saveName = o.name.value_or("");
    c.folder = Absolute(o.dir.value_or(CurrentFolder()));

    SequentialState state;
    const OrderResult r = BuildSequentialItem(c, settings, state, item);
    if (!r.ok())
        return Refused(r.messages, SubjectOf(r.messages.front(), c.folder, ""));
    if (o.cookie)
        item.job.Cook = *o.cookie;
    return kExitDone;
}

int BuildList(const Options& o, const DetailSettings& settings, CQueueItem& item)
{
    ListControls c;
    c.listPath = Absolute(o.listPath);
    c.folder = Absolute(o.dir.value_or(CurrentFolder()));
    c.deleteList = o.deleteList;
    LoadedList loaded;
    const OrderResult r = BuildListItem(c, settings, loaded, item);
    return r.ok() ? kExitDone : Refused(r.messages, SubjectOf(r.messages.front(), c.folder, c.listPath));
}

// The credentials store. One that is missing or unreadable still runs, empty; the user is told, since every
// question would otherwise go to the terminal without a word why.
std::shared_ptr<CNinshoCenter> OpenStore()
{
    auto store = OpenRegisteredStore();
    const std::string path = store->GetDataFilePath();
    if (path.empty())
        Complain("warning: no credential store has been set up yet");
    else if (::access(path.c_str(), R_OK) != 0)
        Complain(std::string("warning: cannot read the credential store: ") + std::strerror(errno), path);
    else if (!store->IsUsable())
        Complain("warning: not a credential store file", path);
    return store;
}

// Runs orders through the run controller, as the window does, with the stop signals wired to the engine.
class Runner
{
public:
    Runner(const DetailSettings& settings, bool useStore)
        : settings_(settings), observer_(::isatty(STDERR_FILENO) == 1, ::isatty(STDIN_FILENO) == 1),
          runs_(
              observer_, [this](const std::vector<std::string>& lines) { observer_.ShowLines(lines); }, &queue_,
              &types_)
    {
        // Into a file or a pipe the day's log goes with standard output, every 250 ms, not one write per report.
        runs_.Log().HoldLines(observer_.BuffersLines());
        observer_.SetTickFlush([this] { runs_.Log().Flush(); });
        if (useStore)
            runs_.Engine().SetCredentialStore(OpenStore());
        signals_ = std::make_unique<StopSignals>([this] { runs_.Stop(); });
    }

    bool Stopped() const { return signals_->Stopped(); }

    // Runs one order given on the command line. Returns an exit status.
    int Run(const CQueueItem& item)
    {
        if (Stopped())
            return kExitStopped;
        observer_.BeginRun();
        const RunStart start = runs_.Start(item, Request(false));
        switch (start.outcome) {
        case RunStart::Started:
            return AwaitEnd();
        case RunStart::ListUnreadable:
            return Refused({start.refusal}, item.Lst);
        case RunStart::CannotRun:
            return kExitFailures; // read but refused: a failed run, with its log
        case RunStart::Busy:
            break;
        }
        return kExitRefused;
    }

    int RunQueue()
    {
        int worst = kExitDone;
        while (!Stopped()) {
            observer_.BeginRun();
            const QueueRunResult r = runs_.StartNextQueued(Request(true), false, {}, [this] { return Stopped(); });
            if (r.outcome == QueueRunResult::CannotTake) {
                std::fprintf(stderr, "pelldra-get: cannot take an order from the queue: %s\n", r.failure.c_str());
                return kExitFailures;
            }
            if (!r.keptAside.empty()) {
                std::fprintf(stderr, "pelldra-get: no order could be read from the queue file; it is kept as %s\n",
                             r.keptAside.c_str());
                worst = kExitFailures;
            }
            if (r.skipped > 0 && worst == kExitDone)
                worst = kExitFailures; // orders that could not run were dropped with their log lines
            if (r.outcome != QueueRunResult::Started)
                break;
            const int status = AwaitEnd();
            if (status != kExitDone && worst == kExitDone)
                worst = kExitFailures;
            if (NextAfterRun({false, Stopped(), false, queue_.hasItems() != 0}) != AfterRun::RunNextQueued)
                break;
        }
        return Stopped() ? kExitStopped : worst;
    }

private:
    // Every order carries the request options it was built with, a queued one those given with --queue.
    RunRequest Request(bool fromQueue) const
    {
        RunRequest r;
        r.folderEdit = CurrentFolder();
        r.noUpdateLinks = settings_.NoUpdateLinks != 0;
        r.refuseUnreadableList = !fromQueue;
        return r;
    }

    // Waits for the run started and ends it; an exit status.
    int AwaitEnd()
    {
        // A stop that came just before the start would otherwise be lost: the start clears the flag.
        if (Stopped())
            runs_.Stop();
        const int result = observer_.WaitRunEnded([this] { return ProgressLine(runs_.Figures()); });
        const RunEnd end = runs_.Finish(result); // a list that cannot be deleted is left, as the window does
        observer_.ShowLastProgress(ProgressLine(runs_.Figures()));
        if (Stopped())
            return kExitStopped;
        if (observer_.MessageShown())
            return kExitRefused;
        return result == 0 || end.failed > 0 ? kExitFailures : kExitDone;
    }

    const DetailSettings settings_;
    CContentTypeTable types_;
    CWaitQueue queue_;
    CliObserver observer_;
    RunController runs_;
    std::unique_ptr<StopSignals> signals_; // declared last: gone before the engine it stops
};

// What --run-queue would do, in its order.
int ListQueue()
{
    CWaitQueue queue;
    queue.LoadAll();
    const std::vector<CQueueItem> items = queue.Items();
    if (items.empty())
        std::fputs("待ち行列は空です。\n", stderr);
    int number = 0;
    for (const CQueueItem& item : items)
        std::fputs(QueueListLine(++number, item).c_str(), stdout);
    return kExitDone;
}

int Main(int argc, char** argv)
{
    // Before any thread exists, so that every thread leaves the stop signals to the signal thread.
    StopSignals::BlockInThisThread();
    UseSmallThreadStacks();
    Options o;
    const std::string problem = ParseOptions(argc, argv, o);
    if (!problem.empty())
        return BadArguments(problem);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    if (o.version) {
        std::puts("pelldra-get " PELLDRA_VERSION);
        return kExitDone;
    }
    if (o.mode == Mode::QueueList)
        return ListQueue();
    DetailSettings settings = StartingSettings(o);
    ApplyToSettings(o, settings);
    InitNetwork();

    if (o.mode == Mode::RunQueue)
        return Runner(settings, UsesStore(o, settings)).RunQueue();

    CQueueItem item;
    const int built = o.mode == Mode::Series ? BuildSeries(o, settings, item) : BuildList(o, settings, item);
    if (built != kExitDone)
        return built;
    if (o.queue) {
        CWaitQueue queue;
        if (queue.Append(item) != 0) {
            Complain("待ち行列に書き込めません", queue.path());
            return kExitFailures;
        }
        std::puts("ただいまのダウンロード指令は待ち行列に取り込まれました");
        return kExitDone;
    }
    return Runner(settings, UsesStore(o, settings)).Run(item);
}

} // namespace
} // namespace pelldra::cli

int main(int argc, char** argv)
{
    return pelldra::cli::Main(argc, argv);
}
