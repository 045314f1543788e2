// SIGINT, SIGTERM, SIGHUP and SIGQUIT as the stop command: taken by a thread of their own with sigwait, never in a
// handler.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace pelldra::cli {

class StopSignals
{
public:
    // Blocks the signals in the calling thread and so in every thread started after it: call first in main.
    static void BlockInThisThread();

    // onStop runs on the signal thread at each of the stop signals.
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool Stopped() const { return stopped_.load(); }

private:
    void Loop();

    std::function<void()> onStop_;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> quit_{false};
    std::thread thread_;
};

} // namespace pelldra::cli
