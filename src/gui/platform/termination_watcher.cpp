// The self-pipe between the termination signals and the event loop.
#include "gui/platform/termination_watcher.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>

#include <cerrno>

namespace pelldra {

namespace {

// A signal handler can reach only a plain variable; the one watcher alive sets it.
int g_signalWriteFd = -1;

void OnTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalWriteFd, &byte, 1);
    errno = saved;
}

} // namespace

TerminationWatcher::TerminationWatcher(std::function<void()> onSignal) : onSignal_(std::move(onSignal))
{
    int fds[2];
    if (g_signalWriteFd >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0)
        return;
    read_ = UniqueFd(fds[0]);
    write_ = UniqueFd(fds[1]);
    g_signalWriteFd = write_.get();
    notifier_ = std::make_unique<QSocketNotifier>(read_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        char buffer[16];
        while (::read(read_.get(), buffer, sizeof buffer) > 0) {
        }
        onSignal_();
    });
    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &action, &previous_[i]);
    installed_ = true;
}

TerminationWatcher::~TerminationWatcher()
{
    if (!installed_)
        return;
    for (int i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &previous_[i], nullptr);
    g_signalWriteFd = -1;
}

} // namespace pelldra
