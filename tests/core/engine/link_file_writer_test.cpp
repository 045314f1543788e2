// The update-link writer: blocks in order per folder, the lock file protocol, giving up, draining at exit. The block's
// own format is tested with the job; here only where, whether and in which order it lands.
#include "core/engine/link_file_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FileExists;
using test::ReadFile;
using test::TempEnv;
using test::WriteFile;

DownloadJob Job(const std::string& dest)
{
    DownloadJob j;
    j.Targ = "http://example.com/a001.jpg", j.Dest = dest, j.Modi = 1167609600;
    return j;
}

void AgeFile(const std::string& path, std::chrono::seconds age)
{
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= age.count();
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(LinkFileWriter, EachBlockIsAppendedInQueueOrderToTheFolderOfItsSavePath)
{
    TempEnv env;
    const std::string a = env.makeFolder("a"), b = env.makeFolder("b"), sub = env.makeFolder("a/sub");
    const std::string bad = env.makeFolder("bad"), planted = env.makeFolder("planted"), pipe = env.makeFolder("pipe");
    ASSERT_TRUE(WriteFile(a + "/pdr.hlk", "older blocks\r\n"));
    ASSERT_EQ(::mkdir((bad + "/pdr.hlk").c_str(), 0755), 0);   // a link file that cannot be opened
    ASSERT_EQ(::mkfifo((pipe + "/pdr.hlk").c_str(), 0600), 0); // nor may one that nobody reads stop the writer
    // In a folder others may write to, a link planted under the file's name must not carry a password elsewhere.
    ASSERT_TRUE(WriteFile(env.root() + "/elsewhere", "x"));
    ASSERT_EQ(::symlink((env.root() + "/elsewhere").c_str(), (planted + "/pdr.hlk").c_str()), 0);
    // Save path, link file ("": the block is dropped).
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {a + "/a002.jpg", a + "/pdr.hlk"}, {b + "/2.jpg", b + "/pdr.hlk"},
        {a + "//3.jpg", a + "/pdr.hlk"}, // doubled slashes before the name
        {sub + "/4.jpg", sub + "/pdr.hlk"}, {"5.jpg", ""} /* no folder at all */, {bad + "/x.jpg", ""},
        {planted + "/y.jpg", ""}, {pipe + "/z.jpg", ""}, {a + "/a001.jpg", a + "/pdr.hlk"},
    };
    // clang-format on
    CLinkFileWriter w;
    std::map<std::string, std::string> expected = {{a + "/pdr.hlk", "older blocks\r\n"}};
    for (const auto& [dest, linkFile] : cases) {
        w.Queue(Job(dest));
        if (!linkFile.empty())
            expected[linkFile] += Job(dest).UpdateLinkBlock();
    }
    w.WaitIdle();
    for (const auto& [path, text] : expected) {
        EXPECT_EQ(ReadFile(path), text) << path;
        struct stat st = {};
        EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600) << path << " must be private";
    }
    EXPECT_EQ(ReadFile(env.root() + "/elsewhere"), "x");
    EXPECT_EQ(w.Dropped(), 4u);
    for (const std::string& dir : {a, b, sub, bad, planted, pipe})
        EXPECT_FALSE(FileExists(dir + "/append.lock")) << "the lock must be released after each block, also on failure";
}

TEST(LinkFileWriter, WaitsForAFreshLockTakesOverAStaleOneAndHoldsItsOwnNamingProgramAndTime)
{
    TempEnv env;
    const std::string dir = env.makeFolder("save"), lock = dir + "/append.lock", link = dir + "/pdr.hlk";
    ASSERT_TRUE(WriteFile(lock, "Other[1]"));
    {
        CLinkFileWriter w(LinkLockTimes{20ms, 3, 10s, 10s});
        w.Queue(Job(dir + "/1.jpg"));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(ReadFile(lock), "Other[1]") << "a lock held by another writer was overwritten";
        EXPECT_FALSE(FileExists(link)) << "written while another writer held the lock";
        ASSERT_EQ(::unlink(lock.c_str()), 0);
        w.WaitIdle();
        EXPECT_EQ(ReadFile(link), Job(dir + "/1.jpg").UpdateLinkBlock());
        EXPECT_EQ(w.Dropped(), 0u);
    }

    ASSERT_TRUE(WriteFile(lock, "Pelldra[1]"));
    AgeFile(lock, 3s);
    // A second name for the stale lock shows what the writer put into it after its own name is gone.
    ASSERT_EQ(::link(lock.c_str(), (dir + "/seen.lock").c_str()), 0);
    CLinkFileWriter w; // the program's own times: three retries 100 ms apart, then the age check
    const auto start = Clock::now();
    w.Queue(Job(dir + "/2.jpg"));
    w.WaitIdle();
    const auto elapsed = Clock::now() - start;
    const long long now = std::time(nullptr);
    EXPECT_EQ(ReadFile(link), Job(dir + "/1.jpg").UpdateLinkBlock() + Job(dir + "/2.jpg").UpdateLinkBlock());
    EXPECT_FALSE(FileExists(lock));
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 1500ms) << "the stale lock was not taken over at the first check";
    const std::string seen = ReadFile(dir + "/seen.lock");
    long long stamp = 0;
    ASSERT_EQ(std::sscanf(seen.c_str(), "Pelldra[%lld]", &stamp), 1) << seen;
    EXPECT_EQ(seen, "Pelldra[" + std::to_string(stamp) + "]");
    EXPECT_LE(std::llabs(now - stamp), 10);
}

