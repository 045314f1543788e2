// The stop signals' thread.
#include "cli/pelldra-get/stop_signals.h"

#include <pthread.h>
#include <signal.h>

namespace pelldra::cli {

namespace {

// Every signal that would end the program stops the run instead, so that no part file stays behind: a closed
// terminal or a lost ssh session (HUP) and Ctrl-\ (QUIT) as much as Ctrl-C and kill. SIGUSR1 only ends the
// waiting thread.
sigset_t WaitedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1})
        sigaddset(&set, sig);
    return set;
}

} // namespace

void StopSignals::BlockInThisThread()
{
    const sigset_t set = WaitedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignals::StopSignals(std::function<void()> onStop) : onStop_(std::move(onStop))
{
    thread_ = std::thread([this] { Loop(); });
}

StopSignals::~StopSignals()
{
    quit_ = true;
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
}

void StopSignals::Loop()
{
    const sigset_t set = WaitedSignals();
    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0)
            continue;
        if (sig == SIGUSR1) {
            if (quit_)
                return;
            continue;
        }
        stopped_ = true;
        if (onStop_)
            onStop_();
    }
}

} // namespace pelldra::cli
