// Tests of unique save names, atomic replacement and whole-file reading.
#include "core/platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "support/child_process.h"
#include "support/temp_env.h"

namespace pelldra {
namespace {

using test::TempEnv;
namespace fs = std::filesystem;

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

TEST(MakeUniqueFileName, CountsUpPastEveryExistingName)
{
    // The names already there (a trailing '/' makes a folder), the name asked for, the name given.
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{}, "a.jpg", "a.jpg"},
        {{"a.jpg"}, "a.jpg", "a_1.jpg"},
        {{"a.jpg", "a_1.jpg"}, "a.jpg", "a_2.jpg"},
        {{"a.jpg", "a_2.jpg"}, "a.jpg", "a_1.jpg"},
        {{"a_1.jpg"}, "a.jpg", "a.jpg"},
        {{"a.jpg/"}, "a.jpg", "a_1.jpg"},
        {{"a.tar.gz"}, "a.tar.gz", "a.tar_1.gz"},
        {{"noext"}, "noext", "noext_1"},
        {{"d.x/file"}, "d.x/file", "d.x/file_1"},
        {{"d.x/file", "d.x/file_1"}, "d.x/file", "d.x/file_2"}};
    for (const auto& [existing, path, expected] : cases) {
        TempEnv env;
        const std::string folder = env.makeFolder("dl");
        for (const auto& e : existing) {
            if (e.back() == '/')
                fs::create_directories(folder + "/" + e);
            else
                ASSERT_TRUE(test::WriteFile(folder + "/" + e, "x"));
        }
        EXPECT_EQ(MakeUniqueFileName(folder + "/" + path), folder + "/" + expected) << path;
    }
}

TEST(PartFiles, RacingWritersOfOneNameEachGetTheirOwnFileAndNoPartStaysWhicheverWayNamesAreClaimed)
{
    TempEnv env;
    for (const NameClaim way : {NameClaim::Rename, NameClaim::Link, NameClaim::EmptyFile}) {
        SCOPED_TRACE(static_cast<int>(way));
        const std::string folder = env.makeFolder("dl" + std::to_string(static_cast<int>(way)));
        const std::string path = folder + "/pic.jpg";
        constexpr int kThreads = 8;
        std::vector<std::string> claimed(kThreads);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                ClaimedFile part = CreatePartFile(path, 0600);
                const std::string id = std::to_string(t);
                const bool written = part.fd.valid() &&
                                     ::write(part.fd.get(), id.data(), id.size()) == static_cast<ssize_t>(id.size());
                part.fd.reset();
                // Counted either way, so that one failed writer cannot keep the others waiting for ever.
                ready.fetch_add(1);
                while (ready.load() < kThreads)
                    std::this_thread::yield();
                if (written)
                    ClaimFinalName(part.path, path, claimed[static_cast<size_t>(t)], way);
            });
        }
        for (auto& thread : threads)
            thread.join();
        std::vector<std::string> names = {"pic.jpg"};
        for (int t = 1; t < kThreads; ++t)
            names.push_back("pic_" + std::to_string(t) + ".jpg");
        EXPECT_EQ(FolderEntries(folder), names);
        for (int t = 0; t < kThreads; ++t) {
            const std::string& p = claimed[static_cast<size_t>(t)];
            EXPECT_EQ(test::ReadFile(p), std::to_string(t)) << "thread " << t << " got no file of its own: " << p;
            EXPECT_EQ(ModeOf(p), 0600u) << p;
        }
    }
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

TEST(Files, AMissingFolderFailsWithItsErrorAndCreatesNothing)
{
    TempEnv env;
    const ClaimedFile f = CreatePartFile(env.root() + "/missing/a.jpg");
    EXPECT_FALSE(f.fd.valid());
    EXPECT_EQ(f.error, ENOENT);
    EXPECT_EQ(ReplaceFileAtomically(env.root() + "/missing/file", "x", 0600), ENOENT);
    std::string out;
    EXPECT_FALSE(ReadWholeFile(env.root() + "/missing/file", out));
    EXPECT_FALSE(ReadWholeFile(env.root(), out)) << "a folder is not a file";
    EXPECT_FALSE(test::FileExists(env.root() + "/missing"));
}

TEST(ReplaceFileAtomically, AWriterKilledAtAnyMomentLeavesOldOrNewContents)
{
    TempEnv env;
    const std::string folder = env.makeFolder("data");
    const std::string path = folder + "/Waiting.wlt";
    // Different sizes, so a half-written file can be neither.
    const std::string a(300000, 'A');
    const std::string b(200000, 'B');
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

} // namespace
} // namespace pelldra
