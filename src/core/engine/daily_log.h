// The log file of the day: every status line of a run, appended with CR LF.
#pragma once

#include <ctime>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/unique_fd.h"

namespace pelldra {

// The first line of every opening; the log window shows it too.
inline constexpr std::string_view kLogStartLine = "  Logの開始";

class CDailyLog
{
public:
    using Clock = std::function<std::time_t()>;

    // folder: where the files go, empty for the data folder (GetProgramFolder). clock: the current time, empty for
    // the system clock.
    explicit CDailyLog(std::string folder = {}, Clock clock = {});
    ~CDailyLog() = default;
    CDailyLog(const CDailyLog&) = delete;
    CDailyLog& operator=(const CDailyLog&) = delete;

    // At a run's start: closes any open file, opens today's in append mode and writes kLogStartLine. The file is
    // private (OpenPrivateForAppend). False when it cannot be opened; the run then goes on without a log file.
    bool Open();
    // Appends text and CR LF when a file is open. A run past midnight stays in the file of the day it started.
    void Append(std::string_view text);
    // Appends every line with one write.
    void AppendLines(std::span<const std::string> lines);
    // While held, lines wait in memory until Flush, Close or 64 KiB: one write then serves many reports.
    // pelldra-get holds them while its standard output is not a terminal and flushes both together.
    void HoldLines(bool hold);
    void Flush();
    // At a run's end.
    void Close();

    bool IsOpen() const;
    // The open file's path; empty when none is open.
    std::string Path() const;

    // "%y%m%d.log" of t in local time, e.g. "070101.log" for 1 January 2007.
    static std::string FileNameFor(std::time_t t);

private:
    // Whole lines, CR LF included.
    void WriteLocked(std::string_view lines);
    void FlushLocked();

    const std::string folder_;
    const Clock clock_;
    mutable std::mutex mutex_; // guards path_ and file_: the engine thread appends while the window opens and closes
    std::string path_;
    UniqueFd file_;
    bool hold_ = false;
    std::string held_; // lines not yet written while held
};

} // namespace pelldra
