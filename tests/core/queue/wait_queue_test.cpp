// The queue file: order, lifecycle flags, damaged and blocked files, editing, threads, other processes and crashes.

#include "core/platform/files.h"
#include "core/queue/wait_queue.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

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

std::string Names(const std::vector<CQueueItem>& items)
{
    std::string names;
    for (const CQueueItem& it : items)
        names += NameOf(it);
    return names;
}

std::string NamesInFile(const std::string& folder)
{
    CWaitQueue reader(folder);
    reader.LoadAll();
    return Names(reader.Items());
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
    ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
    EXPECT_EQ(NameOf(it) + it.Sub, "a");
    EXPECT_EQ(q.emptied(), 0);
    struct stat st = {};
    ASSERT_EQ(::stat(q.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // orders may hold passwords
    ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
    EXPECT_EQ(it.Kind, CQueueItem::LIST);
    EXPECT_EQ(q.emptied(), 1);
    EXPECT_FALSE(test::FileExists(q.path()));

    EXPECT_EQ(q.TakeFirst(it), TakeResult::Empty);
    EXPECT_EQ(q.Append(Order("c")), 0);
    EXPECT_EQ(q.emptied(), 0);
}

TEST(WaitQueue, TakeFirstOnDamagedFiles)
{
    const std::string item = Order("x").ToText();
    // What the file holds, its bytes, whether an order is taken, the file afterwards ("": it is gone), the file kept
    // aside because no order could be read from it.
    const std::tuple<const char*, std::string, bool, std::string, std::string> cases[] = {
        {"no item at all", "garbage\r\n\tFol\t/x\r\n", false, "", "garbage\r\n\tFol\t/x\r\n"},
        {"cut-off first item", "//Item Gegin//\r\n[num] u\r\n", false, "", "//Item Gegin//\r\n[num] u\r\n"},
        {"only blank lines", "\r\n \r\n", false, "", ""},
        {"only blank lines after the item", item + "\r\n\r\n", true, "", ""},
        {"cut-off item after it", item + "//Item Gegin//\r\n[num] v\r\n", true, "", ""},
        {"rest kept byte for byte", item + "between\n//Item Gegin//\n[num] v\n//Item End//\n", true,
         std::string(kOrderFileMark) + "between\n//Item Gegin//\n[num] v\n//Item End//\n", ""}};
    for (const auto& [name, file, taken, left, keptAside] : cases) {
        SCOPED_TRACE(name);
        test::TempEnv env;
        CWaitQueue q;
        ASSERT_TRUE(test::WriteFile(q.path(), file));
        CQueueItem it;
        EXPECT_EQ(q.TakeFirst(it), taken ? TakeResult::Taken : TakeResult::Empty);
        EXPECT_EQ(q.hasItems(), left.empty() ? 0 : 1);
        EXPECT_EQ(q.emptied(), taken && left.empty() ? 1 : 0);
        EXPECT_EQ(test::FileExists(q.path()) ? test::ReadFile(q.path()) : "", left);
        EXPECT_EQ(test::FileExists(q.path() + ".bad") ? test::ReadFile(q.path() + ".bad") : "", keptAside);
        EXPECT_EQ(q.TakeKeptAside(), keptAside.empty() ? "" : q.path() + ".bad"); // for the user to be told
    }
    // Saving the (empty) edit list over such a file keeps it aside too.
    test::TempEnv env;
    CWaitQueue q;
    ASSERT_TRUE(test::WriteFile(q.path(), "//Item Begin//\r\n"));
    EXPECT_EQ(q.LoadAll(), 0);
    EXPECT_EQ(q.SaveAll(), 0);
    EXPECT_EQ(test::ReadFile(q.path() + ".bad"), "//Item Begin//\r\n");
}

TEST(WaitQueue, AppendAfterAFileCutInsideALine)
{
    test::TempEnv env;
    CWaitQueue q;
    ASSERT_TRUE(
        test::WriteFile(q.path(), Order("a").ToText() + "//Item Gegin//\r\n[num] http://cut/\r\n\tFol\t/dl/cu"));
    ASSERT_EQ(q.Append(Order("b")), 0);
    CQueueItem it;
    ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
    ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
    EXPECT_EQ(it.Fol + " " + it.job.Targ, "/dl/b http://h/b/a*.jpg"); // nothing of the cut item bled into it
    EXPECT_EQ(q.emptied(), 1);
}

TEST(WaitQueue, WhatItWritesReadsBackByteForByte)
{
    test::TempEnv env;
    CWaitQueue q;
    // The older program's file in CP932 ("ダウンロード"); appending makes the whole file this program's.
    ASSERT_TRUE(test::WriteFile(q.path(), "//Item Gegin//\r\n[lst] /l.lst\r\n\tFol\t/dl/\x83\x5f\x83\x45\x83\x93"
                                          "\x83\x8d\x81\x5b\x83\x68\r\n//Item End//\r\n"));
    CQueueItem latin = Order("x");
    latin.Fol = "/dl/caf\xE9 \x83\x5f"; // a Latin-1 folder, with bytes that CP932 would take
    ASSERT_EQ(q.Append(latin), 0);
    ASSERT_EQ(q.Append(latin), 0);
    CQueueItem it;
    for (const std::string& fol : {std::string("/dl/ダウンロード"), latin.Fol, latin.Fol}) {
        ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
        EXPECT_EQ(it.Fol, fol);
    }
}

TEST(WaitQueue, CannotTakeIsNotEmptyAndChangesNothing)
{
    enum Block { TempName, QueueName, Pipes, ReadOnly, NoFolder };
    const std::pair<Block, TakeResult> cases[] = {{TempName, TakeResult::CannotTake},
                                                  {QueueName, TakeResult::CannotTake},
                                                  {Pipes, TakeResult::CannotTake},
                                                  {ReadOnly, TakeResult::CannotTake},
                                                  {NoFolder, TakeResult::Empty}};
    for (const auto& [block, expected] : cases) {
        SCOPED_TRACE(block);
        test::TempEnv env;
        CWaitQueue q(block == NoFolder ? env.root() + "/missing" : env.makeFolder("q"));
        ASSERT_EQ(q.Append(Order("a")), block == NoFolder ? 1 : 0);
        ASSERT_EQ(q.Append(Order("b")), block == NoFolder ? 1 : 0);
        const std::string before = test::ReadFile(q.path());
        std::optional<test::ReadOnlyFolder> readOnly;
        if (block == TempName) {
            ASSERT_TRUE(test::WriteFile(q.folder() + "/temp.tmp/keep", "x"));
        }
        if (block == QueueName) {
            ASSERT_EQ(::unlink(q.path().c_str()), 0);
            ASSERT_TRUE(test::WriteFile(q.path() + "/keep", "x"));
        }
        if (block == Pipes) { // planted where the queue file and a taken order's record go: nothing may wait on them
            ASSERT_EQ(::unlink(q.path().c_str()), 0);
            ASSERT_EQ(::mkfifo(q.path().c_str(), 0600), 0);
            ASSERT_EQ(::mkfifo((q.folder() + "/Waiting.taken.1.run").c_str(), 0600), 0);
            EXPECT_EQ(q.Append(Order("c")), 1);
        }
        if (block == ReadOnly && !readOnly.emplace(q.folder()).ready())
            continue; // root on a file system without the immutable flag
        CQueueItem it;
        EXPECT_EQ(q.TakeFirst(it), expected);
        EXPECT_EQ(it.Kind, -1);
        if (expected == TakeResult::CannotTake) {
            EXPECT_EQ(q.TakeFailure().rfind(q.folder(), 0), 0u) << q.TakeFailure();
        }
        if (block == TempName || block == ReadOnly) {
            EXPECT_EQ(test::ReadFile(q.path()), before);
        }
        readOnly.reset();
        EXPECT_EQ(q.LoadAll(), block == TempName || block == ReadOnly ? 2 : 0); // no order went anywhere else
    }
    test::TempEnv env;
    CWaitQueue missing(env.root() + "/missing");
    ASSERT_EQ(missing.InsertAt(0, Order("a")), 0);
    EXPECT_EQ(missing.SaveAll(), 1);
}

TEST(WaitQueueThreads, TwoWritersAndATaker)
{
    test::TempEnv env;
    CWaitQueue q;
    constexpr int kPerWriter = 60;
    auto writer = [&](const std::string& who) {
        for (int i = 0; i < kPerWriter; ++i)
            ASSERT_EQ(q.Append(Order(who + "-" + std::to_string(i))), 0);
    };
    std::vector<std::string> taken;
    std::thread taker([&] {
        CQueueItem it;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (taken.size() < 2 * kPerWriter && std::chrono::steady_clock::now() < give_up) {
            if (q.TakeFirst(it) == TakeResult::Taken)
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

TEST(WaitQueueProcesses, AnOrderWhoseRunNeverEndedComesBackFirst)
{
    test::TempEnv env;
    CWaitQueue q;
    for (const char* n : {"a", "b", "c"})
        ASSERT_EQ(q.Append(Order(n)), 0);
    // This process runs a; a child takes b and ends without ending its run, as a killed one would.
    CQueueItem it;
    ASSERT_EQ(q.TakeFirst(it), TakeResult::Taken);
    ASSERT_EQ(test::WaitChild(test::ForkChild([] {
                  CWaitQueue mine;
                  CQueueItem taken;
                  return mine.TakeFirst(taken) == TakeResult::Taken && NameOf(taken) == "b" ? 0 : 1;
              })),
              0);
    CWaitQueue other; // another front end of this user
    std::string names;
    while (other.TakeFirst(it) == TakeResult::Taken) {
        names += NameOf(it);
        other.EndTakenRun();
    }
    EXPECT_EQ(names, "bc"); // a is still running here, and is not taken twice
    q.EndTakenRun();
    EXPECT_EQ(other.LoadAll(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(env.dataFolder()));
}

// Front ends running orders in child processes, killed at random moments, again and again: no order is lost, no
// order is queued twice, and no two processes ever run one order at the same time.
TEST(WaitQueueCrash, KilledRunsLoseNoOrderAndNeverShareOne)
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("q");
    const std::string done = folder + "/done";
    const std::string runs = env.makeFolder("runs");
    CWaitQueue q(folder);
    constexpr int kCount = 120;
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(q.Append(Order(std::to_string(i))), 0);

    // A runner runs at most quota orders, so that the queue outlasts many rounds however long a loaded machine
    // stretches the pause before a kill.
    auto runner = [&](unsigned seed, int quota) {
        return test::ForkChild([&, seed, quota] {
            CWaitQueue mine(folder);
            std::mt19937 rng(seed);
            CQueueItem it;
            for (int n = 0; n < quota; ++n) {
                if (const TakeResult r = mine.TakeFirst(it); r != TakeResult::Taken)
                    return r == TakeResult::Empty ? 0 : 2;
                // A run holds a lock named after its order: another process running it now would find it taken.
                UniqueFd run(::open((runs + "/" + NameOf(it)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
                if (!run.valid() || ::flock(run.get(), LOCK_EX | LOCK_NB) != 0)
                    return 3;
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 2000));
                UniqueFd log(::open(done.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
                if (!WriteAll(log.get(), NameOf(it) + "\n"))
                    return 4;
                mine.EndTakenRun();
            }
            return 0;
        });
    };
    // Every runner is stopped before any dies: a dying process lets go of its order before its run lock (its
    // descriptors close one by one), and a runner still going could take the order in between.
    auto stopThenKill = [](const std::vector<pid_t>& pids) {
        std::vector<int> ended(pids.size(), -1);
        for (const pid_t pid : pids)
            ::kill(pid, SIGSTOP);
        for (size_t i = 0; i < pids.size(); ++i) {
            int status = 0;
            while (::waitpid(pids[i], &status, WUNTRACED) < 0 && errno == EINTR) {
            }
            if (WIFEXITED(status))
                ended[i] = WEXITSTATUS(status);
            else if (WIFSIGNALED(status))
                ended[i] = 128 + WTERMSIG(status);
        }
        for (size_t i = 0; i < pids.size(); ++i) {
            if (ended[i] < 0) {
                ::kill(pids[i], SIGKILL);
                ended[i] = test::WaitChild(pids[i]);
            }
            EXPECT_TRUE(ended[i] == 0 || ended[i] == 128 + SIGKILL) << "runner ended with " << ended[i];
        }
    };
    // Every order is queued once, or was run (and may be queued again when its runner died before ending it).
    auto check = [&] {
        std::set<std::string> queued;
        q.LoadAll();
        for (const CQueueItem& it : q.Items())
            EXPECT_TRUE(queued.insert(NameOf(it)).second) << "queued twice: " << NameOf(it);
        std::istringstream ran(test::ReadFile(done));
        std::set<std::string> seen = queued;
        for (std::string name; std::getline(ran, name);)
            seen.insert(name);
        EXPECT_EQ(seen.size(), static_cast<size_t>(kCount));
        return queued.size();
    };

    // A take and an end as the runners make them (on this disk), to spread the kills over whole runs.
    const auto t0 = std::chrono::steady_clock::now();
    CQueueItem first;
    ASSERT_EQ(q.TakeFirst(first), TakeResult::Taken);
    q.EndTakenRun();
    const auto cycle = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    ASSERT_EQ(q.Append(first), 0);
    const long long pause = std::min<long long>(3 * cycle.count(), 100000) + 3000;

    std::mt19937 rng(20261207);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(45);
    int rounds = 0;
    for (; rounds < 40 && std::chrono::steady_clock::now() < deadline && !HasFailure(); ++rounds) {
        const std::vector<pid_t> pids = {runner(rng(), 1 + static_cast<int>(rng() % 3)),
                                         runner(rng(), 1 + static_cast<int>(rng() % 3))};
        ASSERT_TRUE(pids[0] > 0 && pids[1] > 0); // a signal to -1 would reach every process of the user
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(rng()) % pause));
        stopThenKill(pids);
        if (check() == 0)
            break;
    }
    EXPECT_GE(rounds, 10);
    const pid_t last[] = {runner(1, kCount), runner(2, kCount)};
    for (const pid_t pid : last)
        EXPECT_EQ(test::WaitChild(pid), 0);
    EXPECT_EQ(check(), 0u);
    EXPECT_FALSE(test::FileExists(folder + "/Waiting.wlt"));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename(), "done"); // no record is left behind
}

TEST(QueueEdit, SavingKeepsOrdersAppendedMeanwhileAndDropsOrdersTakenMeanwhile)
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("q");
    CWaitQueue edit(folder);  // the summary's copy
    CWaitQueue other(folder); // a run, LinkScout or pelldra-get in another process
    EXPECT_EQ(edit.LoadAll(), 0);
    for (const char* n : {"a", "b", "c", "e", "e"})
        ASSERT_EQ(other.Append(Order(n)), 0);
    ASSERT_EQ(edit.LoadAll(), 5);
    EXPECT_EQ(edit.RemoveAt(-1) + edit.RemoveAt(5) + edit.InsertAt(-1, Order("x")), 3); // bad indexes
    EXPECT_EQ(edit.ItemAt(5).Kind, -1);

    // The user deletes b and one of the two equal e, and moves c to the top.
    ASSERT_EQ(edit.RemoveAt(1), 0);
    ASSERT_EQ(edit.RemoveAt(3), 0);
    const CQueueItem c = edit.ItemAt(1);
    ASSERT_EQ(edit.RemoveAt(1), 0);
    ASSERT_EQ(edit.InsertAt(0, c), 0);
    // Meanwhile: an order arrives, another equal to one the user keeps, and a run elsewhere takes a.
    ASSERT_EQ(other.Append(Order("d")), 0);
    ASSERT_EQ(other.Append(Order("e")), 0);
    CQueueItem taken;
    ASSERT_EQ(other.TakeFirst(taken), TakeResult::Taken);
    ASSERT_EQ(NameOf(taken), "a");

    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(NamesInFile(folder), "cede");
    EXPECT_EQ(Names(edit.Items()), "ce"); // a is running elsewhere: it must not come back
    struct stat st = {};
    ASSERT_EQ(::stat(edit.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Saved again, or after a take-out, the later orders stay behind the user's; an index past the end appends.
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(NamesInFile(folder), "cede");
    ASSERT_EQ(edit.RemoveAt(0), 0);
    ASSERT_EQ(edit.InsertAt(99, Order("f")), 0);
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_EQ(NamesInFile(folder), "efde");

    // Emptied and saved, the file goes; saving again with nothing to delete is no failure.
    other.EndTakenRun();
    ASSERT_EQ(edit.LoadAll(), 4);
    while (edit.Count() > 0)
        ASSERT_EQ(edit.RemoveAt(0), 0);
    ASSERT_EQ(edit.SaveAll(), 0);
    EXPECT_FALSE(test::FileExists(edit.path()));
    EXPECT_EQ(edit.SaveAll(), 0);
}

} // namespace
} // namespace pelldra
