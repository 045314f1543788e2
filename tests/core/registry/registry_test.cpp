// Tests of the registry store, its keys and the tavin-reg program, with processes and threads sharing the store.

#include "core/credentials/scramble.h"
#include "core/registry/app_registry.h"
#include "core/registry/credential_values.h"
#include "core/registry/tavin_reg_key.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
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

TEST(TavinRegKey, ValuesReadBackExactlyThroughAFreshObjectAndKeysAndNamesIgnoreAsciiCase)
{
    TempEnv env;
    std::string patterned;
    while (patterned.size() < 100000)
        patterned += "連番0123456789\\\"\n";
    // The key, the name, the value: quotes, back slashes, line breaks, Japanese, a zero byte, 100 000 bytes, then two
    // values replaced through other spellings of their key and name.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {kKey, "State", "opened"},
        {kKey, "Quoted \"name\"", "say \"hi\" and 'bye'"},
        {"Software\\Tavin\\Location", "URL", "\\\\server\\share\\dl\\"},
        {kKey, "Lines", "one\ntwo\r\nthree\n"},
        {"Software\\Tavin\\日本語", "保存先", "保存用のフォルダ／連番"},
        {kKey, "Zero", std::string("a\0b", 3)},
        {kKey, "Long", patterned},
        {"SOFTWARE\\tavin\\PELLDRA", "STATE", "closed"},
        {kKey, "quoted \"NAME\"", ""}};
    for (const auto& [key, name, value] : cases) {
        EXPECT_EQ(CTavinRegKey(key).SetString(name, value), 0) << name;
        EXPECT_EQ(CTavinRegKey(key, true).GetString(name), value) << name;
    }
    const CTavinRegKey key("software\\TAVIN\\pelldra", true);
    EXPECT_EQ(key.GetString("State") + "|" + key.GetString("Quoted \"name\"") + "|" + key.GetString("Lines"),
              "closed||one\ntwo\r\nthree\n");
    for (const char* parent : {"Software", "software\\TAVIN"})
        EXPECT_TRUE(CTavinRegKey(parent, true).IsOpen()) << parent;
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
            struct stat st = {};
            EXPECT_EQ(::stat((StoreFile(env) + suffix).c_str(), &st), 0) << suffix;
            EXPECT_EQ(st.st_mode & 07777, 0600u) << suffix;
        }
    }
}

TEST(TavinRegKey, ListValuesGivesAKeyAndTheKeysBelowItInTheSpellingFirstCreated)
{
    TempEnv env;
    std::vector<RegValue> values;
    std::string error;
    ASSERT_TRUE(CTavinRegKey::ListValues("", values, error)) << error;
    EXPECT_TRUE(values.empty());
    EXPECT_FALSE(test::FileExists(StoreFile(env))) << "listing must not create the store";

    ASSERT_EQ(CTavinRegKey(kKey + "\\Sub").SetString("b", "2"), 0);
    ASSERT_EQ(CTavinRegKey(kKey).SetString("a", "1"), 0);
    ASSERT_EQ(CTavinRegKey("SOFTWARE\\tavin\\PELLDRA").SetString("A", "one"), 0); // the same value
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
    EXPECT_EQ(values[0].key + " " + values[0].value, kKey + " one");
    EXPECT_EQ(values[1].key + " " + values[1].value, kKey + "\\Sub 2");
}

// Until done() or a minute has passed (false); polled often, so that racing takers meet.
bool WaitFor(const std::function<bool()>& done)
{
    for (const auto end = std::chrono::steady_clock::now() + 60s; !done(); std::this_thread::sleep_for(200us))
        if (std::chrono::steady_clock::now() > end)
            return false;
    return true;
}

