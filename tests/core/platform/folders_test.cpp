// Tests of the per-user folders and the save-folder check.
#include "core/platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>
#include <utility>

#include "support/temp_env.h"

namespace pelldra {
namespace {

namespace fs = std::filesystem;
using test::TempEnv;

bool IsFolder(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(CheckFolder, GivesTheCodeAndMessageOfTheFirstProblem)
{
    TempEnv env;
    const std::string folder = env.makeFolder("save");
    ASSERT_TRUE(test::WriteFile(env.root() + "/plain.txt", "x"));
    // The path, the code, the message ("" when the text must stay unchanged).
    const std::tuple<std::string, int, std::string> cases[] = {
        {"", 1, "保存用のフォルダが指定されていません。"},
        {env.root() + "/missing", 2, "保存用のフォルダ名が不正です。"},
        {env.root() + "/plain.txt/sub", 2, "保存用のフォルダ名が不正です。"},
        {env.root() + "/plain.txt", 3, "保存用フォルダ名はフォルダを指していません。"},
        {folder, 0, ""},
        {folder + "/", 0, ""}};
    for (const auto& [path, code, message] : cases) {
        std::string s = path;
        EXPECT_EQ(CheckFolder(s), code) << path;
        EXPECT_EQ(s, message.empty() ? path : message) << path;
    }
}

TEST(CheckFolder, AFolderThisUserCannotWriteIsReadOnly)
{
    TempEnv env;
    const std::string folder = env.makeFolder("readonly");
    const test::ReadOnlyFolder readOnly(folder);
    if (!readOnly.ready())
        GTEST_SKIP() << "running as root on a file system without the immutable flag: no folder is read-only to root";
    std::string s = folder;
    EXPECT_EQ(CheckFolder(s), 4);
    EXPECT_EQ(s, "保存用のフォルダが読み取り専用です。");
}

TEST(Folders, AreMadeUnderTheXdgFoldersWithoutTrailingSlash)
{
    struct Case
    {
        const char* label;
        const char* data;   // XDG_DATA_HOME below the test's root when it starts with '/'; nullptr: unset
        const char* config; // XDG_CONFIG_HOME likewise
        std::string expectedData, expectedConfig; // below the test's root
    };
    const Case cases[] = {{"set", "/data", "/config", "/data/Pelldra", "/config/Tavin"},
                          {"trailing slashes", "/data//", "/config/", "/data/Pelldra", "/config/Tavin"},
                          {"unset: under HOME", nullptr, nullptr, "/home/.local/share/Pelldra", "/home/.config/Tavin"},
                          {"relative values are ignored", "relative/data", "relative/config",
                           "/home/.local/share/Pelldra", "/home/.config/Tavin"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempEnv env;
        for (const auto& [name, value] : {std::pair{"XDG_DATA_HOME", c.data}, std::pair{"XDG_CONFIG_HOME", c.config}}) {
            if (!value)
                ::unsetenv(name);
            else
                ::setenv(name, (value[0] == '/' ? env.root() + value : std::string(value)).c_str(), 1);
        }
        const std::string data = GetProgramFolder();
        EXPECT_EQ(data, env.root() + c.expectedData);
        EXPECT_TRUE(IsFolder(data)) << "the data folder is made on first use";
        EXPECT_EQ(fs::status(data).permissions(), fs::perms::owner_all) << "and is private";
        fs::permissions(data, fs::perms::all);
        GetProgramFolder();
        EXPECT_EQ(fs::status(data).permissions(), fs::perms::owner_all) << "one left open is made private";
        const std::string config = GetTavinConfigFolder();
        EXPECT_EQ(config, env.root() + c.expectedConfig);
        EXPECT_TRUE(IsFolder(config));
    }
}

TEST(MakeFolders, MakesMissingParentsAndFailsThroughAFile)
{
    TempEnv env;
    ASSERT_TRUE(test::WriteFile(env.root() + "/file", "x"));
    const std::vector<std::pair<std::string, bool>> cases = {
        {env.root() + "/a/b/c", true}, {env.root() + "/a/b/c", true}, // already there
        {env.root() + "/a//d/", true}, {env.root() + "/file", false}, {env.root() + "/file/sub", false}, {"", false}};
    for (const auto& [path, made] : cases) {
        EXPECT_EQ(MakeFolders(path), made) << path;
        if (made) {
            EXPECT_TRUE(IsFolder(path)) << path;
        }
    }
}

} // namespace
} // namespace pelldra
