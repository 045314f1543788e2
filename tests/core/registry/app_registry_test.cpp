// Tests of the program's registry keys: start values, state, LinkScout's values and version, the login user.
#include "core/registry/app_registry.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::TempEnv;

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
    ASSERT_EQ(captions.size(), 3u);
    for (const std::string& caption : captions)
        EXPECT_EQ(caption, CTavinRegKey::kErrorCaption);
    registry.RecordStart("/x");
    registry.SetAppState("opened");
    EXPECT_EQ(registry.GetAppState(), "");
    EXPECT_EQ(registry.GetLinkScoutVersion(), 0);
    EXPECT_FALSE(registry.HasLoginUser());
}

} // namespace
} // namespace pelldra
