// Tests of the log viewer's core: the daily logs of a folder, and following a log file as it grows or is replaced.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

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

TEST(LogFollower, ReadsOnlyWhatWasAppendedAndHoldsAnUnfinishedCharacter)
{
    test::TempEnv env;
    const std::string path = env.root() + "/260305.log";
    LogFollower follower(path);
    EXPECT_FALSE(follower.Read().changed); // no file yet: nothing to show, and no error
    EXPECT_FALSE(follower.Exists());

    ASSERT_TRUE(test::WriteFile(path, "  Logの開始\r\nhttp://a.example/1.jpg\r\n    downlo"));
    LogUpdate update = follower.Read();
    EXPECT_TRUE(update.changed);
    EXPECT_FALSE(update.restarted);
    EXPECT_EQ(update.lines, (Lines{"  Logの開始", "http://a.example/1.jpg"}));
    EXPECT_EQ(update.tail, "    downlo");
    EXPECT_EQ(follower.Encoding(), LogEncoding::Utf8);
    EXPECT_FALSE(follower.Read().changed);

    Append(path, "ading....\r\n    \xE6\x88");
    update = follower.Read();
    EXPECT_EQ(update.lines, Lines{"    downloading...."});
    EXPECT_EQ(update.tail, ""); // the blanks and half a character wait for the rest
    Append(path, "\x90\xE5\x8A\x9F\r\n");
    update = follower.Read();
    EXPECT_EQ(update.lines, Lines{"    成功"});
    EXPECT_EQ(update.tail, "");
    EXPECT_TRUE(update.changed);
}

TEST(LogFollower, StartsAfreshWhenTheFileIsReplacedCutOrRemoved)
{
    test::TempEnv env;
    const std::string path = env.root() + "/260305.log";
    ASSERT_TRUE(test::WriteFile(path, "one\r\ntwo\r\n"));
    LogFollower follower(path);
    follower.Read();

    const std::string other = env.root() + "/new.tmp";
    ASSERT_TRUE(test::WriteFile(other, "three\r\nfour\r\nfive\r\n"));
    ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
    LogUpdate update = follower.Read();
    EXPECT_TRUE(update.restarted);
    EXPECT_EQ(update.lines, (Lines{"three", "four", "five"}));

    ASSERT_TRUE(test::WriteFile(path, "six\n")); // the same file, shorter
    update = follower.Read();
    EXPECT_TRUE(update.restarted);
    EXPECT_EQ(update.lines, Lines{"six"});

    ASSERT_EQ(std::remove(path.c_str()), 0);
    update = follower.Read();
    EXPECT_TRUE(update.changed && update.restarted);
    EXPECT_TRUE(update.lines.empty());
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
