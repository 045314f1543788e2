// Tests of CTavinRegKey: values, keys, store failures, and processes and threads sharing the store.
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::TempEnv;
using namespace std::chrono_literals;

const std::string kKey = "Software\\Tavin\\Pelldra";
const std::string kCaption = "予期せぬエラーです。\nアプリケーションでは対処できません。";

struct Reports
{
    std::vector<std::pair<std::string, std::string>> seen;
    CTavinRegKey::ErrorReporter callback()
    {
        return [this](const std::string& caption, const std::string& text) { seen.emplace_back(caption, text); };
    }
};

std::string StoreFile(const TempEnv& env)
{
    return env.configFolder() + "/Tavin/registry.sqlite";
}

mode_t ModeOf(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(TavinRegKey, ValuesReadBackExactlyThroughAFreshObject)
{
    TempEnv env;
    std::string patterned;
    while (patterned.size() < 100000)
        patterned += "連番0123456789\\\"\n";
    struct Case
    {
        const char* label;
        std::string key;
        std::string name;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"plain", kKey, "State", "opened"},
        {"empty", kKey, "Empty", ""},
        {"quotes", kKey, "Quoted \"name\"", "say \"hi\" and 'bye'"},
        {"back slashes", "Software\\Tavin\\Location", "URL", "\\\\server\\share\\dl\\"},
        {"line breaks", kKey, "Lines", "one\ntwo\r\nthree\n"},
        {"japanese key, name and text", "Software\\Tavin\\日本語", "保存先", "保存用のフォルダ／連番"},
        {"zero byte inside", kKey, "Zero", std::string("a\0b", 3)},
        {"100 000 bytes", kKey, "Long", patterned},
    };
    for (const auto& c : cases) {
        {
            CTavinRegKey writer(c.key);
            ASSERT_TRUE(writer.IsOpen()) << c.label;
            EXPECT_EQ(writer.SetString(c.name, c.value), 0) << c.label;
        }
        const CTavinRegKey reader(c.key, true);
        EXPECT_EQ(reader.GetString(c.name), c.value) << c.label;
    }
    // Later writes to other names or keys left the earlier ones alone.
    const CTavinRegKey reader(kKey, true);
    EXPECT_EQ(reader.GetString("State"), "opened");
    EXPECT_EQ(reader.GetString("Lines"), "one\ntwo\r\nthree\n");
}

TEST(TavinRegKey, WritesReplaceAndNamesIgnoreAsciiCase)
{
    TempEnv env;
    CTavinRegKey key(kKey);
    EXPECT_EQ(key.GetString("State"), "");
    EXPECT_EQ(key.SetString("State", "opened"), 0);
    EXPECT_EQ(key.SetString("state", "closed"), 0);
    EXPECT_EQ(key.GetString("STATE"), "closed");
    EXPECT_EQ(key.SetString("State", ""), 0);
    EXPECT_EQ(key.GetString("State"), "");

    const CTavinRegKey sameKey("SOFTWARE\\tavin\\pelldra", true);
    ASSERT_TRUE(sameKey.IsOpen());
    EXPECT_EQ(key.SetString("Position", "/opt/pelldra"), 0);
    EXPECT_EQ(sameKey.GetString("position"), "/opt/pelldra");

    std::vector<RegValue> values;
    std::string error;
    ASSERT_TRUE(CTavinRegKey::ListValues("", values, error)) << error;
    ASSERT_EQ(values.size(), 2u); // "State" and "state" are one value
    EXPECT_EQ(values[0].key, kKey); // the spelling it was created with
}

TEST(TavinRegKey, OpenOnlyOnAMissingKeyIsClosedAndSilent)
{
    struct Case
    {
        const char* label;
        bool storeExists;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"no store at all", false, kKey},
        {"store without the key", true, kKey},
        {"a longer name is another key", true, kKey + "X"},
        {"a sub-key of an existing key", true, kKey + "\\Sub"},
    };
    for (const auto& c : cases) {
        TempEnv env;
        if (c.storeExists) {
            CTavinRegKey other(c.path == kKey ? "Software\\Tavin\\Other" : kKey);
            ASSERT_EQ(other.SetString("Name", "kept"), 0);
        }
        Reports reports;
        CTavinRegKey key(c.path, true, reports.callback());
        EXPECT_FALSE(key.IsOpen()) << c.label;
        EXPECT_EQ(key.SetString("Name", "x"), -1) << c.label;
        EXPECT_EQ(key.SetStringIfEmpty("Name", "x"), -1) << c.label;
        EXPECT_EQ(key.GetString("Name"), "") << c.label;
        EXPECT_EQ(key.Take("Name"), "") << c.label;
        EXPECT_TRUE(reports.seen.empty()) << c.label;
        EXPECT_EQ(test::FileExists(StoreFile(env)), c.storeExists) << c.label << ": looking must not create the store";
    }
}

