// A signalling event for worker threads: auto- or manual-reset, waits with a time-out, waits for any of several.
#pragma once

#include <chrono>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace pelldra {

class Event
{
public:
    enum class Mode
    {
        Auto,   // a successful wait consumes the signal: one waiter gets through per Set
        Manual, // stays signalled until Reset(): every waiter gets through
    };
    using Timeout = std::optional<std::chrono::milliseconds>; // std::nullopt waits without limit

    explicit Event(Mode mode, bool initially_signalled = false);
    ~Event();
    // Waiters keep pointers to the events they wait on, so an event never moves.
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event is signalled, without consuming an auto-reset signal.
    bool IsSet() const;

    // True when signalled (consuming an auto-reset signal), false on time-out. A zero time-out only polls.
    bool Wait(Timeout timeout = std::nullopt);

    // Waits until one of the events is signalled and returns its index, or -1 on time-out. When several are
    // signalled, the lowest index wins and only that one is consumed. An empty list returns -1 at once.
    static int WaitAny(std::span<Event* const> events, Timeout timeout = std::nullopt);
    static int WaitAny(std::initializer_list<Event*> events, Timeout timeout = std::nullopt)
    {
        return WaitAny(std::span<Event* const>(events.begin(), events.size()), timeout);
    }

private:
    struct Waiter;

    // Takes the signal if set; called with mutex_ held.
    bool TryTakeLocked();

    const bool manual_;
    mutable std::mutex mutex_;
    bool signalled_;
    std::vector<Waiter*> waiters_; // threads blocked in WaitAny on this event
};

} // namespace pelldra
