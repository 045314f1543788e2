// Tests of events, save names and atomic files, the per-user folders and finding a companion program.

#include "core/platform/event.h"
#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/platform/pending_file.h"
#include "core/platform/programs.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::TempEnv;
namespace fs = std::filesystem;

TEST(Event, AutoResetLetsOneWaiterThroughPerSetManualLetsAllThroughAndStaysSet)
{
    for (const Event::Mode mode : {Event::Mode::Auto, Event::Mode::Manual}) {
        const bool manual = mode == Event::Mode::Manual;
        SCOPED_TRACE(manual ? "manual" : "auto");
        Event e(mode);
        constexpr int kWaiters = 4;
        std::atomic<int> through{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kWaiters; ++i)
            threads.emplace_back([&] { through += e.Wait(10s) ? 1 : 0; });
        for (int round = 1; round <= (manual ? 1 : kWaiters); ++round) {
            e.Set();
            const int want = manual ? kWaiters : round;
            for (const auto end = Clock::now() + 5s; through.load() < want && Clock::now() < end;)
                std::this_thread::sleep_for(1ms);
            std::this_thread::sleep_for(30ms); // room for a second, wrong wake-up
            EXPECT_EQ(through.load(), want);
            EXPECT_EQ(e.IsSet(), manual) << "only an auto-reset signal is consumed by the waiter that went through";
        }
        for (auto& t : threads)
            t.join();
    }
}

TEST(Event, WaitAnyTakesTheLowestSignalledIndexAndATimeOutIsKept)
{
    const std::pair<std::vector<int>, int> cases[] = {{{}, -1},    {{1}, 1},    {{2}, 2},
                                                      {{0, 2}, 0}, {{1, 2}, 1}, {{0, 1, 2}, 0}};
    for (const auto& [signalled, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(signalled));
        Event a(Event::Mode::Auto), b(Event::Mode::Auto), d(Event::Mode::Auto);
        Event* all[] = {&a, &b, &d};
        for (int i : signalled)
            all[i]->Set();
        EXPECT_EQ(Event::WaitAny(all, 0ms), expected);
        for (int i : signalled)
            EXPECT_EQ(all[i]->IsSet(), i != expected) << "only the event taken is consumed: " << i;
    }
    EXPECT_EQ(Event::WaitAny(std::span<Event* const>{}, std::nullopt), -1) << "an empty list returns at once";
    Event manual(Event::Mode::Manual, true);
    EXPECT_TRUE(manual.Wait(0ms) && manual.Wait(0ms)) << "a manual signal stays";
    manual.Reset();
    const auto start = Clock::now();
    EXPECT_FALSE(manual.Wait(40ms));
    EXPECT_GE(Clock::now() - start, 40ms) << "a time-out returned early";
    EXPECT_LT(Clock::now() - start, 2s);
}

// Two threads hand a token back and forth a thousand times, one waiting for any of three events set by the other;
// a lost wake-up stalls a round into its time-out.
TEST(Event, PingPongLosesNoWakeUp)
{
    Event ping(Event::Mode::Auto), pong(Event::Mode::Auto), quit(Event::Mode::Manual), never(Event::Mode::Auto);
    constexpr int kRounds = 1000;
    std::atomic<int> answered{0};
    std::thread partner([&] {
        for (;;) {
            if (Event::WaitAny({&quit, &never, &ping}, 5s) != 2)
                return;
            ++answered;
            pong.Set();
        }
    });
    int ok = 0;
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        if (!pong.Wait(5s))
            break;
        ++ok;
    }
    quit.Set();
    partner.join();
    EXPECT_EQ(ok, kRounds);
    EXPECT_EQ(answered.load(), kRounds);
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

TEST(MakeUniqueFileName, CountsUpPastEveryExistingName)
{
    // The names already there (a trailing '/' makes a folder), the name asked for, the name given.
    // clang-format off
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{}, "a.jpg", "a.jpg"}, {{"a.jpg"}, "a.jpg", "a_1.jpg"}, {{"a.jpg", "a_1.jpg"}, "a.jpg", "a_2.jpg"},
        {{"a.jpg", "a_2.jpg"}, "a.jpg", "a_1.jpg"}, {{"a_1.jpg"}, "a.jpg", "a.jpg"}, {{"a.jpg/"}, "a.jpg", "a_1.jpg"},
        {{"a.tar.gz"}, "a.tar.gz", "a.tar_1.gz"}, {{"noext"}, "noext", "noext_1"},
        {{"d.x/file"}, "d.x/file", "d.x/file_1"}, {{"d.x/file", "d.x/file_1"}, "d.x/file", "d.x/file_2"}};
    // clang-format on
    for (const auto& [existing, path, expected] : cases) {
        TempEnv env;
        const std::string folder = env.makeFolder("dl");
        for (const auto& e : existing)
            ASSERT_TRUE(e.back() == '/' ? fs::create_directories(folder + "/" + e)
                                        : test::WriteFile(folder + "/" + e, "x"));
        EXPECT_EQ(MakeUniqueFileName(folder + "/" + path), folder + "/" + expected) << path;
    }
}