// A writer process hands over orders one at a time through one value, as the companion program does; takers race for
// them: two processes, and two threads sharing one object. No process finds a store: all create it at once.
TEST(TavinRegKey, EachOrderIsTakenExactlyOnceByRacingProcessesAndThreadsAndNoWriteFails)
{
    TempEnv env;
    constexpr int kOrders = 120;
    const std::string helperKey = "Software\\Tavin\\pdrHelper";
    const auto order = [](int i) { return "/tmp/order-" + std::to_string(i) + ".txt"; };
    // "Finished" is set only after the last order was taken, so an empty take after it means the end.
    const auto takeAll = [](CTavinRegKey& key, std::string& taken) {
        return key.IsOpen() && WaitFor([&] {
                   for (std::string next; !(next = key.Take("TransferInfo")).empty();)
                       taken += next + "\n";
                   return key.GetString("Finished") == "1";
               });
    };
    std::vector<pid_t> children; // all forked before any thread starts
    for (int t = 0; t < 2; ++t) {
        children.push_back(test::ForkChild([&, t] {
            CTavinRegKey key(helperKey);
            std::string taken;
            const bool ok = takeAll(key, taken);
            return test::WriteFile(env.root() + "/taken" + std::to_string(t), taken) && ok ? 0 : 6;
        }));
    }
    children.push_back(test::ForkChild([&] {
        // The program both keeps keys open and opens one per operation; do both. A write waits for the others and
        // never fails (-1).
        CTavinRegKey kept(helperKey);
        int failed = 0;
        const auto place = [&](int i) {
            std::optional<CTavinRegKey> fresh;
            const int rc = (i % 2 ? kept : fresh.emplace(helperKey)).SetStringIfEmpty("TransferInfo", order(i));
            failed += rc < 0;
            return rc == 0;
        };
        for (int i = 0; i < kOrders; ++i)
            if (!WaitFor([&] { return place(i); }))
                return 3;
        const bool allTaken = WaitFor([&] { return kept.GetString("TransferInfo").empty(); });
        return allTaken && kept.SetString("Finished", "1") == 0 && failed == 0 ? 0 : 4;
    }));
    CTavinRegKey shared(helperKey);
    std::string taken[2];
    bool finished[2] = {};
    std::thread threads[] = {std::thread([&] { finished[0] = takeAll(shared, taken[0]); }),
                             std::thread([&] { finished[1] = takeAll(shared, taken[1]); })};
    for (auto& thread : threads)
        thread.join();
    EXPECT_TRUE(finished[0] && finished[1]);
    for (const pid_t child : children)
        EXPECT_EQ(test::WaitChild(child), 0);
    std::istringstream all(taken[0] + taken[1] + test::ReadFile(env.root() + "/taken0") +
                           test::ReadFile(env.root() + "/taken1"));
    std::multiset<std::string> got, expected;
    for (std::string line; std::getline(all, line);)
        got.insert(line);
    for (int i = 0; i < kOrders; ++i)
        expected.insert(order(i));
    EXPECT_EQ(got, expected);
}

struct ToolRun
{
    int exit = -1;
    std::string out;
    std::string err;
};

ToolRun RunTool(const TempEnv& env, const std::vector<std::string>& args)
{
    const std::string outFile = env.root() + "/tool.out", errFile = env.root() + "/tool.err";
    const pid_t pid = test::ForkChild([&] {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            return 126;
        std::vector<char*> argv{const_cast<char*>(TAVIN_REG_TOOL)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TAVIN_REG_TOOL, argv.data());
        return 127;
    });
    // A braced list is evaluated in order: the files are read once the tool has ended.
    return {test::WaitChild(pid), test::ReadFile(outFile), test::ReadFile(errFile)};
}

