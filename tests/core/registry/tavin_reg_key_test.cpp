// Tests of CTavinRegKey: values, keys, store failures, and processes and threads sharing the store.
#include "core/registry/tavin_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
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

std::string StoreFile(const TempEnv& env)
{
    return env.configFolder() + "/Tavin/registry.sqlite";
}

// A key that is not open: every operation fails or reads empty.
void ExpectClosed(CTavinRegKey& key)
{
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.GetString("Name"), "");
    EXPECT_EQ(key.SetString("Name", "x"), -1);
    EXPECT_EQ(key.SetStringIfEmpty("Name", "x"), -1);
    EXPECT_EQ(key.Take("Name"), "");
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
        std::string key, name, value;
    };
    const std::vector<Case> cases = {
        {"plain", kKey, "State", "opened"},
        {"empty", kKey, "Empty", ""},
        {"quotes", kKey, "Quoted \"name\"", "say \"hi\" and 'bye'"},
        {"back slashes", "Software\\Tavin\\Location", "URL", "\\\\server\\share\\dl\\"},
        {"line breaks", kKey, "Lines", "one\ntwo\r\nthree\n"},
        {"japanese key, name and text", "Software\\Tavin\\日本語", "保存先", "保存用のフォルダ／連番"},
        {"zero byte inside", kKey, "Zero", std::string("a\0b", 3)},
        {"100 000 bytes", kKey, "Long", patterned}};
    for (const auto& c : cases) {
        EXPECT_EQ(CTavinRegKey(c.key).SetString(c.name, c.value), 0) << c.label;
        EXPECT_EQ(CTavinRegKey(c.key, true).GetString(c.name), c.value) << c.label;
    }
    // Later writes to other names or keys left the earlier ones alone.
    EXPECT_EQ(CTavinRegKey(kKey, true).GetString("State"), "opened");
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
    ASSERT_EQ(values.size(), 2u);   // "State" and "state" are one value
    EXPECT_EQ(values[0].key, kKey); // the spelling it was created with
}

TEST(TavinRegKey, OpenOnlyOnAMissingKeyIsClosedAndSilent)
{
    const std::pair<const char*, std::string> cases[] = {{"no store at all", kKey},
                                                         {"store without the key", kKey},
                                                         {"a longer name is another key", kKey + "X"},
                                                         {"a sub-key of an existing key", kKey + "\\Sub"}};
    for (const auto& [label, path] : cases) {
        SCOPED_TRACE(label);
        TempEnv env;
        const bool storeExists = label != cases[0].first;
        if (storeExists) {
            ASSERT_EQ(CTavinRegKey(path == kKey ? "Software\\Tavin\\Other" : kKey).SetString("Name", "kept"), 0);
        }
        CTavinRegKey key(path, true, [](const std::string&, const std::string&) { ADD_FAILURE() << "reported"; });
        ExpectClosed(key);
        EXPECT_EQ(test::FileExists(StoreFile(env)), storeExists) << "looking must not create the store";
    }
}

TEST(TavinRegKey, CreatingAKeyCreatesItsParents)
{
    TempEnv env;
    ASSERT_TRUE(CTavinRegKey("Software\\Tavin\\AutoAnn").IsOpen());
    for (const char* parent : {"Software", "software\\TAVIN"})
        EXPECT_TRUE(CTavinRegKey(parent, true).IsOpen()) << parent;
}

TEST(TavinRegKey, HandingOverAValue)
{
    TempEnv env;
    CTavinRegKey key(kKey);
    EXPECT_EQ(key.Take("URL"), "");
    EXPECT_EQ(key.SetStringIfEmpty("URL", "new"), 0);   // missing
    EXPECT_EQ(key.SetStringIfEmpty("URL", "newer"), 1); // still waiting
    ASSERT_EQ(key.SetString("Other", "kept"), 0);
    CTavinRegKey reader(kKey, true); // reads but never writes
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.GetString("URL"), "new");
    EXPECT_EQ(reader.SetString("URL", "other"), -1);
    EXPECT_EQ(reader.Take("URL"), "");
    EXPECT_EQ(key.Take("URL"), "new");
    EXPECT_EQ(key.Take("URL") + reader.GetString("URL"), "");
    EXPECT_EQ(key.SetStringIfEmpty("URL", "newest"), 0); // empty
    EXPECT_EQ(reader.GetString("URL"), "newest");
    EXPECT_EQ(reader.GetString("Other"), "kept");
}

