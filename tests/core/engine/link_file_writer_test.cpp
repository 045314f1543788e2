// The update-link writer: blocks in order per folder, the lock file protocol, giving up, draining at exit.
#include "core/engine/link_file_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "core/platform/unique_fd.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FileExists;
using test::ReadFile;
using test::TempEnv;
using test::WriteFile;

DownloadJob Job(const std::string& dest, const std::string& url = "http://example.com/a001.jpg")
{
    DownloadJob j;
    j.Agen = "Pelldra1.79";
    j.Refe = "http://example.com/";
    j.Targ = url;
    j.Dest = dest;
    j.Seri = 3;
    j.Modi = 1167609600;
    j.Head = "X-A: 1";
    return j;
}

// The block as it must appear on disk, written out in full so that any change of the format shows here.
std::string ExpectedBlock(const std::string& dest, const std::string& url = "http://example.com/a001.jpg")
{
    return "\t//{{TOP\r\n"
           "User: \r\n"
           "Pass: \r\n"
           "Agen: Pelldra1.79\r\n"
           "Refe: http://example.com/\r\n"
           "Targ: " + url + "\r\n"
           "Meth: \r\n"
           "Argu: \r\n"
           "Dest: " + dest + "\r\n"
           "Cook: \r\n"
           "Prox: \r\n"
           "ByPa: 1\r\n"
           "Cash: 1\r\n"
           "Seri: 3\r\n"
           "Relo: 0\r\n"
           "Modi: 1167609600\r\n"
           "Load: 0\r\n"
           "Name: \r\n"
           "Head: X%2dA%3a+1\r\n"
           "\tEND}}//\r\n";
}

int CountBlocks(const std::string& text)
{
    int n = 0;
    for (size_t p = text.find("\t//{{TOP\r\n"); p != std::string::npos; p = text.find("\t//{{TOP\r\n", p + 1))
        ++n;
    return n;
}

// WaitIdle under a watchdog: a writer that hangs fails the test program loudly instead of stalling it.
void WaitIdleOrAbort(CLinkFileWriter& w, std::chrono::seconds limit = 20s)
{
    auto done = std::make_shared<std::promise<void>>();
    std::thread watchdog([f = done->get_future(), limit]() mutable {
        if (f.wait_for(limit) == std::future_status::timeout) {
            std::fprintf(stderr, "link file writer hangs\n");
            std::abort();
        }
    });
    w.WaitIdle();
    done->set_value();
    watchdog.join();
}

void AgeFile(const std::string& path, std::chrono::seconds age)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= age.count();
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(LinkFileWriter, TwoFilesOfOneFolderGiveTwoBlocksInQueueOrder)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    CLinkFileWriter w;
    w.Queue(Job(dir + "/a002.jpg", "http://example.com/a002.jpg"));
    w.Queue(Job(dir + "/a001.jpg"));
    WaitIdleOrAbort(w);
    EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), ExpectedBlock(dir + "/a002.jpg", "http://example.com/a002.jpg") +
                                              ExpectedBlock(dir + "/a001.jpg"));
    EXPECT_FALSE(FileExists(dir + "/append.lock")) << "the lock must be released after each block";
    EXPECT_EQ(w.Dropped(), 0u);
}

TEST(LinkFileWriter, AppendsToAnExistingLinkFile)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    ASSERT_TRUE(WriteFile(dir + "/pdr.hlk", "older blocks\r\n"));
    CLinkFileWriter w;
    w.Queue(Job(dir + "/a001.jpg"));
    WaitIdleOrAbort(w);
    EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), "older blocks\r\n" + ExpectedBlock(dir + "/a001.jpg"));
}

TEST(LinkFileWriter, EachBlockGoesToTheFolderOfItsSavePath)
{
    TempEnv env;
    const std::string a = env.makeFolder("a");
    const std::string b = env.makeFolder("b");
    const std::string sub = env.makeFolder("a/sub");
    struct Case
    {
        std::string dest;
        std::string link_file; // empty: the block is dropped
    };
    const std::vector<Case> cases = {
        {a + "/1.jpg", a + "/pdr.hlk"},
        {b + "/2.jpg", b + "/pdr.hlk"},
        {a + "//3.jpg", a + "/pdr.hlk"}, // doubled slashes before the name
        {sub + "/4.jpg", sub + "/pdr.hlk"},
        {"5.jpg", ""}, // no folder at all
        {a + "/6.jpg", a + "/pdr.hlk"},
    };
    CLinkFileWriter w;
    for (const Case& c : cases)
        w.Queue(Job(c.dest));
    WaitIdleOrAbort(w);

    std::map<std::string, std::string> expected;
    for (const Case& c : cases)
        if (!c.link_file.empty())
            expected[c.link_file] += ExpectedBlock(c.dest);
    for (const auto& [path, text] : expected)
        EXPECT_EQ(ReadFile(path), text) << path;
    EXPECT_EQ(w.Dropped(), 1u);
}

