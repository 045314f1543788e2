// The credentials question's cancel hand-off between a transfer and the window that shows the prompt.
#include "core/engine/engine_observer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace pelldra {
namespace {

TEST(CredentialsPromptTest, ClosesExactlyOnceWhicheverComesFirst)
{
    struct Row
    {
        const char* name;
        bool cancelFirst;
    };
    for (const Row& row : {Row{"cancel before the prompt shows", true}, Row{"cancel while it shows", false}}) {
        SCOPED_TRACE(row.name);
        CredentialsPrompt prompt;
        std::atomic<int> closed{0};
        if (row.cancelFirst)
            prompt.Cancel();
        prompt.OnCancel([&] { ++closed; });
        std::thread other([&] {
            prompt.Cancel();
            prompt.Cancel();
        });
        other.join();
        EXPECT_EQ(closed.load(), 1);
        EXPECT_TRUE(prompt.Cancelled());
        EXPECT_TRUE(prompt.WaitCancelled(std::chrono::milliseconds(0)));
    }
}

TEST(PlainEngineObserverTest, AQuestionCancelledBeforeItIsAskedIsRefusedUnasked)
{
    PlainEngineObserver observer;
    int asked = 0;
    observer.SetAnswerer([&](const std::string&, CredentialsPrompt&) {
        ++asked;
        return CredentialsAnswer{true, "u", "p"};
    });
    CredentialsPrompt prompt;
    prompt.Cancel();
    EXPECT_FALSE(observer.AskCredentials("http://h/a.jpg", std::chrono::milliseconds(10), prompt).ok);
    EXPECT_EQ(asked, 0);
}

} // namespace
} // namespace pelldra