TEST(TavinRegKey, AStoreThatCannotBeOpenedIsReportedOnceAndReadsEmpty)
{
    const std::string garbage(4096, 'G');
    // Open-only meets a missing store where the folder cannot exist, and says nothing then.
    const char* const cases[] = {"config folder is a file", "store is not a database", "store is a folder"};
    for (const char* label : cases) {
        for (const bool openOnly : {false, true}) {
            SCOPED_TRACE(std::string(label) + (openOnly ? ", open-only" : ""));
            TempEnv env;
            ASSERT_EQ(::mkdir((env.configFolder() + "/Tavin").c_str(), 0700), 0);
            const bool folderMissing = label == cases[0];
            if (folderMissing) {
                ASSERT_TRUE(test::WriteFile(env.root() + "/not-a-folder", "x"));
                ::setenv("XDG_CONFIG_HOME", (env.root() + "/not-a-folder").c_str(), 1);
            } else if (label == cases[1]) {
                ASSERT_TRUE(test::WriteFile(StoreFile(env), garbage));
            } else {
                ASSERT_EQ(::mkdir(StoreFile(env).c_str(), 0700), 0);
            }
            int reports = 0;
            CTavinRegKey key(kKey, openOnly, [&](const std::string& caption, const std::string& text) {
                ++reports;
                EXPECT_EQ(caption, kCaption);
                EXPECT_NE(text.find("registry.sqlite"), std::string::npos);
            });
            ExpectClosed(key);
            EXPECT_EQ(reports, openOnly && folderMissing ? 0 : 1);
            // Without a reporter the failure is silent and harmless.
            EXPECT_FALSE(CTavinRegKey(kKey, openOnly).IsOpen());
            // A damaged store is never overwritten: the user may still want what it held.
            if (label == cases[1]) {
                EXPECT_EQ(test::ReadFile(StoreFile(env)), garbage);
            }
        }
    }
}

