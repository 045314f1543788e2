// LogFollower: appended bytes, unfinished last lines, replaced files and the file's one encoding.
#include "core/engine/log_follower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"
#include "core/text/text_decoding.h"

namespace pelldra {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void SplitLines(std::string_view text, std::vector<std::string>& lines)
{
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.emplace_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
}

} // namespace

LogFollower::LogFollower(std::string path) : path_(std::move(path)) {}

void LogFollower::Forget(off_t from)
{
    start_ = offset_ = from;
    inFirstLine_ = from > 0;
    pending_.clear();
    shownTail_.clear();
    encoding_ = LogEncoding::Unknown;
    decided_ = false;
}

LogUpdate LogFollower::Read()
{
    struct stat st = {};
    const UniqueFd fd = OpenPlainFile(path_, O_RDONLY, 0, &st);
    if (!fd.valid()) {
        LogUpdate gone;
        gone.changed = gone.restarted = open_;
        open_ = false;
        Forget();
        return gone;
    }
    // Another file under the name, or this one cut short: what was read of it no longer holds.
    const bool replaced = open_ && (st.st_dev != device_ || st.st_ino != inode_ || st.st_size < offset_);
    if (replaced || !open_)
        Forget();
    // More than a log ever holds is new (or waits for its line end): the older bytes are left out.
    const bool leap = st.st_size - offset_ + static_cast<off_t>(pending_.size()) > kLogReadLimit;
    if (leap)
        Forget(st.st_size - kLogReadLimit);
    open_ = true;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    LogUpdate update = ReadFrom(fd.get(), st.st_size);
    if (replaced || leap)
        update.changed = update.restarted = true;
    return update;
}

LogUpdate LogFollower::ReadFrom(int fd, off_t end)
{
    LogUpdate update;
    std::string bytes;
    if (!ReadToEnd(fd, offset_, bytes, end) || bytes.empty())
        return update;
    const bool atStart = offset_ == 0;
    offset_ += static_cast<off_t>(bytes.size());
    if (atStart && std::string_view(bytes).starts_with(kByteOrderMark))
        bytes.erase(0, kByteOrderMark.size());
    if (inFirstLine_) {
        const size_t lineEnd = bytes.find('\n');
        inFirstLine_ = lineEnd == std::string::npos;
        bytes.erase(0, inFirstLine_ ? bytes.size() : lineEnd + 1);
    }
    pending_ += bytes;
    const size_t lastEnd = pending_.rfind('\n');
    std::string complete;
    if (lastEnd != std::string::npos) {
        complete = pending_.substr(0, lastEnd + 1);
        pending_.erase(0, lastEnd + 1);
    }

    if (!complete.empty()) {
        std::string unused;
        if (!decided_) {
            encoding_ = IsValidUtf8(complete)           ? LogEncoding::Utf8
                        : Cp932ToUtf8(complete, unused) ? LogEncoding::Cp932
                                                        : LogEncoding::Unknown;
            decided_ = true;
        } else if (encoding_ == LogEncoding::Utf8 && !IsValidUtf8(complete)) {
            // Not a UTF-8 file after all: the whole file (or its part that is read) decides again.
            Forget(start_);
            update = ReadFrom(fd, end);
            update.changed = update.restarted = true;
            return update;
        }
        SplitLines(Decode(complete), update.lines);
    }

    std::string_view tail = pending_;
    if (tail.ends_with('\r'))
        tail.remove_suffix(1);
    // A tail cut inside a character is held back until the rest of it arrives.
    std::string shown;
    if (encoding_ == LogEncoding::Cp932 || (!decided_ && !IsValidUtf8(tail))) {
        if (!Cp932ToUtf8(tail, shown))
            shown.clear();
    } else if (encoding_ == LogEncoding::Unknown || IsValidUtf8(tail)) {
        shown.assign(tail);
    }
    update.tail = shown;
    update.changed = !update.lines.empty() || shown != shownTail_;
    shownTail_ = std::move(shown);
    return update;
}

std::string LogFollower::Decode(const std::string& bytes) const
{
    if (encoding_ != LogEncoding::Cp932)
        return bytes;
    std::string text;
    if (Cp932ToUtf8(bytes, text))
        return text;
    // A stray line that is not CP932 keeps its bytes; the others still read.
    std::vector<std::string> lines;
    SplitLines(bytes, lines);
    text.clear();
    for (const std::string& line : lines) {
        std::string decoded;
        text += Cp932ToUtf8(line, decoded) ? decoded : line;
        text += '\n';
    }
    return text;
}

} // namespace pelldra
