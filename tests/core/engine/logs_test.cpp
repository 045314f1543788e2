// The daily log and its viewer's core: the day's file, following it as it grows, its line kinds, the image page.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "core/engine/daily_log.h"
#include "core/engine/day_logs.h"
#include "core/engine/log_follower.h"
#include "core/engine/log_lines.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using Lines = std::vector<std::string>;
using test::ReadFile;
using test::TempEnv;

std::time_t LocalTime(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    std::tm t{second, minute, hour, day, month - 1, year - 1900, 0, 0, -1, 0, nullptr};
    return std::mktime(&t);
}

void Append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
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
    log.AppendLines(std::vector<std::string>{"http://example.com/a001.jpg", "    成功", ""});
    log.HoldLines(true);
    log.Append("held");
    const std::string written = "earlier\r\n" + kStart + "http://example.com/a001.jpg\r\n    成功\r\n\r\n";
    EXPECT_EQ(ReadFile(path), written);
    log.Flush();
    log.Append("held until the next opening");
    ASSERT_TRUE(log.Open()); // a second run the same day
    log.Append("held until closed");
    log.Close();
    log.Append("after close");
    EXPECT_EQ(ReadFile(path), written + "held\r\nheld until the next opening\r\n" + kStart + "held until closed\r\n");
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
    EXPECT_FALSE(test::FileExists(env.root() + "/no/such/folder"));
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
                log.AppendLines(std::vector<std::string>{line + " a", line + " b", line + " c"});
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

TEST(DayLogs, NewestDayFirstAcrossTheCenturyWithTheWantedNameAtItsPlace)
{
    TempEnv env;
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
    TempEnv env;
    const std::string path = env.root() + "/260305.log", other = env.root() + "/new.tmp";
    LogFollower follower(path);
    // (change, changed, restarted, lines, tail when changed)
    // clang-format off
    const std::tuple<std::function<void()>, bool, bool, Lines, std::string> steps[] = {
        {[] {}, false, false, {}, ""}, // no file yet: nothing to show, and no error
        {[&] { test::WriteFile(path, "  Logの開始\r\nhttp://a.example/1.jpg\r\n    downlo"); }, true, false,
         {"  Logの開始", "http://a.example/1.jpg"}, "    downlo"},
        {[] {}, false, false, {}, ""},
        // The blanks and half a character wait for the rest.
        {[&] { Append(path, "ading....\r\n    \xE6\x88"); }, true, false, {"    downloading...."}, ""},
        {[&] { Append(path, "\x90\xE5\x8A\x9F\r\n"); }, true, false, {"    成功"}, ""},
        {[&] { test::WriteFile(other, "three\r\nfour\r\n"), std::rename(other.c_str(), path.c_str()); }, true, true,
         {"three", "four"}, ""},
        {[&] { test::WriteFile(path, "six\n"); }, true, true, {"six"}, ""}, // the same file, shorter
        {[&] { std::remove(path.c_str()); }, true, true, {}, ""},
        // A named pipe under the name has no writer: opening it must not wait for one.
        {[&] { ::mkfifo(path.c_str(), 0600); }, false, false, {}, ""},
    };
    // clang-format on
    int n = 0;
    for (const auto& [change, changed, restarted, lines, tail] : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        change();
        const LogUpdate update = follower.Read();
        EXPECT_EQ(update.changed, changed);
        EXPECT_EQ(update.restarted, restarted);
        EXPECT_EQ(update.lines, lines);
        EXPECT_EQ(changed ? update.tail : "", tail);
    }
    EXPECT_FALSE(follower.Exists());
}

TEST(LogFollower, DecidesTheEncodingForTheWholeFile)
{
    TempEnv env;
    const std::string cp932Success = "    \x90\xAC\x8C\xF7"; // "    成功"
    const std::string path = env.root() + "/case.log";
    for (const auto& [bytes, encoding, lines] : std::vector<std::tuple<std::string, LogEncoding, Lines>>{
             {"\xEF\xBB\xBF  Logの開始\r\n", LogEncoding::Utf8, {"  Logの開始"}},
             {"http://a.example/1.jpg\r\n" + cp932Success + "\r\n",
              LogEncoding::Cp932,
              {"http://a.example/1.jpg", "    成功"}},
             {"ok\r\n\xFF\xFF\r\n", LogEncoding::Unknown, {"ok", "\xFF\xFF"}}}) {
        ASSERT_TRUE(test::WriteFile(path, bytes));
        LogFollower follower(path);
        EXPECT_EQ(follower.Read().lines, lines) << bytes;
        EXPECT_EQ(follower.Encoding(), encoding) << bytes;
    }

    // What looked like UTF-8 while it was ASCII is read again whole once a CP932 line shows it is not.
    ASSERT_TRUE(test::WriteFile(path, "  Target: http://a.example/*.jpg\r\n"));
    LogFollower follower(path);
    follower.Read();
    Append(path, cp932Success + "\r\n");
    const LogUpdate update = follower.Read();
    EXPECT_TRUE(update.restarted);
    EXPECT_EQ(update.lines, (Lines{"  Target: http://a.example/*.jpg", "    成功"}));
    EXPECT_EQ(follower.Encoding(), LogEncoding::Cp932);
}

