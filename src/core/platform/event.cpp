// Events for worker threads, built on a mutex and a condition variable per waiting thread.
#include "core/platform/event.h"

#include <algorithm>
#include <condition_variable>

namespace pelldra {

// One blocked thread. Set() marks it woken under its own mutex; the thread then looks at its events again, so a
// wake-up that another waiter beats to an auto-reset signal simply sends it back to sleep.
struct Event::Waiter
{
    std::mutex mutex;
    std::condition_variable cv;
    bool woken = false;
};

Event::Event(Mode mode, bool initially_signalled) : manual_(mode == Mode::Manual), signalled_(initially_signalled) {}

Event::~Event() = default;

void Event::Set()
{
    std::lock_guard lock(mutex_);
    signalled_ = true;
    // Lock order is always event then waiter; a waiter never holds its own mutex while taking an event's.
    for (Waiter* w : waiters_) {
        std::lock_guard wl(w->mutex);
        w->woken = true;
        w->cv.notify_one();
    }
}

void Event::Reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool Event::IsSet() const
{
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool Event::TryTakeLocked()
{
    if (!signalled_)
        return false;
    if (!manual_)
        signalled_ = false;
    return true;
}

bool Event::Wait(Timeout timeout)
{
    Event* self = this;
    return WaitAny(std::span<Event* const>(&self, 1), timeout) == 0;
}

int Event::WaitAny(std::span<Event* const> events, Timeout timeout)
{
    if (events.empty())
        return -1;
    const auto deadline =
        timeout ? std::chrono::steady_clock::now() + *timeout : std::chrono::steady_clock::time_point{};
    Waiter waiter;

    // Erasing an absent pointer is harmless, so this also serves a first pass that stopped half-way.
    auto unregister = [&] {
        for (Event* e : events) {
            std::lock_guard lock(e->mutex_);
            auto& ws = e->waiters_;
            ws.erase(std::remove(ws.begin(), ws.end(), &waiter), ws.end());
        }
    };

    bool registered = false;
    for (;;) {
        int taken = -1;
        for (size_t i = 0; i < events.size() && taken < 0; ++i) {
            Event* e = events[i];
            std::lock_guard lock(e->mutex_);
            if (e->TryTakeLocked())
                taken = static_cast<int>(i);
            else if (!registered)
                e->waiters_.push_back(&waiter); // before this look ends, so a later Set() cannot be missed
        }
        if (taken >= 0) {
            unregister();
            return taken;
        }
        registered = true;

        std::unique_lock wl(waiter.mutex);
        if (timeout) {
            if (!waiter.cv.wait_until(wl, deadline, [&] { return waiter.woken; })) {
                wl.unlock();
                unregister();
                return -1;
            }
        } else {
            waiter.cv.wait(wl, [&] { return waiter.woken; });
        }
        waiter.woken = false;
    }
}

} // namespace pelldra
