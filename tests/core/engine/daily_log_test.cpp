// The daily log file: its name, its opening line, CR LF, the day it keeps, privacy, held lines, several threads.
#include "core/engine/daily_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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
    std::tm t{second, minute, hour, day, month - 1, year - 1900, 0, 0, -1, 0, nullptr};
    return std::mktime(&t);
}

const std::string kStart = "  Logの開始\r\n";

TEST(DailyLog, OpenAppendsTheStartLineToAPrivateFileAndHeldLinesWaitForFlushOrClose)
{
    TempEnv env;
    const std::string path = env.dataFolder() + "/070101.log";
    ASSERT_TRUE(test::WriteFile(path, "earlier\r\n"));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0); // as an older version left it
    CDailyLog log({}, [] { return LocalTime(2007, 1, 1); });
    ASSERT_TRUE(log.Open());
    EXPECT_EQ(log.Path(), path);
    struct stat st = {};
    EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600) << "the log is made private";
    log.AppendLines({"http://example.com/a001.jpg", "    成功", ""});
    log.HoldLines(true);
    log.Append("held");
    EXPECT_EQ(ReadFile(path), "earlier\r\n" + kStart + "http://example.com/a001.jpg\r\n    成功\r\n\r\n");
    log.Flush();
    log.Append("held until the next opening");
    ASSERT_TRUE(log.Open()); // a second run the same day
    log.Append("held until closed");
    log.Close();
    log.Append("after close");
    EXPECT_EQ(ReadFile(path), "earlier\r\n" + kStart + "http://example.com/a001.jpg\r\n    成功\r\n\r\nheld\r\n" +
                                  "held until the next opening\r\n" + kStart + "held until closed\r\n");
    EXPECT_FALSE(log.IsOpen());
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
    ASSERT_TRUE(log.Open()); // the next run starts the new day's file
    EXPECT_EQ(ReadFile(folder + "/070102.log"), kStart);

    // An open log whose next opening fails must not keep writing to the old file, nor is a log ever written
    // through a symbolic link planted under its name.
    ASSERT_EQ(::mkdir((folder + "/070103.log").c_str(), 0755), 0);
    ASSERT_TRUE(test::WriteFile(env.root() + "/elsewhere", "x"));
    ASSERT_EQ(::symlink((env.root() + "/elsewhere").c_str(), (folder + "/070104.log").c_str()), 0);
    for (const int day : {3, 4}) {
        now = LocalTime(2007, 1, day);
        EXPECT_FALSE(log.Open());
        EXPECT_FALSE(log.IsOpen());
        log.Append("lost");
    }
    EXPECT_EQ(ReadFile(folder + "/070102.log"), kStart);
    EXPECT_EQ(ReadFile(env.root() + "/elsewhere"), "x");
    EXPECT_FALSE(CDailyLog(env.root() + "/no/such/folder").Open());
    EXPECT_FALSE(FileExists(env.root() + "/no/such/folder"));
}

TEST(DailyLog, BlocksFromSeveralThreadsStayWholeAndInOrder)
{
    TempEnv env;
    const std::string folder = env.makeFolder("logs");
    CDailyLog log(folder, [] { return LocalTime(2007, 1, 1); });
    ASSERT_TRUE(log.Open());
    constexpr int kThreads = 4, kBlocks = 70;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kBlocks; ++i) {
                if (t == 1 && i == kBlocks / 2)
                    log.HoldLines(true); // lines written and lines held keep one order
                const std::string line = std::to_string(t) + " " + std::to_string(i);
                log.AppendLines({line + " a", line + " b", line + " c"});
            }
        });
    for (auto& th : threads)
        th.join();
    log.Close();

    std::istringstream in(ReadFile(folder + "/070101.log").substr(kStart.size()));
    std::vector<int> next(kThreads, 0);
    std::string a, b, c;
    int count = 0;
    while (std::getline(in, a) && std::getline(in, b) && std::getline(in, c)) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(a.c_str(), "%d %d a\r", &t, &i), 2) << a;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        const std::string line = std::to_string(t) + " " + std::to_string(i);
        ASSERT_EQ(b + c, line + " b\r" + line + " c\r") << "a block was split";
        EXPECT_EQ(i, next[static_cast<size_t>(t)]++) << "blocks of one thread out of order";
        ++count;
    }
    EXPECT_EQ(count, kThreads * kBlocks);
}

} // namespace
} // namespace pelldra