TEST(LogFollower, ReadsOnlyTheNewestPartOfAFileTooLargeToHold)
{
    TempEnv env;
    const std::string path = env.root() + "/huge.log";
    // Sparse: the gap of NUL bytes with no line end in it takes no disk.
    ASSERT_TRUE(test::WriteFile(path, "first\r\n"));
    ASSERT_EQ(::truncate(path.c_str(), kLogReadLimit * 2), 0);
    Append(path, "\r\nnewest\r\n");
    LogFollower follower(path);
    EXPECT_EQ(follower.Read().lines, Lines{"newest"});
    EXPECT_TRUE(follower.LeavesOutStart());
    // Too much new while followed: what was shown gives way to the newest part, from a line's start.
    ASSERT_EQ(::truncate(path.c_str(), kLogReadLimit * 4), 0);
    Append(path, "\nlast\n");
    const LogUpdate update = follower.Read();
    EXPECT_TRUE(update.restarted);
    EXPECT_EQ(update.lines, Lines{"last"});
}

TEST(LogLinesTest, UrlLinesAndOnlyWebUrlsOpened)
{
    // clang-format off
    // (line, its URL or "" when it is no URL line)
    for (const auto& [line, url] : std::vector<std::pair<std::string, std::string>>{
             {"http://a.example/x/001.jpg  \t\r", "http://a.example/x/001.jpg"}, {"  Logの開始", ""},
             {"\thttp://a.example/", ""}, {"\r", ""}}) {
        EXPECT_EQ(IsUrlLine(line), !url.empty()) << line;
        EXPECT_EQ(UrlOfLine(line), url) << line;
    }
    for (const auto& [url, web] : std::vector<std::pair<std::string, bool>>{
             {"http://a.example/1.jpg", true}, {"HTTPS://a.example/1.jpg", true}, {"https://a.example", true},
             {"file:///etc/passwd", false}, {"javascript:alert(1)", false}, {"/home/u/a.sh", false},
             {"ftp://a.example/1.jpg", false}, {"http://", false}, {"http:///etc/passwd", false},
             {"http://a.example/a b", false}, {"http://a.example/\x01", false}, {"xhttp://a.example/", false}})
        EXPECT_EQ(IsWebUrl(url), web) << url;
    // clang-format on
}

TEST(LogLinesTest, FailureLinesAndTheMessagesThatFollowThem)
{
    EXPECT_EQ(FailureLine(404), "   失敗［status=404］");
    using K = LogLineKind;
    // clang-format off
    const std::pair<std::string, K> lines[] = {
        {"    受信側：", K::Plain}, {"/home/u/p/001.jpg", K::Plain},
        {FailureLine(2), K::Failure}, {"    サーバー応答がタイムアウトです", K::FailureDetail},
        {"http://a.example/002.jpg", K::Plain},
        {FailureLine(3), K::Failure}, {"次のＵＲＬへのリダイレクト", K::FailureDetail},
        {"http://a.example/moved/003.jpg", K::FailureDetail},
        {"    downloading....", K::Plain}, {FailureLine(404), K::Failure}, {"http://a.example/004.jpg", K::Plain},
        {FailureLine(-1), K::Failure},
        {"    失敗［status=404］", K::Plain}, // four blanks: not the engine's line
        {"   失敗［status=4x4］", K::Plain}, {"   失敗［status=］", K::Plain}, {"   失敗［status=404", K::Plain},
    };
    // clang-format on
    FailureMarker marker;
    for (const auto& [line, kind] : lines)
        EXPECT_EQ(marker.Next(line), kind) << line;
}

TEST(LogLinesTest, PageEscapesTheUrlReplacesTheLastOneInTheDataFolderOrGivesTheMessage)
{
    TempEnv env;
    std::string path;
    ASSERT_TRUE(WriteImageTestPage("http://a.example/\"><script>x('1')</script>&b", path).ok());
    EXPECT_EQ(path, env.dataFolder() + "/imagetest.htm");
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(ReadFile(path),
              "<html><body><img src=\"http://a.example/&quot;&gt;&lt;script&gt;x(&#39;1&#39;)&lt;/script&gt;&amp;b\">"
              "</body></html>");
    const std::string second = "<html><body><img src=\"http://b.example/2.png\"></body></html>";
    ASSERT_TRUE(WriteImageTestPage("http://b.example/2.png", path).ok());
    EXPECT_EQ(ReadFile(path), second);

    for (const std::string& folder : {path, env.root() + "/missing"}) { // a file, or nothing, where the folder goes
        const Result r = WriteImageTestPage("http://a.example/1.jpg", path, folder);
        EXPECT_EQ(r.code, 1) << folder;
        EXPECT_EQ(r.message, "一時ファイルが作れません。") << folder;
    }
    EXPECT_EQ(ReadFile(env.dataFolder() + "/imagetest.htm"), second);
}

} // namespace
} // namespace pelldra
