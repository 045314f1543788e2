// The log file of the day.
#include "core/engine/daily_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
    file_.reset();
    path_.clear();
    if (name.empty())
        return false;
    const std::string path = folder + "/" + name;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (!fd.valid())
        return false;
    file_ = std::move(fd);
    path_ = path;
    WriteLocked(kLogStartLine);
    return true;
}

void CDailyLog::Append(std::string_view text)
{
    std::lock_guard lock(mutex_);
    WriteLocked(text);
}

void CDailyLog::WriteLocked(std::string_view text)
{
    if (!file_.valid())
        return;
    // One write per line, unbuffered: with O_APPEND another program reading or appending never sees half a line,
    // and a crash loses nothing already shown.
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(file_.get(), line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a full disk must not stop the run; the window still shows the line
        done += static_cast<size_t>(n);
    }
}

void CDailyLog::Close()
{
    std::lock_guard lock(mutex_);
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