TEST(LinkFileWriter, GivesUpWhenTheLockCanNeverBeCreated)
{
    TempEnv env;
    const std::string victim = env.root() + "/victim.txt";
    ASSERT_TRUE(WriteFile(victim, "keep me"));
    enum Obstacle { LockIsFolder, LockIsLink, FolderMissing, FolderIsFile };
    // (what, obstacle); an old lock of the wrong kind is never taken over, and a link is never written through
    for (const auto& [what, obstacle] : {std::pair{"a folder named like the lock", LockIsFolder},
                                         {"a link named like the lock", LockIsLink},
                                         {"a missing folder", FolderMissing},
                                         {"a file where the folder should be", FolderIsFile}}) {
        SCOPED_TRACE(what);
        const std::string base = env.makeFolder(std::string("case") + std::to_string(obstacle));
        const std::string lock = base + "/append.lock";
        const std::string dir = base + (obstacle == FolderMissing ? "/gone" : obstacle == FolderIsFile ? "/plain" : "");
        ASSERT_EQ(obstacle == LockIsFolder   ? ::mkdir(lock.c_str(), 0755)
                  : obstacle == LockIsLink   ? ::symlink(victim.c_str(), lock.c_str())
                  : obstacle == FolderIsFile ? (WriteFile(dir, "x") ? 0 : -1)
                                             : 0,
                  0);
        if (obstacle <= LockIsLink)
            AgeFile(lock, 5s);
        constexpr auto kGiveUp = 400ms;
        CLinkFileWriter w(LinkLockTimes{20ms, 3, 100ms, kGiveUp});
        const auto start = Clock::now();
        for (int i = 0; i < 5; ++i)
            w.Queue(Job(dir + "/a" + std::to_string(i) + ".jpg"));
        w.WaitIdle();
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(w.Dropped(), 5u);
        EXPECT_GE(elapsed, kGiveUp);
        // Five full waits would take 2 s: the later blocks of a folder just given up must not wait again.
        EXPECT_LT(elapsed, 3 * kGiveUp);
        EXPECT_FALSE(FileExists(dir + "/pdr.hlk"));
        if (obstacle == FolderIsFile)
            continue;
        // A folder that can be written again must get its blocks again.
        ASSERT_EQ(obstacle == FolderMissing ? ::mkdir(dir.c_str(), 0755) : ::remove(lock.c_str()), 0);
        w.Queue(Job(dir + "/later.jpg"));
        w.WaitIdle();
        EXPECT_EQ(ReadFile(dir + "/pdr.hlk"), Job(dir + "/later.jpg").UpdateLinkBlock());
    }
    EXPECT_EQ(ReadFile(victim), "keep me");
}

TEST(LinkFileWriter, QueueIsSafeFromSeveralThreadsAndWritersAndDrainsWhenDestroyed)
{
    // Two writers stand for two programs sharing a folder; each has producers queueing at the same time. They are
    // destroyed with their queues still full: every block must still be written.
    TempEnv env;
    const std::string dir = env.makeFolder("save");
    constexpr int kThreads = 4, kJobs = 25;
    const auto dest = [&](int t, int i) { return dir + "/t" + std::to_string(t) + "_" + std::to_string(i) + ".jpg"; };
    {
        CLinkFileWriter first(LinkLockTimes{1ms, 3, 2s, 10s}), second(LinkLockTimes{1ms, 3, 2s, 10s});
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                for (int i = 0; i < kJobs; ++i)
                    (t % 2 ? second : first).Queue(Job(dest(t, i)));
            });
        for (auto& th : threads)
            th.join();
    }
    const std::string text = ReadFile(dir + "/pdr.hlk");
    size_t total = 0;
    for (int t = 0; t < kThreads; ++t) {
        size_t pos = 0;
        for (int i = 0; i < kJobs; ++i) {
            const std::string block = Job(dest(t, i)).UpdateLinkBlock();
            const size_t at = text.find(block, pos);
            ASSERT_NE(at, std::string::npos) << "thread " << t << " block " << i << " missing, torn or out of order";
            pos = at + block.size();
            total += block.size();
        }
    }
    EXPECT_EQ(text.size(), total) << "extra or doubled blocks";
}

} // namespace
} // namespace pelldra
