// Tests of finding a companion program.
#include "core/platform/programs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_env.h"

namespace pelldra {
namespace {

TEST(FindProgram, OwnFolderThenInstalledFolderThenSearchPath)
{
    test::TempEnv env;
    const std::string bin = env.makeFolder("prefix/bin");
    const std::string libexec = env.makeFolder(std::string("prefix/bin/") + kInstalledProgramFolder);
    const std::string onPath = env.makeFolder("path");
    const auto program = [](const std::string& path, mode_t mode) {
        ASSERT_TRUE(test::WriteFile(path, "#!/bin/sh\n"));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    };
    const std::string search = ":" + env.root() + "/nowhere:" + onPath;

    EXPECT_EQ(FindProgram("LogViewer", bin, search), "");
    program(onPath + "/LogViewer", 0755);
    EXPECT_EQ(FindProgram("LogViewer", bin, search), onPath + "/LogViewer");
    program(libexec + "/LogViewer", 0755);
    EXPECT_EQ(FindProgram("LogViewer", bin, search), libexec + "/LogViewer");
    program(bin + "/LogViewer", 0644); // not executable: passed over
    EXPECT_EQ(FindProgram("LogViewer", bin, search), libexec + "/LogViewer");
    ASSERT_EQ(::chmod((bin + "/LogViewer").c_str(), 0755), 0);
    EXPECT_EQ(FindProgram("LogViewer", bin, search), bin + "/LogViewer");
    // A name with a folder in it is never looked up.
    EXPECT_EQ(FindProgram("../bin/LogViewer", libexec, search), "");
}

} // namespace
} // namespace pelldra
