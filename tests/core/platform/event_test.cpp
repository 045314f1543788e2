// Events: reset kinds, time-outs, waiting for any, wake-ups across threads.
#include "core/platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Event, AutoResetLetsOneWaiterThroughPerSetManualLetsAllThroughAndStaysSet)
{
    for (const Event::Mode mode : {Event::Mode::Auto, Event::Mode::Manual}) {
        const bool manual = mode == Event::Mode::Manual;
        SCOPED_TRACE(manual ? "manual" : "auto");
        Event e(mode);
        constexpr int kWaiters = 4;
        std::atomic<int> through{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kWaiters; ++i)
            threads.emplace_back([&] { through += e.Wait(10s) ? 1 : 0; });
        for (int round = 1; round <= (manual ? 1 : kWaiters); ++round) {
            e.Set();
            const int want = manual ? kWaiters : round;
            for (const auto end = Clock::now() + 5s; through.load() < want && Clock::now() < end;)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(30ms); // room for a second, wrong wake-up
            EXPECT_EQ(through.load(), want);
            EXPECT_EQ(e.IsSet(), manual) << "only an auto-reset signal is consumed by the waiter that went through";
        }
        for (auto& t : threads)
            t.join();
    }
}

TEST(Event, WaitOnOneEvent)
{
    using M = Event::Mode;
    // What the case is, the mode, set at first, reset before waiting, the time-out, results of two waits in a row.
    const std::tuple<const char*, M, bool, bool, std::chrono::milliseconds, bool, bool> cases[] = {
        {"auto unsignalled polls false", M::Auto, false, false, 0ms, false, false},
        {"auto signalled is consumed", M::Auto, true, false, 0ms, true, false},
        {"manual signalled stays", M::Manual, true, false, 0ms, true, true},
        {"reset clears auto", M::Auto, true, true, 0ms, false, false},
        {"reset clears manual", M::Manual, true, true, 0ms, false, false},
        {"auto times out", M::Auto, false, false, 40ms, false, false},
        {"manual times out", M::Manual, false, false, 40ms, false, false}};
    for (const auto& [name, mode, initially, resetFirst, timeout, first, second] : cases) {
        SCOPED_TRACE(name);
        Event e(mode, initially);
        if (resetFirst)
            e.Reset();
        const auto start = Clock::now();
        EXPECT_EQ(e.Wait(timeout), first);
        EXPECT_EQ(e.Wait(timeout), second);
        const auto elapsed = Clock::now() - start;
        const int misses = (first ? 0 : 1) + (second ? 0 : 1);
        EXPECT_GE(elapsed, misses * timeout) << "a time-out returned early";
        EXPECT_LT(elapsed, misses * timeout + 1s);
    }
}

TEST(Event, WaitAnyReturnsLowestSignalledIndexAndConsumesOnlyIt)
{
    const std::pair<std::vector<int>, int> cases[] = {{{}, -1},    {{1}, 1},    {{2}, 2},
                                                      {{0, 2}, 0}, {{1, 2}, 1}, {{0, 1, 2}, 0}};
    for (const auto& [signalled, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(signalled));
        Event a(Event::Mode::Auto), b(Event::Mode::Auto), d(Event::Mode::Auto);
        Event* all[] = {&a, &b, &d};
        for (int i : signalled)
            all[i]->Set();
        EXPECT_EQ(Event::WaitAny(all, 10ms), expected);
        for (int i : signalled)
            EXPECT_EQ(all[i]->IsSet(), i != expected) << "event " << i;
    }
    EXPECT_EQ(Event::WaitAny(std::span<Event* const>{}, std::nullopt), -1) << "an empty list returns at once";
}

// Two threads hand a token back and forth a thousand times, one waiting for any of three events set by the other;
// a lost wake-up stalls a round into its time-out.
TEST(Event, PingPongLosesNoWakeUp)
{
    Event ping(Event::Mode::Auto), pong(Event::Mode::Auto), quit(Event::Mode::Manual), never(Event::Mode::Auto);
    constexpr int kRounds = 1000;
    std::atomic<int> answered{0};
    std::thread partner([&] {
        for (;;) {
            if (Event::WaitAny({&quit, &never, &ping}, 5s) != 2)
                return;
            ++answered;
            pong.Set();
        }
    });
    int ok = 0;
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        if (!pong.Wait(5s))
            break;
        ++ok;
    }
    quit.Set();
    partner.join();
    EXPECT_EQ(ok, kRounds);
    EXPECT_EQ(answered.load(), kRounds);
}

} // namespace
} // namespace pelldra
