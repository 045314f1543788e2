// Tests of the log viewer's core: the daily logs of a folder, and following a log file as it grows or is replaced.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>

#include "core/engine/day_logs.h"
#include "core/engine/log_follower.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using Lines = std::vector<std::string>;

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

TEST(DayLogs, NewestDayFirstAcrossTheCenturyWithTheWantedNameAtItsPlace)
{
    test::TempEnv env;
    const std::string folder = env.makeFolder("logs");
    for (const char* name : {"260305.log", "991231.log", "070101.log", "260304.log", "notes.log", "2603051.log"})
        ASSERT_TRUE(test::WriteFile(folder + "/" + name, "x\r\n"));
    env.makeFolder("logs/260306.log"); // a folder, not a log
    EXPECT_EQ(ListDayLogs(folder, "260307.log"),
              (Lines{"260307.log", "260305.log", "260304.log", "070101.log", "991231.log"}));
    // A file the reader named that is no daily log comes first.
    EXPECT_EQ(ListDayLogs(folder, "notes.log").front(), "notes.log");
    EXPECT_EQ(ListDayLogs(env.root() + "/missing"), Lines{});
    EXPECT_EQ(DayLogDate("991231.log"), "1999/12/31");
    EXPECT_EQ(DayLogDate("680101.log"), "2068/01/01");
    EXPECT_EQ(DayLogDate("26030a.log"), "");
}

TEST(LogFollower, ReadsWhatWasAppendedAndStartsAfreshWhenTheFileIsReplacedCutOrRemoved)
{
    test::TempEnv env;
    const std::string path = env.root() + "/260305.log", other = env.root() + "/new.tmp";
    LogFollower follower(path);
    struct Step
    {
        std::function<void()> change;
        bool changed, restarted;
        Lines lines;
        std::string tail;
    };
    const Step steps[] = {
        {[] {}, false, false, {}, ""}, // no file yet: nothing to show, and no error
        {[&] { test::WriteFile(path, "  Logの開始\r\nhttp://a.example/1.jpg\r\n    downlo"); },
         true,
         false,
         {"  Logの開始", "http://a.example/1.jpg"},
         "    downlo"},
        {[] {}, false, false, {}, ""},
        // The blanks and half a character wait for the rest.
        {[&] { Append(path, "ading....\r\n    \xE6\x88"); }, true, false, {"    downloading...."}, ""},
        {[&] { Append(path, "\x90\xE5\x8A\x9F\r\n"); }, true, false, {"    成功"}, ""},
        {[&] { test::WriteFile(other, "three\r\nfour\r\n"), std::rename(other.c_str(), path.c_str()); },
         true,
         true,
         {"three", "four"},
         ""},
        {[&] { test::WriteFile(path, "six\n"); }, true, true, {"six"}, ""}, // the same file, shorter
        {[&] { std::remove(path.c_str()); }, true, true, {}, ""},
    };
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        step.change();
        const LogUpdate update = follower.Read();
        EXPECT_EQ(update.changed, step.changed);
        EXPECT_EQ(update.restarted, step.restarted);
        EXPECT_EQ(update.lines, step.lines);
        if (step.changed) {
            EXPECT_EQ(update.tail, step.tail);
        }
    }
    EXPECT_FALSE(follower.Exists());
}

TEST(LogFollower, DecidesTheEncodingForTheWholeFile)
{
    test::TempEnv env;
    const std::string cp932Success = "    \x90\xAC\x8C\xF7"; // "    成功"
    struct Case
    {
        std::string bytes;
        LogEncoding encoding;
        Lines lines;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF  Logの開始\r\n", LogEncoding::Utf8, {"  Logの開始"}},
        {"http://a.example/1.jpg\r\n" + cp932Success + "\r\n",
         LogEncoding::Cp932,
         {"http://a.example/1.jpg", "    成功"}},
        {"ok\r\n\xFF\xFF\r\n", LogEncoding::Unknown, {"ok", "\xFF\xFF"}},
    };
    for (const Case& c : cases) {
        const std::string path = env.root() + "/case.log";
        ASSERT_TRUE(test::WriteFile(path, c.bytes));
        LogFollower follower(path);
        EXPECT_EQ(follower.Read().lines, c.lines) << c.bytes;
        EXPECT_EQ(follower.Encoding(), c.encoding) << c.bytes;
    }

    // What looked like UTF-8 while it was ASCII is read again whole once a CP932 line shows it is not.
    const std::string path = env.root() + "/991231.log";
    ASSERT_TRUE(test::WriteFile(path, "  Target: http://a.example/*.jpg\r\n"));
    LogFollower follower(path);
    follower.Read();
    Append(path, cp932Success + "\r\n");
    const LogUpdate update = follower.Read();
    EXPECT_TRUE(update.restarted);
    EXPECT_EQ(update.lines, (Lines{"  Target: http://a.example/*.jpg", "    成功"}));
    EXPECT_EQ(follower.Encoding(), LogEncoding::Cp932);
}

} // namespace
} // namespace pelldra
