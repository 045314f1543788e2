// Runs a series download in the real main window and reports how long its event loop stalled meanwhile.
// pelldra-bench-window URL FIRST LAST FOLDER: URL's last digit run counts from FIRST to LAST, saved into FOLDER.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>
#include <QToolButton>

#include <time.h>

#include <algorithm>
#include <vector>

#include "core/engine/network.h"
#include "gui/app/pelldra_dlg.h"
#include "gui/log/log_edit.h"
#include "gui/platform/japanese_font.h"
#include "gui/widgets/folder_edit.h"
#include "gui/widgets/num_edit.h"
#include "gui/widgets/url_edit.h"

namespace {

// The heartbeat's period: a stall is how much later than this a beat comes.
constexpr int kBeatMs = 5;
constexpr int kStallReportedMs = 50;

struct Stall
{
    qint64 atMs; // since the start button was pressed
    qint64 lengthMs;
    qint64 busyMs; // of it, the window's thread was computing; the rest it waited for a core (on a shared machine)
};

// The CPU time of the calling thread.
qint64 ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

int main(int argc, char* argv[])
{
    pelldra::InitNetwork();
    QApplication application(argc, argv);
    QTextStream out(stdout);
    if (argc != 5) {
        QTextStream(stderr) << "usage: pelldra-bench-window URL FIRST LAST FOLDER\n";
        return 2;
    }
    pelldra::UseJapaneseFont();
    pelldra::CPelldraDlg dlg;
    dlg.Settings().Speed = 3;
    dlg.show();
    dlg.UrlEdit()->setPlainText(QString::fromLocal8Bit(argv[1]));
    dlg.LowerFrom()->setText(QString::fromLocal8Bit(argv[2]));
    dlg.LowerTo()->setText(QString::fromLocal8Bit(argv[3]));
    dlg.FolderEdit()->setText(QString::fromLocal8Bit(argv[4]));

    std::vector<Stall> stalls;
    QElapsedTimer run;
    QElapsedTimer sinceBeat;
    qint64 cpuAtBeat = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(kBeatMs);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 gap = sinceBeat.restart();
        const qint64 cpu = ThreadCpuMs();
        if (gap > kBeatMs)
            stalls.push_back({run.elapsed() - gap, gap - kBeatMs, cpu - cpuAtBeat});
        cpuAtBeat = cpu;
        if (dlg.RunState() == pelldra::CPelldraDlg::kIdle)
            application.quit();
    });
    QTimer::singleShot(500, &dlg, [&] {
        run.start();
        sinceBeat.start();
        cpuAtBeat = ThreadCpuMs();
        beat.start();
        dlg.StartButton()->click();
    });
    application.exec();
    const qint64 total = run.elapsed();

    std::sort(stalls.begin(), stalls.end(), [](const Stall& a, const Stall& b) { return a.lengthMs > b.lengthMs; });
    const auto over =
        std::count_if(stalls.begin(), stalls.end(), [](const Stall& s) { return s.lengthMs > kStallReportedMs; });
    out << "run_ms " << total << "\n";
    out << "longest_stall_ms " << (stalls.empty() ? 0 : stalls.front().lengthMs) << "\n";
    out << "stalls_over_" << kStallReportedMs << "ms " << over << "\n";
    const auto busiest = std::max_element(stalls.begin(), stalls.end(),
                                          [](const Stall& a, const Stall& b) { return a.busyMs < b.busyMs; });
    out << "longest_busy_ms " << (stalls.empty() ? 0 : busiest->busyMs) << "\n";
    for (size_t i = 0; i < std::min<size_t>(stalls.size(), 5); ++i)
        out << "stall " << stalls[i].lengthMs << " ms (busy " << stalls[i].busyMs << " ms) at " << stalls[i].atMs
            << " ms\n";
    out << "log_lines " << dlg.LogView()->LineCount() << "\n";
    out << "progress " << dlg.ProgressText() << "\n";
    return 0;
}