TEST(PendingFiles, RacingWritersOfOneNameEachGetTheirOwnFileAndNothingElseStaysWhicheverWayFilesAreKept)
{
    TempEnv env;
    // No claim: an unnamed file; otherwise a part file whose name is claimed that way.
    const std::optional<NameClaim> ways[] = {std::nullopt, NameClaim::Rename, NameClaim::Link, NameClaim::EmptyFile};
    for (const std::optional<NameClaim>& way : ways) {
        const std::string label = way ? std::to_string(static_cast<int>(*way)) : "unnamed";
        const std::string folder = env.makeFolder("dl-" + label);
        const std::string path = folder + "/pic.jpg";
        constexpr int kThreads = 8;
        std::vector<std::string> claimed(kThreads);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                PendingFile file = way ? PendingFile{} : PendingFile::Create(path, 0600);
                ClaimedFile part = way ? CreatePartFile(path, 0600) : ClaimedFile{};
                const int fd = way ? part.fd.get() : file.fd();
                const std::string id = std::to_string(t);
                const bool written = fd >= 0 && ::write(fd, id.data(), id.size()) == static_cast<ssize_t>(id.size());
                part.fd.reset();
                // Counted either way, so that one failed writer cannot keep the others waiting for ever.
                ready.fetch_add(1);
                while (ready.load() < kThreads)
                    std::this_thread::yield();
                if (written && way)
                    ClaimFinalName(part.path, path, claimed[static_cast<size_t>(t)], *way);
                else if (written)
                    file.Finish(path, claimed[static_cast<size_t>(t)]);
            });
        }
        for (auto& thread : threads)
            thread.join();
        std::vector<std::string> names = {"pic.jpg"};
        for (int t = 1; t < kThreads; ++t)
            names.push_back("pic_" + std::to_string(t) + ".jpg");
        EXPECT_EQ(FolderEntries(folder), names) << label;
        for (int t = 0; t < kThreads; ++t) {
            const std::string& p = claimed[static_cast<size_t>(t)];
            EXPECT_EQ(test::ReadFile(p), std::to_string(t)) << label << ": thread " << t << " got no file: " << p;
            EXPECT_EQ(ModeOf(p), 0600u) << p;
        }
    }
}

TEST(PendingFiles, ShowOnlyOnceCompleteAndAnUnfinishedOneLeavesNothing)
{
    for (const PendingFile::Way way : {PendingFile::Way::Unnamed, PendingFile::Way::Part}) {
        SCOPED_TRACE(static_cast<int>(way));
        TempEnv env;
        const std::string folder = env.makeFolder("dl");
        {
            PendingFile dropped = PendingFile::Create(folder + "/b.jpg", 0600, nullptr, way);
            ASSERT_TRUE(dropped.valid());
            ASSERT_TRUE(WriteAll(dropped.fd(), "half"));
        }
        PendingFile file = PendingFile::Create(folder + "/a.jpg", 0640, nullptr, way);
        ASSERT_TRUE(file.valid());
        EXPECT_EQ(file.way(), way);
        ASSERT_TRUE(WriteAll(file.fd(), "body"));
        const std::vector<std::string> pending = FolderEntries(folder);
        ASSERT_EQ(pending.size(), way == PendingFile::Way::Unnamed ? 0u : 1u);
        for (const std::string& p : pending) // hidden, and recognisably ours
            EXPECT_TRUE(p.starts_with(".a.jpg.") && p.ends_with(kPartFileSuffix)) << p;
        std::string name;
        EXPECT_EQ(file.Finish(folder + "/a.jpg", name), 0);
        EXPECT_EQ(name, folder + "/a.jpg");
        EXPECT_EQ(test::ReadFile(name), "body");
        EXPECT_EQ(ModeOf(name), 0640u & ~CurrentUmask());
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"a.jpg"});
    }
}

