// The announcement check against a loopback server: the decision, the answers kept, and the worker's end.
#include "core/announce/announce_checker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "core/registry/tavin_reg_key.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

using namespace std::chrono_literals;

namespace pelldra {
namespace {

using test::TempEnv;

constexpr const char* kKey = "Software\\Tavin\\AutoAnn\\Pelldra";
constexpr int kProgramVersion = 179;

// The process's threads, as the kernel counts them: a thread is gone from here only once its exit handlers have run.
size_t ThreadCount()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}

// Answers with a set answer, once release (when given) is ready.
class FakeUser final : public AnnounceObserver
{
public:
    explicit FakeUser(AnnounceAnswer answer, std::shared_future<void> release = {})
        : answer_(answer), release_(std::move(release))
    {
    }
    AnnounceAnswer AskToRead() override
    {
        if (asked++ == 0)
            askedOnce.set_value();
        if (release_.valid())
            release_.wait();
        return answer_;
    }
    void CheckFinished(const std::string& url) override { finished.set_value(url); }

    std::atomic<int> asked{0};
    std::promise<void> askedOnce;
    std::promise<std::string> finished;

private:
    AnnounceAnswer answer_;
    std::shared_future<void> release_;
};

TEST(AnnounceChecker, AsksOnlyAboutANewAnnouncementForThisVersionAndKeepsTheAnswer)
{
    using A = AnnounceAnswer;
    struct Case
    {
        const char* name;
        std::string body; // "" answers 404
        const char* annIdBefore;
        A answer;
        bool asked;
        const char *annIdAfter, *url;
    };
    const std::string page = "http://www.tavin.example/news/6.html";
    const std::string ann = "Url_: " + page + "\r\nVers: 0\r\nID__: 6\r\n";
    const Case cases[] = {
        {"answered before", "Url_: " + page + "\r\nID__: 5\r\n", "5", A::Yes, false, "5", ""},
        {"newer", ann, "5", A::Yes, true, "6", page.c_str()},
        {"for older versions", "Url_: " + page + "\nVers: 179\nID__: 6\n", "", A::Yes, false, "", ""},
        {"for this version", "Url_: " + page + "\nVers: 180\nID__: 6\n", "", A::Later, true, "", ""},
        {"with a category", ann + "Cate: beta\r\n", "", A::Yes, false, "", ""},
        {"refused", ann, "5", A::Refuse, true, "6", ""},
        {"https page", "Url_: https://www.tavin.example/n\nID__: 6\n", "", A::Yes, true, "6",
         "https://www.tavin.example/n"},
        {"other scheme", "Url_: ftp://www.tavin.example/n\nID__: 6\n", "", A::Yes, false, "", ""},
        {"line rules", "  Url_: http://x.example/old\r\nUrl_: http://x.example/new\r\ns: Cat: x\r\nID__: 7th\r\nID__",
         "6", A::Yes, true, "7", "http://x.example/new"},
        {"not found", "", "", A::Yes, false, "", ""},
        {"too large", ann + std::string(kAnnounceSizeLimit, ' '), "", A::Yes, false, "", ""}};
    for (const Case& c : cases) {
        TempEnv env;
        test::TestHttpServer server;
        if (!c.body.empty())
            server.AddFile("/new-ann.dat", c.body, "text/plain");
        CTavinRegKey key(kKey);
        ASSERT_EQ(key.SetString("AnnID", c.annIdBefore), 0);
        auto user = std::make_shared<FakeUser>(c.answer);
        std::future<std::string> finished = user->finished.get_future();
        {
            CAnnounceChecker checker("Pelldra", server.Url("/new-ann.dat"));
            ASSERT_TRUE(checker.Start(0ms, user, kProgramVersion)) << c.name;
            ASSERT_EQ(finished.wait_for(30s), std::future_status::ready) << c.name;
            EXPECT_EQ(finished.get(), c.url) << c.name;
        }
        EXPECT_EQ(user->asked, c.asked ? 1 : 0) << c.name;
        EXPECT_EQ(key.GetString("AnnID"), c.annIdAfter) << c.name;
        const bool kept = !c.body.empty() && c.body.size() <= kAnnounceSizeLimit;
        EXPECT_EQ(test::ReadFile(env.dataFolder() + "/" + kAnnounceFileName), kept ? c.body : "") << c.name;
    }
}

TEST(AnnounceChecker, TheListAddressIsStoredUnlessOneIsThereAndWithoutOneNothingStarts)
{
    TempEnv env;
    auto user = std::make_shared<FakeUser>(AnnounceAnswer::Yes);
    CAnnounceChecker none("Pelldra", "");
    EXPECT_FALSE(none.Start(0ms, user, kProgramVersion));

    CAnnounceChecker first("Pelldra", "http://a.example/new-ann.dat");
    EXPECT_EQ(CTavinRegKey(kKey).GetString("Location"), "http://a.example/new-ann.dat");
    CAnnounceChecker second("Pelldra", "http://b.example/new-ann.dat");
    EXPECT_EQ(second.ListUrl(), "http://a.example/new-ann.dat");
}

TEST(AnnounceChecker, DestroyedWhileWaitingOrAskingItIsGoneWithinItsBound)
{
    for (const bool asking : {false, true}) {
        TempEnv env;
        test::TestHttpServer server;
        server.AddFile("/new-ann.dat", "Url_: http://x.example/\nID__: 1\n");
        std::promise<void> release;
        auto user = std::make_shared<FakeUser>(AnnounceAnswer::Later, release.get_future().share());
        std::future<std::string> finished = user->finished.get_future();
        std::future<void> asked = user->askedOnce.get_future();
        const size_t threadsBefore = ThreadCount();
        auto checker = std::make_unique<CAnnounceChecker>("Pelldra", server.Url("/new-ann.dat"));
        ASSERT_TRUE(checker->Start(asking ? 0ms : 60s, user, kProgramVersion));
        if (asking) {
            ASSERT_EQ(asked.wait_for(30s), std::future_status::ready);
        }
        const auto before = std::chrono::steady_clock::now();
        checker.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - before, kAnnounceQuitWait + 500ms) << asking;
        // A worker still asking was left to finish with what it uses; it ends once the question does.
        release.set_value();
        EXPECT_EQ(finished.wait_for(asking ? 30s : 200ms) == std::future_status::ready, asking) << asking;
        EXPECT_EQ(user->asked, asking ? 1 : 0);
        // Gone for good, its library state freed with it, and not cut off half-way by the end of the process.
        EXPECT_TRUE(test::WaitUntil([&] { return ThreadCount() <= threadsBefore; }, 10s)) << asking;
    }
}

} // namespace
} // namespace pelldra
