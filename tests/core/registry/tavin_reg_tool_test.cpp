// Tests of the tavin-reg program, run as a separate process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/registry/tavin_reg_key.h"
#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::TempEnv;

const std::string kKey = "Software\\Tavin\\Pelldra";

struct ToolRun
{
    int exit = -1;
    std::string out;
    std::string err;
};

ToolRun RunTool(const TempEnv& env, const std::vector<std::string>& args)
{
    const std::string outFile = env.root() + "/tool.out";
    const std::string errFile = env.root() + "/tool.err";
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
    ToolRun run;
    run.exit = test::WaitChild(pid);
    run.out = test::ReadFile(outFile);
    run.err = test::ReadFile(errFile);
    return run;
}

TEST(TavinRegTool, ArgumentsDecideTheExitCode)
{
    const std::pair<std::vector<std::string>, int> cases[] = {{{}, 2},
                                                              {{"frob"}, 2},
                                                              {{"get"}, 2},
                                                              {{"get", kKey}, 2},
                                                              {{"get", kKey, "State", "x"}, 2},
                                                              {{"set", kKey, "State"}, 2},
                                                              {{"take", kKey}, 2},
                                                              {{"list", kKey, "x"}, 2},
                                                              {{"--help"}, 0},
                                                              {{"set", kKey, "State", "opened"}, 0},
                                                              {{"get", kKey, "State"}, 0},
                                                              {{"list"}, 0},
                                                              {{"list", kKey}, 0},
                                                              {{"take", kKey, "State"}, 0}};
    TempEnv env;
    for (const auto& [args, exit] : cases) {
        std::string label = "tavin-reg";
        for (const auto& a : args)
            label += " " + a;
        SCOPED_TRACE(label);
        const ToolRun run = RunTool(env, args);
        EXPECT_EQ(run.exit, exit);
        EXPECT_EQ(run.err.find("usage:") != std::string::npos, exit == 2) << run.err;
        EXPECT_EQ(exit == 2 ? run.out : run.err, "");
    }
}

TEST(TavinRegTool, SetGetAndTakeShareTheStoreWithTheProgram)
{
    TempEnv env;
    const std::string value = "C:\\dl\\連番 \"x\"\nsecond line";
    ASSERT_EQ(RunTool(env, {"set", kKey, "TransferInfo", value}).exit, 0);
    EXPECT_EQ(CTavinRegKey(kKey, true).GetString("TransferInfo"), value);

    EXPECT_EQ(RunTool(env, {"get", "software\\tavin\\pelldra", "transferinfo"}).out, value + "\n");
    EXPECT_EQ(RunTool(env, {"take", kKey, "TransferInfo"}).out, value + "\n");
    EXPECT_EQ(RunTool(env, {"take", kKey, "TransferInfo"}).out, "\n");
    EXPECT_EQ(CTavinRegKey(kKey, true).GetString("TransferInfo"), "");

    ASSERT_EQ(CTavinRegKey(kKey).SetString("State", "hide"), 0);
    EXPECT_EQ(RunTool(env, {"get", kKey, "State"}).out, "hide\n");
}

TEST(TavinRegTool, ReadingNeverCreatesAKeyOrTheStore)
{
    TempEnv env;
    const std::string store = env.configFolder() + "/Tavin/registry.sqlite";
    const std::string missing = "Software\\Tavin\\Missing";
    for (const bool storeExists : {false, true}) {
        if (storeExists) {
            ASSERT_EQ(RunTool(env, {"set", kKey, "State", "opened"}).exit, 0);
        }
        for (const char* command : {"get", "take"}) {
            const ToolRun run = RunTool(env, {command, missing, "Name"});
            EXPECT_EQ(run.exit, 0) << command;
            EXPECT_EQ(run.out, "\n") << command;
            EXPECT_EQ(test::FileExists(store), storeExists) << command;
            EXPECT_FALSE(CTavinRegKey(missing, true).IsOpen()) << command;
        }
    }
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
    EXPECT_EQ(RunTool(env, {"list", "Software\\Tavin\\Nothing"}).out, "");
}

TEST(TavinRegTool, AnUnopenableStoreIsReportedWithTheCaption)
{
    TempEnv env;
    ASSERT_TRUE(test::WriteFile(env.configFolder() + "/Tavin/registry.sqlite", std::string(2048, 'G')));
    const std::vector<std::string> commands[] = {
        {"get", kKey, "State"}, {"set", kKey, "State", "opened"}, {"take", kKey, "State"}, {"list"}};
    for (const auto& args : commands) {
        const ToolRun run = RunTool(env, args);
        EXPECT_EQ(run.exit, 1) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_EQ(run.err.rfind("予期せぬエラーです。\nアプリケーションでは対処できません。\n", 0), 0u)
            << args[0] << ": " << run.err;
    }
}

} // namespace
} // namespace pelldra