TEST(LinkFileWriter, TakesOverALockLeftBehindAtTheFirstStaleCheck)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    ASSERT_TRUE(WriteFile(dir + "/append.lock", "Pelldra[1]"));
    AgeFile(dir + "/append.lock", 3s);

    CLinkFileWriter w; // the program's own times: three retries 100 ms apart, then the age check
    const auto start = Clock::now();
    w.Queue(Job(dir + "/a001.jpg"));
    WaitIdleOrAbort(w);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), ExpectedBlock(dir + "/a001.jpg"));
    EXPECT_FALSE(FileExists(dir + "/append.lock"));
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 1500ms) << "the stale lock was not taken over at the first check";
}

TEST(LinkFileWriter, WaitsForAFreshLockHeldByAnotherWriter)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    const std::string lock = dir + "/append.lock";
    ASSERT_TRUE(WriteFile(lock, "Other[1]"));

    CLinkFileWriter w(LinkLockTimes{20ms, 3, 10s, 10s});
    const auto start = Clock::now();
    w.Queue(Job(dir + "/a001.jpg"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(ReadFile(lock), "Other[1]") << "a lock held by another writer was overwritten";
    EXPECT_FALSE(FileExists(dir + "/pdr.hlk")) << "written while another writer held the lock";
    ASSERT_EQ(::unlink(lock.c_str()), 0);
    WaitIdleOrAbort(w);
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), ExpectedBlock(dir + "/a001.jpg"));
    EXPECT_EQ(w.Dropped(), 0u);
}

TEST(LinkFileWriter, HoldsALockFileNamingTheProgramAndTheTimeWhileItWrites)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    const std::string lock = dir + "/append.lock";
    // A pipe in place of the link file stops the writer inside its lock until this test reads the block.
    ASSERT_EQ(::mkfifo((dir + "/pdr.hlk").c_str(), 0600), 0);
    CLinkFileWriter w;
    w.Queue(Job(dir + "/a.jpg"));

    std::string seen;
    const auto end = Clock::now() + 10s;
    while (seen.empty() && Clock::now() < end) {
        seen = ReadFile(lock); // empty until the file exists and holds its content
        std::this_thread::sleep_for(1ms);
    }
    const long long now = std::time(nullptr);
    UniqueFd pipe(::open((dir + "/pdr.hlk").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(pipe.valid());
    std::string block;
    char buf[4096];
    for (ssize_t n; (n = ::read(pipe.get(), buf, sizeof buf)) > 0;)
        block.append(buf, static_cast<size_t>(n));
    WaitIdleOrAbort(w);

    long long stamp = 0;
    ASSERT_EQ(std::sscanf(seen.c_str(), "Pelldra[%lld]", &stamp), 1) << seen;
    EXPECT_EQ(seen, "Pelldra[" + std::to_string(stamp) + "]");
    EXPECT_LE(std::llabs(now - stamp), 10);
    EXPECT_EQ(block, ExpectedBlock(dir + "/a.jpg"));
    EXPECT_FALSE(FileExists(lock));
}

TEST(LinkFileWriter, ALinkFileThatCannotBeOpenedDropsOnlyItsBlock)
{
    TempEnv env;
    const std::string bad = env.makeFolder("bad");
    const std::string good = env.makeFolder("good");
    ASSERT_EQ(::mkdir((bad + "/pdr.hlk").c_str(), 0755), 0);
    CLinkFileWriter w;
    w.Queue(Job(bad + "/a.jpg"));
    w.Queue(Job(good + "/b.jpg"));
    WaitIdleOrAbort(w);
    EXPECT_EQ(w.Dropped(), 1u);
    EXPECT_FALSE(FileExists(bad + "/append.lock")) << "the lock must be released when the link file fails";
    EXPECT_EQ(ReadFile(good + "/pdr.hlk"), ExpectedBlock(good + "/b.jpg"));
}

TEST(LinkFileWriter, GivesUpWhenTheLockCanNeverBeCreated)
{
    TempEnv env;
    struct Case
    {
        const char* name;
        std::function<std::string(const std::string&)> prepare; // returns the save folder to use
        std::function<void(const std::string&)> repair;         // makes the folder usable again, if it can be
    };
    const std::vector<Case> cases = {
        {"a folder named like the lock",
         [](const std::string& base) {
             ::mkdir((base + "/append.lock").c_str(), 0755);
             AgeFile(base + "/append.lock", 5s); // old enough, but a folder is never taken over
             return base;
         },
         [](const std::string& base) { ::rmdir((base + "/append.lock").c_str()); }},
        {"a missing folder", [](const std::string& base) { return base + "/gone"; },
         [](const std::string& base) { ::mkdir((base + "/gone").c_str(), 0755); }},
        {"a file where the folder should be",
         [](const std::string& base) {
             WriteFile(base + "/plain", "x");
             return base + "/plain";
         },
         nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string base = env.makeFolder("case" + std::to_string(n++));
        const std::string dir = c.prepare(base);
        constexpr auto kGiveUp = 400ms;
        CLinkFileWriter w(LinkLockTimes{20ms, 3, 100ms, kGiveUp});
        const auto start = Clock::now();
        for (int i = 0; i < 5; ++i)
            w.Queue(Job(dir + "/a" + std::to_string(i) + ".jpg"));
        WaitIdleOrAbort(w);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(w.Dropped(), 5u);
        EXPECT_GE(elapsed, kGiveUp);
        // Five full waits would take 2 s: the later blocks of a folder just given up must not wait again.
        EXPECT_LT(elapsed, 3 * kGiveUp);
        EXPECT_FALSE(FileExists(dir + "/pdr.hlk"));

        if (c.repair) {
            c.repair(base);
            w.Queue(Job(dir + "/later.jpg"));
            WaitIdleOrAbort(w);
            EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), ExpectedBlock(dir + "/later.jpg"))
                << "a folder that can be written again must get its blocks again";
        }
    }
}

