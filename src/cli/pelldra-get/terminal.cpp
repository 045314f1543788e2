// Terminal prompt with time-out and cancel.
#include "cli/pelldra-get/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "core/platform/files.h"
#include "core/platform/unique_fd.h"

namespace pelldra::cli {

namespace {

using Clock = std::chrono::steady_clock;

// The pipe that wakes a waiting prompt when its transfer is cancelled. Shared with the cancel callback, which may
// still run on another thread after the prompt has returned.
struct WakePipe
{
    UniqueFd read;
    UniqueFd write;
};

// Turns the terminal's echo off for its lifetime; the terminal is always given back as it was.
class EchoOff
{
public:
    explicit EchoOff(int fd) : fd_(fd)
    {
        if (::tcgetattr(fd_, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        active_ = ::tcsetattr(fd_, TCSANOW, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (active_)
            ::tcsetattr(fd_, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

// One line typed at the terminal; false on time-out, cancel, end of input or error.
bool ReadLine(int tty, int wake, Clock::time_point deadline, std::string& line)
{
    line.clear();
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fds[2] = {{tty, POLLIN, 0}, {wake, POLLIN, 0}};
        const int r = ::poll(fds, 2, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || fds[1].revents != 0)
            return false;
        char buffer[512];
        const ssize_t n = ::read(tty, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        line.append(buffer, static_cast<size_t>(n));
        if (const size_t nl = line.find('\n'); nl != std::string::npos) {
            line.resize(nl);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
    }
}

} // namespace

CredentialsAnswer AskOnTerminal(const std::string& url, std::chrono::milliseconds limit, CredentialsPrompt& prompt)
{
    UniqueFd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty.valid())
        return {};
    auto wake = std::make_shared<WakePipe>();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return {};
    wake->read.reset(fds[0]);
    wake->write.reset(fds[1]);
    prompt.OnCancel([wake] {
        const char c = 'x';
        [[maybe_unused]] const ssize_t n = ::write(wake->write.get(), &c, 1);
    });

    const Clock::time_point deadline = Clock::now() + limit;
    CredentialsAnswer answer;
    WriteAll(tty.get(), "認証が必要です: " + url + "\nユーザー名: ");
    if (ReadLine(tty.get(), wake->read.get(), deadline, answer.user)) {
        // Echo goes off before the question shows: a password typed the moment it appears is not echoed.
        EchoOff quiet(tty.get());
        WriteAll(tty.get(), "パスワード: ");
        answer.ok = ReadLine(tty.get(), wake->read.get(), deadline, answer.pass);
    }
    WriteAll(tty.get(), "\n");
    prompt.OnCancel(nullptr);
    if (!answer.ok)
        return {};
    return answer;
}

} // namespace pelldra::cli
