// The credentials question's cancel hand-off, and the progress meter's rate window.
#include "core/engine/engine_observer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace pelldra {
namespace {

using namespace std::chrono_literals;

TEST(CredentialsPromptTest, ClosesExactlyOnceWhicheverComesFirst)
{
    for (const bool cancelFirst : {true, false}) {
        SCOPED_TRACE(cancelFirst ? "cancelled before the prompt shows" : "cancelled while it shows");
        CredentialsPrompt prompt;
        std::atomic<int> closed{0};
        if (cancelFirst)
            prompt.Cancel();
        prompt.OnCancel([&] { ++closed; });
        std::thread other([&] {
            prompt.Cancel();
            prompt.Cancel();
        });
        other.join();
        EXPECT_EQ(closed.load(), 1);
        EXPECT_TRUE(prompt.WaitCancelled(0ms));
    }
}

TEST(ProgressMeterTest, RateCoversTheRecentWindowOnly)
{
    ProgressMeter meter;
    meter.Snapshot(100ms);
    meter.AddBytes(1000000); // a burst that is over by the last look
    std::this_thread::sleep_for(150ms);
    meter.Snapshot(100ms);
    std::this_thread::sleep_for(150ms);
    meter.AddBytes(100);
    const ProgressSnapshot s = meter.Snapshot(100ms);
    EXPECT_EQ(s.bytes, 1000100);
    EXPECT_GT(s.rate, 0);
    EXPECT_LT(s.rate, 100 / 0.1) << "the burst before the window does not count";
    meter.Reset();
    EXPECT_EQ(meter.Snapshot().bytes, 0);
    EXPECT_EQ(meter.Snapshot().rate, 0);
}

} // namespace
} // namespace pelldra