TEST(TavinRegTool, CommandsInTurnShareTheStoreWithTheProgramAndOnlyAWriteCreatesIt)
{
    TempEnv env;
    const std::string value = "C:\\dl\\連番 \"x\"\nsecond line", missing = "Software\\Tavin\\Missing";
    // The arguments, the exit code (2: bad arguments, told with the usage), standard output.
    // clang-format off
    const std::tuple<std::vector<std::string>, int, std::string> steps[] = {
        {{"get", missing, "Name"}, 0, "\n"}, {{"take", missing, "Name"}, 0, "\n"}, {{"list", kKey}, 0, ""},
        {{}, 2, ""}, {{"frob"}, 2, ""}, {{"get"}, 2, ""}, {{"get", kKey}, 2, ""}, {{"get", kKey, "State", "x"}, 2, ""},
        {{"set", kKey, "State"}, 2, ""}, {{"take", kKey}, 2, ""}, {{"list", kKey, "x"}, 2, ""},
        {{"set", kKey, "TransferInfo", value}, 0, ""},
        {{"get", "software\\tavin\\pelldra", "transferINFO"}, 0, value + "\n"},
        {{"take", kKey, "TransferInfo"}, 0, value + "\n"}, {{"take", kKey, "TransferInfo"}, 0, "\n"},
        {{"get", missing, "Name"}, 0, "\n"}, {{"take", missing, "Name"}, 0, "\n"}, {{"list", missing}, 0, ""}};
    // clang-format on
    bool written = false;
    for (const auto& [args, exit, out] : steps) {
        std::string label = "tavin-reg";
        for (const auto& a : args)
            label += " " + a;
        SCOPED_TRACE(label);
        const ToolRun run = RunTool(env, args);
        EXPECT_EQ(run.exit, exit);
        EXPECT_EQ(run.out, out);
        EXPECT_EQ(run.err.find("usage:") != std::string::npos, exit == 2) << run.err;
        EXPECT_TRUE(exit == 2 || run.err.empty()) << run.err;
        written = written || (args.size() == 4 && exit == 0);
        EXPECT_EQ(test::FileExists(StoreFile(env)), written);
    }
    EXPECT_FALSE(CTavinRegKey(missing, true).IsOpen());
    EXPECT_EQ(CTavinRegKey(kKey, true).GetString("TransferInfo"), "");
    ASSERT_EQ(CTavinRegKey(kKey).SetString("State", "hide"), 0);
    EXPECT_EQ(RunTool(env, {"get", kKey, "State"}).out, "hide\n");
    EXPECT_EQ(RunTool(env, {"--help"}).out.rfind("usage:", 0), 0u);
}

TEST(TavinRegTool, ListQuotesEveryFieldSoEachValueIsOneLine)
{
    TempEnv env;
    CTavinRegKey key(kKey);
    ASSERT_EQ(key.SetString("Plain", "opened"), 0);
    ASSERT_EQ(key.SetString("Tricky \"name\"", "a\\b\"c\nd\re\tf\x01g\x7fh 日本"), 0);
    ASSERT_EQ(CTavinRegKey("Software\\Tavin\\Location").SetString("URL", ""), 0);

    const ToolRun run = RunTool(env, {"list", "Software\\Tavin"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, "\"Software\\\\Tavin\\\\Location\" \"URL\" \"\"\n"
                       "\"Software\\\\Tavin\\\\Pelldra\" \"Plain\" \"opened\"\n"
                       "\"Software\\\\Tavin\\\\Pelldra\" \"Tricky \\\"name\\\"\" "
                       "\"a\\\\b\\\"c\\nd\\re\\tf\\x01g\\x7fh 日本\"\n");
}

TEST(TavinRegTool, AnUnopenableStoreIsReportedWithTheCaption)
{
    TempEnv env;
    ASSERT_TRUE(test::WriteFile(StoreFile(env), std::string(2048, 'G')));
    const std::vector<std::string> commands[] = {
        {"get", kKey, "State"}, {"set", kKey, "State", "opened"}, {"take", kKey, "State"}, {"list"}};
    for (const auto& args : commands) {
        const ToolRun run = RunTool(env, args);
        EXPECT_EQ(run.exit, 1) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_EQ(run.err.rfind(kCaption + "\n", 0), 0u) << args[0] << ": " << run.err;
    }
}

TEST(AppRegistry, LinkScoutVersionDropsTheFirstDotOnly)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"1.54", 154}, {"2.0", 20}, {"", 0}, {"1.5.4", 15}, {"abc", 0}, {"1.60beta", 160}, {"99999999999", 2147483647}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseLinkScoutVersion(text), expected) << '"' << text << '"';
}

