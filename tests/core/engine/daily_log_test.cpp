// The daily log file: its name, its opening line, CR LF, the day it keeps, privacy, blocks from several threads.
#include "core/engine/daily_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::FileExists;
using test::ReadFile;
using test::TempEnv;

std::time_t LocalTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

const std::string kStart = "  Logの開始\r\n";

TEST(DailyLog, FileNameIsTwoDigitYearMonthDayOfLocalDate)
{
    struct Case
    {
        int y, m, d, hour;
        const char* name;
    };
    const Case cases[] = {
        {2007, 1, 1, 0, "070101.log"},   {2007, 1, 1, 23, "070101.log"},  {1999, 12, 31, 12, "991231.log"},
        {2000, 2, 29, 12, "000229.log"}, {2026, 10, 5, 12, "261005.log"}, {2110, 7, 9, 12, "100709.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CDailyLog::FileNameFor(LocalTime(c.y, c.m, c.d, c.hour)), c.name);
    }
}

TEST(DailyLog, OpenAppendsTheStartLineToTheDataFolderAndEveryLineEndsInCrLf)
{
    TempEnv env;
    const std::string path = env.dataFolder() + "/070101.log";
    ASSERT_TRUE(test::WriteFile(path, "earlier\r\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0); // as an older version left it
    CDailyLog log({}, [] { return LocalTime(2007, 1, 1); });
    ASSERT_TRUE(log.Open());
    EXPECT_EQ(log.Path(), path);
    struct stat st{};
    EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600) << "the log is made private";
    log.Append("http://example.com/a001.jpg");
    log.Append("    成功");
    log.Append("");
    ASSERT_TRUE(log.Open()); // a second run the same day
    log.Append("two");
    log.Close();
    log.Append("after close");
    EXPECT_EQ(ReadFile(path),
              "earlier\r\n" + kStart + "http://example.com/a001.jpg\r\n    成功\r\n\r\n" + kStart + "two\r\n");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.Path(), "");
}

TEST(DailyLog, ARunPastMidnightKeepsTheFileOfItsFirstDayAndAFailedOpeningLeavesNoLog)
{
    TempEnv env;
    const std::string folder = env.makeFolder("logs");
    std::time_t now = LocalTime(2007, 1, 1, 23, 59, 59);
    CDailyLog log(folder, [&] { return now; });
    ASSERT_TRUE(log.Open());
    now = LocalTime(2007, 1, 2, 0, 0, 1);
    log.Append("after midnight");
    EXPECT_EQ(ReadFile(folder + "/070101.log"), kStart + "after midnight\r\n");
    EXPECT_FALSE(FileExists(folder + "/070102.log"));

    ASSERT_TRUE(log.Open()); // the next run starts the new day's file
    EXPECT_EQ(log.Path(), folder + "/070102.log");
    EXPECT_EQ(ReadFile(folder + "/070102.log"), kStart);

    // An open log whose next opening fails must not keep writing to the old file.
    ASSERT_EQ(::mkdir((folder + "/070103.log").c_str(), 0755), 0);
    now = LocalTime(2007, 1, 3);
    EXPECT_FALSE(log.Open());
    EXPECT_FALSE(log.IsOpen());
    log.Append("lost");
    EXPECT_EQ(ReadFile(folder + "/070102.log"), kStart);

    // Nor is a log ever written through a symbolic link planted under its name.
    ASSERT_TRUE(test::WriteFile(env.root() + "/elsewhere", "x"));
    ASSERT_EQ(::symlink((env.root() + "/elsewhere").c_str(), (folder + "/070104.log").c_str()), 0);
    now = LocalTime(2007, 1, 4);
    EXPECT_FALSE(log.Open());
    EXPECT_EQ(ReadFile(env.root() + "/elsewhere"), "x");

    CDailyLog nowhere(env.root() + "/no/such/folder", [] { return LocalTime(2007, 1, 1); });
    EXPECT_FALSE(nowhere.Open());
    nowhere.Append("goes nowhere");
    EXPECT_FALSE(FileExists(env.root() + "/no/such/folder/070101.log"));
}

TEST(DailyLog, LinesAndBlocksFromSeveralThreadsStayWhole)
{
    TempEnv env;
    const std::string folder = env.makeFolder("logs");
    CDailyLog log(folder, [] { return LocalTime(2007, 1, 1); });
    ASSERT_TRUE(log.Open());
    // Even threads append blocks of kBlock lines at once, odd ones single lines.
    constexpr int kThreads = 4, kLines = 201, kBlock = 3;
    const auto lineOf = [](int t, int i) { return "    thread " + std::to_string(t) + " line " + std::to_string(i); };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, &lineOf, t] {
            for (int i = 0; i < kLines; i += t % 2 == 0 ? kBlock : 1) {
                if (t % 2 != 0)
                    log.Append(lineOf(t, i));
                else
                    log.AppendLines({lineOf(t, i), lineOf(t, i + 1), lineOf(t, i + 2)});
            }
        });
    std::thread reader([&log] {
        for (int i = 0; i < 100; ++i)
            (void)log.Path();
    });
    for (auto& th : threads)
        th.join();
    reader.join();
    log.Close();

    const std::string text = ReadFile(folder + "/070101.log");
    ASSERT_EQ(text.rfind(kStart, 0), 0u);
    std::vector<int> next(kThreads, 0);
    std::istringstream in(text.substr(kStart.size()));
    std::string line;
    int count = 0;
    int previous = -1;
    while (std::getline(in, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << line;
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "    thread %d line %d\r", &t, &i), 2) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[t]++) << "lines of one thread out of order";
        if (t % 2 == 0 && i % kBlock != 0) {
            EXPECT_EQ(previous, t) << "a block was split: " << line;
        }
        previous = t;
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

} // namespace
} // namespace pelldra
