// TerminationWatcher: TERM, INT and HUP turned into a call on the GUI thread.
#pragma once

#include <signal.h>

#include <functional>
#include <memory>

#include "core/platform/unique_fd.h"

class QSocketNotifier;

namespace pelldra {

// The handler only writes a byte to a socket that the event loop watches. One at a time; the previous handlers come
// back when it is destroyed.
class TerminationWatcher final
{
public:
    explicit TerminationWatcher(std::function<void()> onSignal);
    ~TerminationWatcher();
    TerminationWatcher(const TerminationWatcher&) = delete;
    TerminationWatcher& operator=(const TerminationWatcher&) = delete;

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGTERM, SIGINT, SIGHUP};

    std::function<void()> onSignal_;
    UniqueFd read_;
    UniqueFd write_;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[kCount]
    {
    };
    bool installed_ = false;
};

} // namespace pelldra