TEST(AppRegistry, ValuesAreWhereLinkScoutReadsAndWritesThem)
{
    TempEnv env;
    CTavinRegKey linkScout(kLinkScoutKeyPath);
    for (const auto& [name, value] : {std::pair{"Position", "/opt/ls"},
                                      {"State", "opened"},
                                      {"Version", "1.54"},
                                      {"SaveFolder", "/home/u/dl"},
                                      {"Command", "LIST"}})
        ASSERT_EQ(linkScout.SetString(name, value), 0);
    {
        AppRegistry registry;
        registry.RecordStart("/opt/pelldra/bin");
        registry.SetAppState("opened");
        EXPECT_EQ(registry.GetLinkScoutPosition() + " " + registry.GetLinkScoutState() + " " +
                      registry.GetLinkScoutSaveFolder() + " " + registry.GetLinkScoutCommand(),
                  "/opt/ls opened /home/u/dl LIST");
        EXPECT_EQ(registry.GetLinkScoutVersion(), 154);
    }
    // A fresh key object, as LinkScout or tavin-reg would read it.
    const CTavinRegKey key(kAppKeyPath, true);
    EXPECT_EQ(key.GetString("Position") + " " + key.GetString("Version") + " " + key.GetString("State"),
              "/opt/pelldra/bin 1.79 opened");
}

TEST(AppRegistry, AStoreThatCannotBeMadeIsReportedPerKeyAndTheProgramRunsOn)
{
    TempEnv env;
    ASSERT_TRUE(test::WriteFile(env.root() + "/not-a-folder", "x"));
    ::setenv("XDG_CONFIG_HOME", (env.root() + "/not-a-folder").c_str(), 1);
    std::vector<std::string> captions;
    AppRegistry registry([&](const std::string& caption, const std::string&) { captions.push_back(caption); });
    EXPECT_EQ(captions, std::vector<std::string>(3, CTavinRegKey::kErrorCaption));
    registry.RecordStart("/x");
    registry.SetAppState("opened");
    EXPECT_EQ(registry.GetAppState(), "");
    EXPECT_EQ(registry.GetLinkScoutVersion(), 0);
    EXPECT_FALSE(registry.HasLoginUser());
}

TEST(LoginValues, RecordsOnlyWhatChangedWithThePasswordScrambled)
{
    test::TempEnv env;
    EXPECT_FALSE(HasLoginUser());
    EXPECT_FALSE(CTavinRegKey(kNinshoCenterKeyPath, true).IsOpen()) << "asking must not create the key";
    CTavinRegKey key(kNinshoCenterKeyPath);
    EXPECT_EQ(ReadLoginValues(key), LoginValues{});
    key.SetString("UserID", "");
    EXPECT_FALSE(HasLoginUser());

    RecordLogin(key, {}, {"taro", " p w"});
    EXPECT_TRUE(HasLoginUser());
    EXPECT_EQ(key.GetString("UserID"), "taro");
    EXPECT_NE(key.GetString("Password").find('%'), std::string::npos); // scrambled, not in clear
    EXPECT_EQ(ReadLoginValues(key), (LoginValues{"taro", " p w"}));

    // Values that did not change are not written: texts stored meanwhile stay.
    key.SetString("UserID", "someone");
    key.SetString("Password", "x");
    RecordLogin(key, {"taro", "new"}, {"taro", "new"});
    EXPECT_EQ(key.GetString("UserID"), "someone");
    EXPECT_EQ(key.GetString("Password"), "x");
    RecordLogin(key, {"taro", "old"}, {"taro", "new"});
    EXPECT_EQ(key.GetString("UserID"), "someone");
    EXPECT_EQ(UnscramblePassword(key.GetString("Password")), "new");
}

} // namespace
} // namespace pelldra