TEST(LinkFileWriter, NeverWritesThroughALinkNamedLikeTheLock)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    const std::string victim = env.root() + "/victim.txt";
    ASSERT_TRUE(WriteFile(victim, "keep me"));
    ASSERT_EQ(::symlink(victim.c_str(), (dir + "/append.lock").c_str()), 0);
    AgeFile(dir + "/append.lock", 5s);

    CLinkFileWriter w(LinkLockTimes{10ms, 3, 100ms, 200ms});
    w.Queue(Job(dir + "/a.jpg"));
    WaitIdleOrAbort(w);
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_EQ(w.Dropped(), 1u);
}

TEST(LinkFileWriter, DrainsItsQueueWhenDestroyed)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    std::string expected;
    {
        CLinkFileWriter w;
        for (int i = 0; i < 100; ++i) {
            const std::string dest = dir + "/" + std::to_string(i) + ".jpg";
            w.Queue(Job(dest));
            expected += ExpectedBlock(dest);
        }
    }
    EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), expected);
}

TEST(LinkFileWriter, QueueIsSafeFromSeveralThreadsAndWriters)
{
    // Two writers stand for two programs sharing a folder; each has producers queueing at the same time.
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    constexpr int kThreads = 4, kJobs = 25;
    {
        CLinkFileWriter first(LinkLockTimes{1ms, 3, 2s, 10s});
        CLinkFileWriter second(LinkLockTimes{1ms, 3, 2s, 10s});
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                CLinkFileWriter& w = t % 2 ? second : first;
                for (int i = 0; i < kJobs; ++i)
                    w.Queue(Job(dir + "/t" + std::to_string(t) + "_" + std::to_string(i) + ".jpg"));
            });
        for (auto& th : threads)
            th.join();
        WaitIdleOrAbort(first);
        WaitIdleOrAbort(second);
        EXPECT_EQ(first.Dropped() + second.Dropped(), 0u);
    }
    const std::string text = ReadFile(dir + "/pdr.hlk");
    EXPECT_EQ(CountBlocks(text), kThreads * kJobs);
    for (int t = 0; t < kThreads; ++t) {
        size_t pos = 0;
        for (int i = 0; i < kJobs; ++i) {
            const std::string block = ExpectedBlock(dir + "/t" + std::to_string(t) + "_" + std::to_string(i) + ".jpg");
            const size_t at = text.find(block, pos);
            ASSERT_NE(at, std::string::npos) << "thread " << t << " block " << i << " missing, torn or out of order";
            pos = at + block.size();
        }
    }
}

} // namespace
} // namespace pelldra