TEST(TavinRegKey, StoreFilesArePrivateWhateverTheUmask)
{
    for (const bool leftReadable : {false, true}) {
        SCOPED_TRACE(leftReadable ? "store left readable by others" : "new store");
        TempEnv env;
        if (leftReadable) {
            ASSERT_EQ(CTavinRegKey(kKey).SetString("a", "b"), 0);
            ASSERT_EQ(::chmod(StoreFile(env).c_str(), 0644), 0);
        }
        const mode_t oldMask = ::umask(0);
        CTavinRegKey key(kKey);
        const int written = key.SetString("Secret", "value");
        ::umask(oldMask);
        ASSERT_EQ(written, 0);
        // While a connection is open the write-ahead log exists (the store runs in WAL mode) and is private too.
        for (const char* suffix : {"", "-wal", "-shm"}) {
            struct stat st
            {
            };
            EXPECT_EQ(::stat((StoreFile(env) + suffix).c_str(), &st), 0) << suffix;
            EXPECT_EQ(st.st_mode & 07777, 0600u) << suffix;
        }
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

    const std::pair<std::string, std::string> cases[] = {{"", "dabc"}, // "Other" sorts first
                                                         {"software\\tavin\\pelldra", "ab"},
                                                         {"Software\\Tavin", "abc"},
                                                         {"Software\\Tavin\\Pelldra\\Sub", "b"},
                                                         {"Software\\Tav", ""},
                                                         {"Nothing", ""}};
    for (const auto& [key, names] : cases) {
        ASSERT_TRUE(CTavinRegKey::ListValues(key, values, error)) << error;
        std::string got;
        for (const auto& v : values)
            got += v.name;
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
    pid_t children[2];
    // Neither process finds a store: both create it at the same moment.
    for (int p = 0; p < 2; ++p) {
        children[p] = test::ForkChild([&, p] {
            CTavinRegKey kept(kKey);
            int failed = 0;
            // The program both keeps keys open and opens one per operation; do both.
            for (int i = 0; i < kPerProcess; ++i) {
                std::optional<CTavinRegKey> fresh;
                CTavinRegKey& key = i % 2 == 0 ? kept : fresh.emplace(kKey);
                failed += key.SetString(name(p, i), name(p, i) + " value") != 0;
            }
            return failed;
        });
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
// for them.
struct HandOver
{
    static constexpr int kOrders = 120;
    static inline const std::string kHelperKey = "Software\\Tavin\\pdrHelper";

    static std::string Order(int i) { return "/tmp/order-" + std::to_string(i) + ".txt"; }

    // Waits until done() or a minute has passed; false on the latter.
    static bool WaitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(200us);
        }
        return true;
    }

    // The writer's side: place each order once the previous one is gone, then say it has finished. 0 on success.
    static int Write()
    {
        CTavinRegKey key(kHelperKey);
        for (int i = 0; i < kOrders; ++i)
            if (!WaitFor([&] { return key.SetStringIfEmpty("TransferInfo", Order(i)) == 0; }))
                return 3;
        if (!WaitFor([&] { return key.GetString("TransferInfo").empty(); }))
            return 4;
        return key.SetString("Finished", "1") == 0 ? 0 : 5;
    }

    // A taker's side: take until the writer has finished and nothing is left; the orders taken, one a line.
    // "Finished" is set only after the last order was taken, so an empty take after it means the end.
    static bool Take(CTavinRegKey& key, std::string& taken)
    {
        return WaitFor([&] {
            for (std::string order; !(order = key.Take("TransferInfo")).empty();)
                taken += order + "\n";
            return key.GetString("Finished") == "1";
        });
    }

    static void ExpectEachOrderOnce(const std::string& taken)
    {
        std::multiset<std::string> got, expected;
        for (int i = 0; i < kOrders; ++i)
            expected.insert(Order(i));
        for (size_t start = 0, end; (end = taken.find('\n', start)) != std::string::npos; start = end + 1)
            got.insert(taken.substr(start, end - start));
        EXPECT_EQ(got, expected);
    }
};

TEST(TavinRegKey, EachOrderIsTakenExactlyOnceByRacingProcesses)
{
    TempEnv env;
    ASSERT_TRUE(CTavinRegKey(HandOver::kHelperKey).IsOpen());
    std::vector<pid_t> takers;
    for (int t = 0; t < 3; ++t) {
        takers.push_back(test::ForkChild([&env, t] {
            CTavinRegKey key(HandOver::kHelperKey);
            std::string taken;
            const bool ok = HandOver::Take(key, taken);
            return test::WriteFile(env.root() + "/taken" + std::to_string(t), taken) && ok ? 0 : 6;
        }));
    }
    EXPECT_EQ(test::WaitChild(test::ForkChild([] { return HandOver::Write(); })), 0);
    std::string taken;
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(test::WaitChild(takers[static_cast<size_t>(t)]), 0);
        taken += test::ReadFile(env.root() + "/taken" + std::to_string(t));
    }
    HandOver::ExpectEachOrderOnce(taken);
}

TEST(TavinRegKey, EachOrderIsTakenExactlyOnceByThreadsSharingOneObject)
{
    TempEnv env;
    CTavinRegKey shared(HandOver::kHelperKey);
    ASSERT_TRUE(shared.IsOpen());
    std::string taken[3];
    bool finished[3] = {};
    int written = -1;
    std::vector<std::thread> threads;
    threads.emplace_back([&] { written = HandOver::Write(); });
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] { finished[t] = HandOver::Take(shared, taken[t]); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(finished[0] && finished[1] && finished[2]);
    HandOver::ExpectEachOrderOnce(taken[0] + taken[1] + taken[2]);
}

} // namespace
} // namespace pelldra
