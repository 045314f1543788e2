// The log file of the day.
#include "core/engine/daily_log.h"

#include <cstdio>

#include "core/platform/files.h"
#include "core/platform/folders.h"

namespace pelldra {

CDailyLog::CDailyLog(std::string folder, Clock clock) : folder_(std::move(folder)), clock_(std::move(clock)) {}

std::string CDailyLog::FileNameFor(std::time_t t)
{
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return {};
    // Two-digit year, as the file names have always been.
    char name[32];
    std::snprintf(name, sizeof name, "%02d%02d%02d.log", (local.tm_year + 1900) % 100, local.tm_mon + 1,
                  local.tm_mday);
    return name;
}

bool CDailyLog::Open()
{
    const std::time_t now = clock_ ? clock_() : std::time(nullptr);
    const std::string folder = folder_.empty() ? GetProgramFolder() : folder_;
    const std::string name = FileNameFor(now);

    std::lock_guard lock(mutex_);
    FlushLocked();
    file_.reset();
    path_.clear();
    if (name.empty())
        return false;
    const std::string path = folder + "/" + name;
    UniqueFd fd = OpenPrivateForAppend(path);
    if (!fd.valid())
        return false;
    file_ = std::move(fd);
    path_ = path;
    WriteLocked(std::string(kLogStartLine) + "\r\n");
    return true;
}

void CDailyLog::Append(std::string_view text)
{
    const std::string line(text);
    AppendLines({&line, 1});
}

void CDailyLog::AppendLines(std::span<const std::string> lines)
{
    std::lock_guard lock(mutex_);
    // Lines go straight into the held block; written at once they still go in one write.
    for (const std::string& line : lines)
        held_.append(line).append("\r\n");
    if (!hold_ || held_.size() >= 64 * 1024)
        FlushLocked();
}

void CDailyLog::HoldLines(bool hold)
{
    std::lock_guard lock(mutex_);
    hold_ = hold;
    FlushLocked();
}

void CDailyLog::Flush()
{
    std::lock_guard lock(mutex_);
    FlushLocked();
}

void CDailyLog::FlushLocked()
{
    if (held_.empty())
        return;
    WriteLocked(held_);
    held_.clear();
}

void CDailyLog::WriteLocked(std::string_view bytes)
{
    // Whole lines in one write, unbuffered: with O_APPEND another program reading or appending never sees half a
    // line, and a crash loses nothing already shown. A full disk must not stop the run; the window still shows it.
    if (file_.valid())
        (void)WriteAll(file_.get(), bytes);
}

void CDailyLog::Close()
{
    std::lock_guard lock(mutex_);
    FlushLocked();
    file_.reset();
    path_.clear();
}

bool CDailyLog::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return file_.valid();
}

std::string CDailyLog::Path() const
{
    std::lock_guard lock(mutex_);
    return path_;
}

} // namespace pelldra
