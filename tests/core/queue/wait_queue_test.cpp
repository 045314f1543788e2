// The queue file: order, lifecycle flags, damaged files, threads, other processes and crashes.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/queue/text_lines.h"
#include "core/queue/wait_queue.h"
#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

// ThreadSanitizer makes string work some twenty times slower: the file-size tests use smaller queues under it.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PELLDRA_UNDER_TSAN
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(PELLDRA_UNDER_TSAN)
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif

CQueueItem Order(const std::string& name, int kind = CQueueItem::RENBAN)
{
    CQueueItem it;
    it.Kind = kind;
    it.job.Targ = "http://h/" + name + "/a*.jpg";
    it.Fol = "/dl/" + name;
    return it;
}

// The name an order was made with, whatever its kind.
std::string NameOf(const CQueueItem& it)
{
    return it.Fol.substr(4);
}

std::vector<std::string> NamesInFile(const std::string& path)
{
    const std::string text = test::ReadFile(path);
    StringLineSource lines(text);
    std::vector<std::string> names;
    CQueueItem it;
    while (it.ReadItem(lines))
        names.push_back(NameOf(it));
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(WaitQueue, FirstInFirstOutAndFlags)
{
    test::TempEnv env;
    CWaitQueue q;
    EXPECT_EQ(q.path(), env.dataFolder() + "/Waiting.wlt");
    EXPECT_EQ(q.hasItems(), 0);
    ASSERT_EQ(q.Append(Order("a")), 0);
    ASSERT_EQ(q.Append(Order("b", CQueueItem::LIST)), 0);
    EXPECT_EQ(CWaitQueue().hasItems(), 1); // a new queue object sees the file

    CQueueItem it;
    it.Sub = "not from the file";
    ASSERT_TRUE(q.TakeFirst(it));
    EXPECT_EQ(NameOf(it) + it.Sub, "a");
    EXPECT_EQ(q.emptied(), 0);
    EXPECT_EQ(ModeOf(q.path()), 0600u);
    ASSERT_TRUE(q.TakeFirst(it));
    EXPECT_EQ(it.Kind, CQueueItem::LIST);
    EXPECT_EQ(q.emptied(), 1);
    EXPECT_FALSE(test::FileExists(q.path()));

    EXPECT_FALSE(q.TakeFirst(it));
    EXPECT_EQ(q.Append(Order("c")), 0);
    EXPECT_EQ(q.emptied(), 0);
}

TEST(WaitQueue, TakeFirstOnDamagedFiles)
{
    const std::string item = Order("x").ToText();
    struct Case
    {
        const char* name;
        std::string file;
        bool taken, fileLeft;
        std::string left; // the file afterwards, when it is left
    };
    const Case cases[] = {
        {"no item at all", "garbage\r\n\tFol\t/x\r\n", false, false, ""},
        {"cut-off first item", "//Item Gegin//\r\n[num] u\r\n", false, false, ""},
        {"only blank lines after the item", item + "\r\n\r\n", true, false, ""},
        {"cut-off item after it", item + "//Item Gegin//\r\n[num] v\r\n", true, false, ""},
        {"rest kept byte for byte", item + "between\n//Item Gegin//\n[num] v\n//Item End//\n", true, true,
         "between\n//Item Gegin//\n[num] v\n//Item End//\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempEnv env;
        CWaitQueue q;
        ASSERT_TRUE(test::WriteFile(q.path(), c.file));
        CQueueItem it;
        EXPECT_EQ(q.TakeFirst(it), c.taken);
        EXPECT_EQ(q.hasItems(), c.fileLeft ? 1 : 0);
        EXPECT_EQ(q.emptied(), c.taken && !c.fileLeft ? 1 : 0);
        EXPECT_EQ(c.fileLeft ? test::ReadFile(q.path()) : "", c.left);
    }
}

TEST(WaitQueue, AppendAfterAFileCutInsideALine)
{
    test::TempEnv env;
    CWaitQueue q;
    ASSERT_TRUE(
        test::WriteFile(q.path(), Order("a").ToText() + "//Item Gegin//\r\n[num] http://cut/\r\n\tFol\t/dl/cu"));
    ASSERT_EQ(q.Append(Order("b")), 0);
    EXPECT_EQ(NamesInFile(q.path()), (std::vector<std::string>{"a", "b"}));
    CQueueItem it;
    ASSERT_TRUE(q.TakeFirst(it));
    ASSERT_TRUE(q.TakeFirst(it));
    EXPECT_EQ(it.job.Targ, "http://h/b/a*.jpg"); // nothing of the cut item bled into it
    EXPECT_EQ(q.emptied(), 1);
}

TEST(WaitQueue, EditListLoadSaveAndIndexes)
{
    test::TempEnv env;
    CWaitQueue q;
    EXPECT_EQ(q.LoadAll(), 0);
    for (const char* n : {"a", "b", "c"})
        ASSERT_EQ(q.Append(Order(n)), 0);
    ASSERT_EQ(q.LoadAll(), 3);

    EXPECT_EQ(q.RemoveAt(-1), 1);
    EXPECT_EQ(q.RemoveAt(3), 1);
    EXPECT_EQ(q.RemoveAt(1), 0);
    EXPECT_EQ(q.InsertAt(-1, Order("bad")), 1);
    EXPECT_EQ(q.InsertAt(0, Order("first")), 0);
    EXPECT_EQ(q.InsertAt(99, Order("last")), 0);
    EXPECT_EQ(q.GetFolderAt(3), "/dl/last");
    EXPECT_EQ(q.GetFolderAt(4) + q.GetFolderAt(-1), "");
    EXPECT_EQ(NameOf(q.ItemAt(1)), "a");
    EXPECT_EQ(q.ItemAt(7).Kind, -1);

    ASSERT_EQ(q.SaveAll(), 0);
    EXPECT_EQ(ModeOf(q.path()), 0600u);
    EXPECT_EQ(NamesInFile(q.path()), (std::vector<std::string>{"first", "a", "c", "last"}));

    while (q.Count() > 0)
        ASSERT_EQ(q.RemoveAt(0), 0);
    ASSERT_EQ(q.SaveAll(), 0);
    EXPECT_EQ(q.hasItems(), 0);
    EXPECT_EQ(q.SaveAll(), 0); // nothing to delete is no failure
}

TEST(WaitQueue, BlockedNamesLeaveTheQueueAlone)
{
    test::TempEnv env;
    CWaitQueue q;
    ASSERT_EQ(q.Append(Order("a")), 0);
    ASSERT_EQ(q.Append(Order("b")), 0);
    const std::string before = test::ReadFile(q.path());
    // The temporary file's name is taken by a folder: the rest cannot be written, so nothing is taken.
    ASSERT_TRUE(test::WriteFile(env.dataFolder() + "/temp.tmp/keep", "x"));
    CQueueItem it;
    EXPECT_FALSE(q.TakeFirst(it));
    EXPECT_EQ(it.Kind, -1);
    EXPECT_EQ(test::ReadFile(q.path()), before);

    test::TempEnv other;
    CWaitQueue blocked;
    ASSERT_TRUE(test::WriteFile(blocked.path() + "/keep", "x")); // the queue file's name is a folder
    EXPECT_EQ(blocked.Append(Order("a")), 1);
    CWaitQueue missing(other.root() + "/missing");
    EXPECT_EQ(missing.Append(Order("a")), 1);
    EXPECT_FALSE(missing.TakeFirst(it));
    ASSERT_EQ(missing.InsertAt(0, Order("a")), 0);
    EXPECT_EQ(missing.SaveAll(), 1);
}

TEST(WaitQueue, LargeAndDamagedFiles)
{
    test::TempEnv env;
    CWaitQueue q;
    const int count = 100000 / kScale;
    std::string text;
    for (int i = 0; i < count; ++i)
        text += Order(std::to_string(i)).ToText();
    // A cut-off item is passed over; the next begin marker starts a fresh item.
    text += "//Item Gegin//\r\n[num] http://cut/\r\n\tFol\t/dl/cut\r\n";
    text += Order("long" + std::string(10000, 'x')).ToText();
    text += "//Item Gegin//\r\n[lst] /tail\r\n"; // cut off at the very end
    ASSERT_TRUE(test::WriteFile(q.path(), text));
    ASSERT_EQ(q.LoadAll(), count + 1);
    EXPECT_EQ(q.GetFolderAt(count - 1), "/dl/" + std::to_string(count - 1));
    EXPECT_EQ(q.GetFolderAt(count).size(), 10008u);
    CQueueItem it;
    ASSERT_TRUE(q.TakeFirst(it));
    EXPECT_EQ(NameOf(it), "0");
    ASSERT_EQ(q.LoadAll(), count);
    EXPECT_EQ(q.GetFolderAt(0), "/dl/1");
}

TEST(WaitQueueThreads, TwoWritersAndATaker)
{
    test::TempEnv env;
    CWaitQueue q;
    constexpr int kPerWriter = 120;
    auto writer = [&](const std::string& who) {
        for (int i = 0; i < kPerWriter; ++i)
            ASSERT_EQ(q.Append(Order(who + "-" + std::to_string(i))), 0);
    };
    std::vector<std::string> taken;
    std::thread taker([&] {
        CQueueItem it;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (taken.size() < 2 * kPerWriter && std::chrono::steady_clock::now() < give_up) {
            if (q.TakeFirst(it))
                taken.push_back(NameOf(it));
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::thread w1(writer, "a"), w2(writer, "b");
    for (std::thread* t : {&w1, &w2, &taker})
        t->join();
    ASSERT_EQ(taken.size(), 2u * kPerWriter);
    std::map<char, int> next;
    for (const std::string& name : taken)
        EXPECT_EQ(name.substr(2), std::to_string(next[name[0]]++)) << "order of writer " << name[0];
    EXPECT_FALSE(test::FileExists(q.path()));
}

TEST(WaitQueueProcesses, TwoProcessesTakeEachItemOnce)
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("q");
    CWaitQueue q(folder);
    for (int i = 0; i < 150; ++i)
        ASSERT_EQ(q.Append(Order(std::to_string(i))), 0);
    pid_t pids[2];
    for (int c = 0; c < 2; ++c) {
        pids[c] = test::ForkChild([&, c] {
            CWaitQueue mine(folder);
            CQueueItem it;
            std::string names;
            while (mine.TakeFirst(it))
                names += NameOf(it) + "\n";
            return test::WriteFile(folder + "/taken" + std::to_string(c), names) ? 0 : 1;
        });
    }
    std::multiset<int> all;
    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(test::WaitChild(pids[c]), 0);
        std::istringstream taken(test::ReadFile(folder + "/taken" + std::to_string(c)));
        for (int n, last = -1; taken >> n; last = n) {
            EXPECT_GT(n, last); // each process sees the queue's order
            all.insert(n);
        }
    }
    ASSERT_EQ(all.size(), 150u);
    EXPECT_EQ(std::set<int>(all.begin(), all.end()).size(), 150u);
}

// Kills a child at random moments of one queue operation and checks that the file is either the old queue or
// the queue without its first item, never anything in between.
void KillDuringOperation(void (*operation)(CWaitQueue& q))
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("q");
    const std::string path = folder + "/Waiting.wlt";
    std::string original;
    std::vector<std::string> all;
    for (int i = 0; i < 1500 / kScale; ++i)
        original += Order(all.emplace_back(std::to_string(i))).ToText();
    const std::vector<std::string> shortened(all.begin() + 1, all.end());
    auto run = [&] {
        return test::ForkChild([&] {
            CWaitQueue q(folder);
            operation(q);
            return 0;
        });
    };

    // How long one undisturbed run takes, fork included.
    ASSERT_TRUE(test::WriteFile(path, original));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(test::WaitChild(run()), 0);
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    ASSERT_EQ(NamesInFile(path), shortened);

    std::mt19937 rng(20261207);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    int runs = 0;
    for (; runs < 80 && std::chrono::steady_clock::now() < deadline; ++runs) {
        ASSERT_TRUE(test::WriteFile(path, original));
        const auto delay = std::chrono::microseconds(rng() % (full.count() * 5 / 4 + 1));
        const pid_t pid = run();
        std::this_thread::sleep_for(delay);
        ::kill(pid, SIGKILL);
        test::WaitChild(pid);
        const std::vector<std::string> names = NamesInFile(path);
        ASSERT_TRUE(names == all || names == shortened)
            << "after a kill at " << delay.count() << " us the queue holds " << names.size() << " items";
    }
    EXPECT_GE(runs, 20);
}

TEST(WaitQueueCrash, KilledTakeFirst)
{
    KillDuringOperation([](CWaitQueue& q) {
        CQueueItem it;
        q.TakeFirst(it);
    });
}

TEST(WaitQueueCrash, KilledSaveAll)
{
    KillDuringOperation([](CWaitQueue& q) {
        q.LoadAll();
        q.RemoveAt(0);
        q.SaveAll();
    });
}

} // namespace
} // namespace pelldra