TEST(TavinRegKey, OpenOnlyKeyReadsButNeverWrites)
{
    TempEnv env;
    ASSERT_EQ(CTavinRegKey(kKey).SetString("TransferInfo", "/tmp/order"), 0);
    CTavinRegKey key(kKey, true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.IsOpenOnly());
    EXPECT_EQ(key.GetString("TransferInfo"), "/tmp/order");
    EXPECT_EQ(key.SetString("TransferInfo", "other"), -1);
    EXPECT_EQ(key.Take("TransferInfo"), "");
    EXPECT_EQ(key.GetString("TransferInfo"), "/tmp/order");
}

TEST(TavinRegKey, CreatingAKeyCreatesItsParents)
{
    TempEnv env;
    ASSERT_TRUE(CTavinRegKey("Software\\Tavin\\AutoAnn").IsOpen());
    const std::vector<std::pair<std::string, bool>> cases = {
        {"Software", true},
        {"Software\\Tavin", true},
        {"software\\TAVIN\\autoann", true},
        {"Software\\Tav", false},
        {"Software\\Tavin\\AutoAnn\\Deeper", false},
    };
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(CTavinRegKey(path, true).IsOpen(), exists) << path;
}

TEST(TavinRegKey, SetStringIfEmptyLeavesAWaitingValue)
{
    struct Case
    {
        const char* label;
        std::optional<std::string> before;
        int result;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"missing", std::nullopt, 0, "new"},
        {"empty", "", 0, "new"},
        {"waiting", "old", 1, "old"},
    };
    for (const auto& c : cases) {
        TempEnv env;
        CTavinRegKey key("Software\\Tavin\\Location");
        if (c.before) {
            ASSERT_EQ(key.SetString("URL", *c.before), 0);
        }
        EXPECT_EQ(key.SetStringIfEmpty("URL", "new"), c.result) << c.label;
        EXPECT_EQ(key.GetString("URL"), c.after) << c.label;
    }
}

TEST(TavinRegKey, TakeEmptiesTheValue)
{
    TempEnv env;
    CTavinRegKey key("Software\\Tavin\\Transfer");
    EXPECT_EQ(key.Take("file"), "");
    ASSERT_EQ(key.SetString("file", "/tmp/list.lst"), 0);
    ASSERT_EQ(key.SetString("name", "http://example.com/page"), 0);
    EXPECT_EQ(key.Take("file"), "/tmp/list.lst");
    EXPECT_EQ(key.Take("file"), "");
    EXPECT_EQ(key.GetString("file"), "");
    EXPECT_EQ(key.GetString("name"), "http://example.com/page");
}

TEST(TavinRegKey, AStoreThatCannotBeOpenedIsReportedOnceAndReadsEmpty)
{
    const std::string garbage(4096, 'G');
    struct Case
    {
        const char* label;
        std::function<void(const TempEnv&)> spoil;
        bool reportedWhenOpenOnly; // open-only meets a missing store where the folder cannot exist
    };
    const std::vector<Case> cases = {
        {"config folder is a file",
         [](const TempEnv& env) {
             ASSERT_TRUE(test::WriteFile(env.root() + "/not-a-folder", "x"));
             ::setenv("XDG_CONFIG_HOME", (env.root() + "/not-a-folder").c_str(), 1);
         },
         false},
        {"store is not a database",
         [&](const TempEnv& env) { ASSERT_TRUE(test::WriteFile(StoreFile(env), garbage)); }, true},
        {"store is a folder", [](const TempEnv& env) { ASSERT_EQ(::mkdir(StoreFile(env).c_str(), 0700), 0); }, true},
    };
    for (const auto& c : cases) {
        for (const bool openOnly : {false, true}) {
            TempEnv env;
            ASSERT_TRUE(test::FileExists(env.configFolder()));
            ASSERT_EQ(::mkdir((env.configFolder() + "/Tavin").c_str(), 0700), 0);
            c.spoil(env);
            const std::string label = std::string(c.label) + (openOnly ? ", open-only" : "");
            Reports reports;
            CTavinRegKey key(kKey, openOnly, reports.callback());
            EXPECT_FALSE(key.IsOpen()) << label;
            EXPECT_EQ(key.GetString("State"), "") << label;
            EXPECT_EQ(key.SetString("State", "opened"), -1) << label;
            EXPECT_EQ(key.SetStringIfEmpty("State", "opened"), -1) << label;
            EXPECT_EQ(key.Take("State"), "") << label;
            const size_t expected = (!openOnly || c.reportedWhenOpenOnly) ? 1 : 0;
            ASSERT_EQ(reports.seen.size(), expected) << label;
            if (expected == 1) {
                EXPECT_EQ(reports.seen[0].first, kCaption) << label;
                EXPECT_NE(reports.seen[0].second.find("registry.sqlite"), std::string::npos) << label;
            }
            // Without a reporter the failure is silent and harmless.
            EXPECT_FALSE(CTavinRegKey(kKey, openOnly).IsOpen()) << label;
        }
    }
    // A damaged store is never overwritten: the user may still want what it held.
    TempEnv env;
    ASSERT_TRUE(test::WriteFile(StoreFile(env), garbage));
    CTavinRegKey key(kKey);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(test::ReadFile(StoreFile(env)), garbage);
}