TEST(PendingFiles, AFolderThatRefusesTheLinkGetsACopyWithTheSameContentsModeAndTime)
{
    // A folder on another file system refuses the link with EXDEV, as folders on some network and FUSE file
    // systems refuse it for their own reasons.
    TempEnv env;
    std::string other = "/dev/shm/pelldra-test-XXXXXX";
    struct stat a = {}, b = {};
    if (::mkdtemp(other.data()) == nullptr || ::stat(env.root().c_str(), &a) != 0 || ::stat(other.c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        fs::remove_all(other);
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";
    }
    const std::string here = env.makeFolder("here");
    PendingFile file = PendingFile::Create(here + "/a.bin", 0604);
    ASSERT_EQ(file.way(), PendingFile::Way::Unnamed);
    const std::string body(300000, 'x');
    ASSERT_TRUE(WriteAll(file.fd(), body));
    const timespec times[2] = {{0, UTIME_NOW}, {1700000000, 0}};
    ASSERT_EQ(::futimens(file.fd(), times), 0);
    std::string name;
    EXPECT_EQ(file.Finish(other + "/a.bin", name), 0);
    EXPECT_EQ(file.way(), PendingFile::Way::Part);
    EXPECT_EQ(name, other + "/a.bin");
    EXPECT_EQ(test::ReadFile(name), body);
    EXPECT_EQ(ModeOf(name), 0604u & ~CurrentUmask());
    EXPECT_EQ(fs::last_write_time(name), fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(1700000000s)));
    EXPECT_EQ(FolderEntries(other), std::vector<std::string>{"a.bin"});
    EXPECT_TRUE(FolderEntries(here).empty());
    fs::remove_all(other);
}

TEST(ReplaceFileAtomically, ReplacesContentsAndModeAndLeavesNoTemporaryFileAndEveryByteReadsBack)
{
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += static_cast<char>(i % 251);
    // What the case is, whether a file was there, the mode asked for, the contents.
    const std::tuple<const char*, bool, mode_t, std::string> cases[] = {
        {"new private file", false, 0600, "secret\r\n"},
        {"over an existing file", true, 0644, "new contents"},
        {"tightens a readable file", true, 0600, std::string("with\0zero", 9)},
        {"empty contents", true, 0600, ""},
        {"every byte value, large", true, 0600, big}};
    for (const auto& [label, existed, mode, contents] : cases) {
        SCOPED_TRACE(label);
        TempEnv env;
        const std::string folder = env.makeFolder("data");
        const std::string path = folder + "/PELLDRA.INI";
        if (existed) {
            ASSERT_TRUE(test::WriteFile(path, std::string(5000, 'o')));
            ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
        }
        const mode_t oldMask = ::umask(0);
        const int rc = ReplaceFileAtomically(path, contents, mode);
        ::umask(oldMask);
        EXPECT_EQ(rc, 0);
        std::string out = "stale";
        EXPECT_TRUE(ReadWholeFile(path, out));
        EXPECT_EQ(out, contents);
        EXPECT_EQ(ModeOf(path), mode);
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"PELLDRA.INI"});
    }
}

TEST(Files, AMissingFolderFailsWithItsErrorAndCreatesNothingAndMakeFoldersMakesItsParents)
{
    TempEnv env;
    const PendingFile f = PendingFile::Create(env.root() + "/missing/a.jpg", 0600);
    EXPECT_FALSE(f.valid());
    EXPECT_EQ(f.error(), ENOENT);
    EXPECT_EQ(ReplaceFileAtomically(env.root() + "/missing/file", "x", 0600), ENOENT);
    std::string out;
    EXPECT_FALSE(ReadWholeFile(env.root() + "/missing/file", out));
    EXPECT_FALSE(ReadWholeFile(env.root(), out)) << "a folder is not a file";
    EXPECT_FALSE(test::FileExists(env.root() + "/missing"));

    ASSERT_TRUE(test::WriteFile(env.root() + "/file", "x"));
    const std::vector<std::pair<std::string, bool>> cases = {
        {env.root() + "/a/b/c", true}, {env.root() + "/a/b/c", true}, // already there
        {env.root() + "/a//d/", true}, {env.root() + "/file", false}, {env.root() + "/file/sub", false}, {"", false}};
    for (const auto& [path, made] : cases) {
        EXPECT_EQ(MakeFolders(path), made) << path;
        EXPECT_EQ(fs::is_directory(path), made) << path;
    }
}