TEST(TavinRegKey, StoreFilesArePrivateWhateverTheUmask)
{
    struct Case
    {
        const char* label;
        mode_t before; // 0: no store yet
    };
    const std::vector<Case> cases = {{"new store", 0}, {"store left readable by others", 0644}};
    for (const auto& c : cases) {
        TempEnv env;
        if (c.before != 0) {
            ASSERT_EQ(CTavinRegKey(kKey).SetString("a", "b"), 0);
            ASSERT_EQ(::chmod(StoreFile(env).c_str(), c.before), 0);
        }
        const mode_t oldMask = ::umask(0);
        CTavinRegKey key(kKey);
        const int written = key.SetString("Secret", "value");
        ::umask(oldMask);
        ASSERT_EQ(written, 0) << c.label;
        EXPECT_EQ(ModeOf(StoreFile(env)), 0600u) << c.label;
        // While a connection is open the write-ahead log exists (the store runs in WAL mode) and is private too.
        EXPECT_EQ(ModeOf(StoreFile(env) + "-wal"), 0600u) << c.label;
        EXPECT_EQ(ModeOf(StoreFile(env) + "-shm"), 0600u) << c.label;
    }
}

TEST(TavinRegKey, ListValuesGivesAKeyAndTheKeysBelowIt)
{
    TempEnv env;
    std::vector<RegValue> values;
    std::string error;
    ASSERT_TRUE(CTavinRegKey::ListValues("", values, error)) << error;
    EXPECT_TRUE(values.empty());
    EXPECT_FALSE(test::FileExists(StoreFile(env))) << "listing must not create the store";

    ASSERT_EQ(CTavinRegKey(kKey + "\\Sub").SetString("b", "2"), 0);
    ASSERT_EQ(CTavinRegKey(kKey).SetString("a", "1"), 0);
    ASSERT_EQ(CTavinRegKey(kKey + "X").SetString("c", "3"), 0);
    ASSERT_EQ(CTavinRegKey("Other").SetString("d", "4"), 0);

    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {"d", "a", "b", "c"}}, // "Other" sorts first
        {"software\\tavin\\pelldra", {"a", "b"}},
        {"Software\\Tavin", {"a", "b", "c"}},
        {"Software\\Tavin\\Pelldra\\Sub", {"b"}},
        {"Software\\Tav", {}},
        {"Nothing", {}},
    };
    for (const auto& [key, names] : cases) {
        ASSERT_TRUE(CTavinRegKey::ListValues(key, values, error)) << error;
        std::vector<std::string> got;
        for (const auto& v : values)
            got.push_back(v.name);
        EXPECT_EQ(got, names) << "list of '" << key << "'";
    }
    ASSERT_TRUE(CTavinRegKey::ListValues(kKey, values, error));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[1].key, kKey + "\\Sub");
    EXPECT_EQ(values[1].value, "2");
}

TEST(TavinRegKey, TwoProcessesWritingAtOnceLoseNothing)
{
    TempEnv env;
    constexpr int kPerProcess = 150;
    auto name = [](int process, int i) { return "p" + std::to_string(process) + "-" + std::to_string(i); };
    std::vector<pid_t> children;
    // Neither process finds a store: both create it at the same moment.
    for (int p = 0; p < 2; ++p) {
        children.push_back(test::ForkChild([&, p] {
            CTavinRegKey kept(kKey);
            for (int i = 0; i < kPerProcess; ++i) {
                // The program both keeps keys open and opens one per operation; do both.
                if (i % 2 == 0) {
                    if (kept.SetString(name(p, i), name(p, i) + " value") != 0)
                        return 1;
                } else if (CTavinRegKey(kKey).SetString(name(p, i), name(p, i) + " value") != 0) {
                    return 2;
                }
            }
            return 0;
        }));
    }
    for (const pid_t child : children)
        EXPECT_EQ(test::WaitChild(child), 0);
    const CTavinRegKey reader(kKey, true);
    int lost = 0;
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < kPerProcess; ++i)
            lost += reader.GetString(name(p, i)) != name(p, i) + " value";
    EXPECT_EQ(lost, 0);
}

// A writer hands over orders one at a time through one value, as the companion program does; several takers race
// for them. Each taker calls take(), which returns "" when there is nothing. Returns how often each order was seen.
struct HandOver
{
    static constexpr int kOrders = 120;
    static constexpr auto kLimit = 60s;
    static inline const std::string kHelperKey = "Software\\Tavin\\pdrHelper";

    static std::string Order(int i) { return "/tmp/order-" + std::to_string(i) + ".txt"; }

    // The writer's side: place each order once the previous one is gone, then say it has finished. 0 on success.
    static int Write()
    {
        CTavinRegKey key(kHelperKey);
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        for (int i = 0; i < kOrders; ++i) {
            while (key.SetStringIfEmpty("TransferInfo", Order(i)) != 0) {
                if (std::chrono::steady_clock::now() > deadline)
                    return 3;
                std::this_thread::sleep_for(200us);
            }
        }
        while (!key.GetString("TransferInfo").empty()) {
            if (std::chrono::steady_clock::now() > deadline)
                return 4;
            std::this_thread::sleep_for(200us);
        }
        return key.SetString("Finished", "1") == 0 ? 0 : 5;
    }

    // A taker's side: take until the writer has finished and nothing is left. 0 on success.
    static int Take(CTavinRegKey& key, const std::function<void(const std::string&)>& record)
    {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        for (;;) {
            const std::string order = key.Take("TransferInfo");
            if (!order.empty()) {
                record(order);
                continue;
            }
            // "Finished" is set only after the last order was taken, so an empty take after it means the end.
            if (key.GetString("Finished") == "1")
                return 0;
            if (std::chrono::steady_clock::now() > deadline)
                return 6;
            std::this_thread::sleep_for(200us);
        }
    }

    static void ExpectEachOrderOnce(const std::map<std::string, int>& seen)
    {
        int total = 0;
        for (int i = 0; i < kOrders; ++i) {
            const auto it = seen.find(Order(i));
            EXPECT_TRUE(it != seen.end() && it->second == 1)
                << Order(i) << " taken " << (it == seen.end() ? 0 : it->second) << " times";
        }
        for (const auto& [order, count] : seen)
            total += count;
        EXPECT_EQ(total, kOrders);
    }
};

TEST(TavinRegKey, EachOrderIsTakenExactlyOnceByRacingProcesses)
{
    TempEnv env;
    ASSERT_TRUE(CTavinRegKey(HandOver::kHelperKey).IsOpen());
    constexpr int kTakers = 3;
    std::vector<pid_t> takers;
    std::vector<int> readEnds;
    for (int t = 0; t < kTakers; ++t) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        takers.push_back(test::ForkChild([fds] {
            ::close(fds[0]);
            CTavinRegKey key(HandOver::kHelperKey);
            bool ok = true;
            const int rc = HandOver::Take(key, [&](const std::string& order) {
                const std::string line = order + "\n";
                ok = ok && ::write(fds[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
            });
            return ok ? rc : 7;
        }));
        ::close(fds[1]);
        readEnds.push_back(fds[0]);
    }
    const pid_t writer = test::ForkChild([] { return HandOver::Write(); });

    std::map<std::string, int> seen;
    for (const int fd : readEnds) {
        std::string all;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            all.append(buf, static_cast<size_t>(n));
        ::close(fd);
        for (size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
            ++seen[all.substr(start, end - start)];
    }
    EXPECT_EQ(test::WaitChild(writer), 0);
    for (const pid_t taker : takers)
        EXPECT_EQ(test::WaitChild(taker), 0);
    HandOver::ExpectEachOrderOnce(seen);
}

TEST(TavinRegKey, EachOrderIsTakenExactlyOnceByThreadsSharingOneObject)
{
    TempEnv env;
    CTavinRegKey shared(HandOver::kHelperKey);
    ASSERT_TRUE(shared.IsOpen());
    std::mutex seenMutex;
    std::map<std::string, int> seen;
    std::vector<int> results(4, -1);
    std::vector<std::thread> threads;
    threads.emplace_back([&] { results[0] = HandOver::Write(); });
    for (int t = 1; t < 4; ++t) {
        threads.emplace_back([&, t] {
            results[static_cast<size_t>(t)] = HandOver::Take(shared, [&](const std::string& order) {
                std::lock_guard lock(seenMutex);
                ++seen[order];
            });
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(results, std::vector<int>(4, 0));
    HandOver::ExpectEachOrderOnce(seen);
}

} // namespace
} // namespace pelldra