TEST(Files, APrivateFileIsNotAppendedToWhenAnotherUserOwnsItAndOthersMayReadIt)
{
    TempEnv env;
    const std::string path = env.root() + "/pdr.hlk"; // planted in a shared download folder
    ASSERT_TRUE(test::WriteFile(path, ""));
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    if (::chown(path.c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    EXPECT_FALSE(OpenPrivateForAppend(path).valid());
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0); // private to its owner, as a squashing network share makes ours
    EXPECT_TRUE(OpenPrivateForAppend(path).valid());
}

TEST(ReplaceFileAtomically, AWriterKilledAtAnyMomentLeavesOldOrNewContents)
{
    TempEnv env;
    const std::string path = env.makeFolder("data") + "/Waiting.wlt";
    // Different sizes, so a half-written file can be neither.
    const std::string a(300000, 'A'), b(200000, 'B');
    ASSERT_EQ(ReplaceFileAtomically(path, a, 0600), 0);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayUs(0, 8000);
    for (int round = 0; round < 25; ++round) {
        const pid_t writer = test::ForkChild([&] {
            for (int i = 0;; ++i)
                if (ReplaceFileAtomically(path, i % 2 ? a : b, 0600) != 0)
                    return 1;
        });
        ASSERT_GT(writer, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(writer, SIGKILL);
        ASSERT_EQ(test::WaitChild(writer), 128 + SIGKILL) << "the writer stopped by itself";
        const std::string now = test::ReadFile(path);
        ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes of a mix";
    }
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
    // What the case is, XDG_DATA_HOME and XDG_CONFIG_HOME (below the test's root when they start with '/'; nullptr:
    // unset), the data and config folders made below the test's root.
    const std::tuple<const char*, const char*, const char*, const char*, const char*> cases[] = {
        {"set", "/data", "/config", "/data/Pelldra", "/config/Tavin"},
        {"trailing slashes", "/data//", "/config/", "/data/Pelldra", "/config/Tavin"},
        {"unset: under HOME", nullptr, nullptr, "/home/.local/share/Pelldra", "/home/.config/Tavin"},
        {"relative values are ignored", "relative/data", "relative/config", "/home/.local/share/Pelldra",
         "/home/.config/Tavin"}};
    for (const auto& [label, xdgData, xdgConfig, expectedData, expectedConfig] : cases) {
        SCOPED_TRACE(label);
        TempEnv env;
        for (const auto& [name, value] :
             {std::pair{"XDG_DATA_HOME", xdgData}, std::pair{"XDG_CONFIG_HOME", xdgConfig}}) {
            if (!value)
                ::unsetenv(name);
            else
                ::setenv(name, (value[0] == '/' ? env.root() + value : std::string(value)).c_str(), 1);
        }
        const std::string data = GetProgramFolder();
        EXPECT_EQ(data, env.root() + expectedData);
        EXPECT_EQ(fs::status(data).permissions(), fs::perms::owner_all) << "the data folder is made, private";
        fs::permissions(data, fs::perms::all);
        GetProgramFolder();
        EXPECT_EQ(fs::status(data).permissions(), fs::perms::owner_all) << "one left open is made private";
        const std::string config = GetTavinConfigFolder();
        EXPECT_EQ(config, env.root() + expectedConfig);
        EXPECT_TRUE(fs::is_directory(config));
    }
}

TEST(FindProgram, OwnFolderThenInstalledFolderThenSearchPath)
{
    test::TempEnv env;
    const std::string bin = env.makeFolder("prefix/bin"), onPath = env.makeFolder("path");
    const std::string libexec = env.makeFolder(std::string("prefix/bin/") + kInstalledProgramFolder);
    const std::string search = ":" + env.root() + "/nowhere:" + onPath;
    EXPECT_EQ(FindProgram("LogViewer", bin, search), "");
    // Each step places a program with a mode (not executable: passed over) and names the folder of the one found.
    const std::tuple<std::string, mode_t, std::string> steps[] = {
        {onPath, 0755, onPath}, {libexec, 0755, libexec}, {bin, 0644, libexec}, {bin, 0755, bin}};
    for (const auto& [folder, mode, found] : steps) {
        ASSERT_TRUE(test::WriteFile(folder + "/LogViewer", "#!/bin/sh\n"));
        ASSERT_EQ(::chmod((folder + "/LogViewer").c_str(), mode), 0);
        EXPECT_EQ(FindProgram("LogViewer", bin, search), found + "/LogViewer");
    }
    // A name with a folder in it is never looked up.
    EXPECT_EQ(FindProgram("../bin/LogViewer", libexec, search), "");
}

} // namespace
} // namespace pelldra
