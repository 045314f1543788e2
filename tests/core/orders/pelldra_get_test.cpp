// pelldra-get end to end against loopback servers: files, status lines, exit statuses, refusals and the stop signal.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/engine/daily_log.h"
#include "core/settings/settings_file.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

extern char** environ;

namespace pelldra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct ToolRun
{
    int status = -1;
    std::string out, err;
};

// The exit status of pid, or -1 when it did not end normally within limit (then it is killed).
int WaitExit(pid_t pid, std::chrono::milliseconds limit)
{
    int status = 0;
    if (!test::WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, limit)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// pelldra-get with args, started in folder, standard input from /dev/null; the output goes to files in root.
class Tool
{
public:
    Tool(const std::string& root, const std::string& folder, std::vector<std::string> args)
        : outPath_(root + "/tool.out"), errPath_(root + "/tool.err")
    {
        args.insert(args.begin(), PELLDRA_GET_TOOL);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Tool() { Wait(0ms); }

    void Signal(int sig) const { ::kill(pid_, sig); }

    // Whether the program has a file of folder open: the body it is writing, which has no name yet.
    bool WritesUnder(const std::string& folder) const
    {
        std::error_code ec;
        const std::string inside = fs::canonical(folder, ec).string() + "/";
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            if (target.starts_with(inside))
                return true;
        }
        return false;
    }

    // Waits up to limit for the program to end; its exit status, or -1 when it had to be killed.
    ToolRun Wait(std::chrono::milliseconds limit = 60s)
    {
        const int status = pid_ > 0 ? WaitExit(pid_, limit) : -1;
        pid_ = -1;
        return {status, test::ReadFile(outPath_), test::ReadFile(errPath_)};
    }

private:
    std::string outPath_, errPath_;
    pid_t pid_ = -1;
};

std::vector<std::string> FilesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file())
            files.push_back(it->path().string().substr(folder.size() + 1));
    std::sort(files.begin(), files.end());
    return files;
}

class PelldraGetTest : public ::testing::Test
{
protected:
    ToolRun Run(const std::vector<std::string>& args) { return Tool(env_.root(), dl_, args).Wait(); }

    test::TempEnv env_;
    std::string dl_ = env_.makeFolder("dl");
    test::TestHttpServer server_;
};

TEST_F(PelldraGetTest, TwoLevelSeriesIntoSubfoldersWithTheSyncedReferer)
{
    const std::string u = server_.Url("");
    for (const std::string v : {"1", "2"})
        for (const std::string i : {"01", "02"})
            server_.AddFile("/v" + v + "/img" + i + ".jpg", "body " + v + i, "image/jpeg");
    const ToolRun r =
        Run({"--speed", "1", "--upper", "1:2", "--lower", "01:02", "--links", "--referer",
             "http://ref.example/page01.html", "--sync", "lower", "--cookie", "k=v", u + "/v1/img01.jpg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The status lines (tested with the engine) go to standard output.
    EXPECT_TRUE(r.out.starts_with("  Logの開始\n  Target: " + u + "/v*/img*.jpg\n  保存用フォルダは: " + dl_ + "/\n" +
                                  u + "/v1/img01.jpg\n    downloading....\n"))
        << r.out;
    EXPECT_TRUE(r.out.ends_with("\n    成功\n    全て終了\n    成功／要求数 = 4回／4回\n")) << r.out;
    EXPECT_EQ(FilesUnder(dl_), (std::vector<std::string>{"1/img01.jpg", "1/img02.jpg", "1/pdr.hlk", "2/img01.jpg",
                                                         "2/img02.jpg", "2/pdr.hlk"}));
    EXPECT_EQ(test::ReadFile(dl_ + "/2/img01.jpg"), "body 201");
    EXPECT_EQ(FilesUnder(env_.dataFolder()).size(), 1u);
    const std::vector<test::TestRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].Header("Referer"), "http://ref.example/page02.html");
    EXPECT_EQ(requests[1].Header("Cookie"), "k=v");
}

TEST_F(PelldraGetTest, SavedDetailSettingsAreTheDefaultsUnlessToldOtherwise)
{
    // Nothing listens at the URL's port: only through the saved proxy (the test server) can the file arrive.
    const std::string url = "http://127.0.0.1:1/p1.jpg";
    server_.AddFile(url, "picture", "image/jpeg");
    StoredSettings saved;
    saved.detail.UseProxy = 1, saved.detail.ProxyHost = "127.0.0.1", saved.detail.Browser = kBrowserMsie;
    saved.detail.ProxyPort = std::to_string(server_.port());
    ASSERT_TRUE(test::WriteFile(SettingsFilePath(), FormatSettings(saved)));
    for (const auto& [args, status, agent] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{url}, 0, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; Q312461)"},
             {{"--agent", "Pelldra", url}, 0, std::string("Pelldra") + PELLDRA_VERSION},
             {{"--no-settings", url}, 1, ""},
             {{"--no-proxy", url}, 1, ""}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const size_t before = server_.RequestsFor(url).size();
        const ToolRun r = Run(args);
        EXPECT_EQ(r.status, status) << r.out << r.err;
        const std::vector<test::TestRequest> requests = server_.RequestsFor(url);
        ASSERT_EQ(requests.size(), before + (status == 0 ? 1 : 0));
        EXPECT_EQ(status == 0 ? requests.back().Header("User-Agent") : "", agent);
    }
    EXPECT_EQ(FilesUnder(dl_), (std::vector<std::string>{"p1.jpg", "p1_1.jpg"}));
}

TEST_F(PelldraGetTest, ArgumentErrorsAndRefusedOrdersWriteNothing)
{
    ASSERT_TRUE(test::WriteFile(env_.root() + "/plain", "x"));
    // No order here may reach a server: the host is never looked up, and its name has no digits to count.
    const std::string u = "http://example.invalid/a1.jpg";
    const std::string me = "pelldra-get: ", plain = env_.root() + "/plain";
    // args, status, standard error (for bad arguments the problem between the name and "; see --help"), output start
    // clang-format off
    const std::tuple<std::vector<std::string>, int, std::string, std::string> cases[] = {
        {{"-h"}, 0, "", "usage: pelldra-get [OPTIONS] URL "},
        {{"--version"}, 0, "", "pelldra-get " PELLDRA_VERSION "\n"},
        {{"--dir", plain, u}, 2, me + plain + ": 保存用フォルダ名はフォルダを指していません。\n", ""},
        {{"--lower", "1:3", "http://example.invalid/a.jpg"}, 4, "the URL has no digits to count", ""},
        {{"--upper", "1:3", u}, 4, "the URL has no digit run left of the lower string (--upper)", ""},
        {{"--lower-run", "3", "http://example.invalid/d1/a1.jpg"}, 4,
         "the URL has fewer than 3 digit runs (--lower-run)", ""},
        {{"--speed", "4", u}, 4, "--speed needs 1, 2 or 3", ""},
        {{"--lower", "a:b", u}, 4, "--lower needs FROM:TO, each side digits or empty", ""},
        {{"--nonsense", u}, 4, "unknown option --nonsense", ""},
        {{u, "--dir"}, 4, "--dir needs a value", ""},
        {{u, u}, 4, "give one URL", ""},
        {{}, 4, "give one URL, or --list FILE, or --run-queue", ""},
        {{"--list", "x.lst", "--lower", "1:2"}, 4,
         "range, name, subfolder, referer and cookie options are for a series URL", ""},
        // Nothing is dropped: what a queued order cannot keep goes to the queue run, and the reverse.
        {{"--queue", "--links", u}, 4, "--links cannot be kept in the queue; give it with --run-queue", ""},
        {{"--no-proxy", "--proxy", "h:1", u}, 4, "--no-proxy goes with neither --proxy nor --proxy-local-direct", ""},
        {{"--run-queue", "--agent", "msie"}, 4,
         "--agent goes with an order; --run-queue runs each order with the options it was queued with", ""},
    };
    // clang-format on
    for (const auto& [args, status, err, out] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolRun r = Run(args);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.out.substr(0, out.size()), out);
        EXPECT_EQ(r.out.empty(), out.empty());
        EXPECT_EQ(r.err, status == 4 ? me + err + "; see --help\n" : err);
    }
    EXPECT_TRUE(FilesUnder(dl_).empty());
    EXPECT_TRUE(FilesUnder(env_.dataFolder()).empty());
}

TEST_F(PelldraGetTest, SignalsMidFileLeaveNoFileUnderItsName)
{
    server_.AddScript("/big1.bin", test::PartialBody(1 << 20, 4096, test::BodyEnd::Stall));
    // Every signal that ends the program stops the run; not even a kill leaves anything behind.
    for (const int sig : {SIGINT, SIGHUP, SIGQUIT, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        Tool tool(env_.root(), dl_, {server_.Url("/big1.bin")});
        ASSERT_TRUE(test::WaitUntil([&] { return tool.WritesUnder(dl_); }, 20s)) << "the body is under way";
        EXPECT_TRUE(FilesUnder(dl_).empty());
        tool.Signal(sig);
        const ToolRun r = tool.Wait(20s);
        EXPECT_TRUE(FilesUnder(dl_).empty());
        if (sig == SIGKILL)
            continue;
        EXPECT_EQ(r.status, 3) << r.out << r.err;
        EXPECT_NE(r.out.find("    ユーザーによる中断\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("    成功／要求数 = 0回／1回\n"), std::string::npos) << r.out;
    }
}

TEST_F(PelldraGetTest, AKilledQueueRunLosesNoOrderAndAQueueThatCannotBeTakenFails)
{
    auto open = std::make_shared<std::atomic<bool>>(false);
    auto asked = std::make_shared<std::atomic<bool>>(false);
    server_.AddHandler("/k1.jpg", [open, asked](const test::TestRequest&) {
        *asked = true;
        test::WaitUntil([open] { return open->load(); }, 30s);
        return test::TestResponse{200, {}, "1", "image/jpeg"};
    });
    server_.AddFile("/secret/k2.jpg", "2", "image/jpeg");
    server_.RequireBasic("/secret/", "user", "pw");
    const std::string list = env_.root() + "/urls.lst";
    ASSERT_TRUE(test::WriteFile(list, server_.Url("/secret/k2.jpg") + "\n"));
    ToolRun r = Run({"--queue", server_.Url("/k1.jpg")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ただいまのダウンロード指令は待ち行列に取り込まれました\n");
    // Each order runs with the options it was queued with.
    ASSERT_EQ(Run({"--queue", "--agent", "msie", "--user", "user", "--password", "pw", "--list", list}).status, 0);
    EXPECT_EQ(server_.RequestCount(), 0);
    {
        Tool killed(env_.root(), dl_, {"--run-queue"});
        ASSERT_TRUE(test::WaitUntil([asked] { return asked->load(); }, 20s));
        killed.Signal(SIGKILL);
        EXPECT_EQ(killed.Wait(20s).status, -1);
    }
    *open = true;
    r = Run({"--run-queue"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::ReadFile(dl_ + "/k1.jpg") + test::ReadFile(dl_ + "/k2.jpg"), "12");
    const std::vector<test::TestRequest> requests = server_.Requests();
    EXPECT_EQ(requests.back().Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; Q312461)");
    r = Run({"--run-queue"}); // every run's end was marked: nothing comes back
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(server_.RequestCount(), int(requests.size()));
    EXPECT_EQ(server_.RequestsFor("/k1.jpg").size(), 2u);
    EXPECT_FALSE(test::FileExists(env_.dataFolder() + "/Waiting.wlt"));

    ASSERT_EQ(Run({"--queue", server_.Url("/k1.jpg")}).status, 0);
    const test::ReadOnlyFolder readOnly(env_.dataFolder());
    if (!readOnly.ready())
        GTEST_SKIP() << "running as root on a file system without the immutable flag: no folder is read-only to root";
    r = Run({"--run-queue"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("pelldra-get: cannot take an order from the queue: " + env_.dataFolder() + ": ", 0), 0u)
        << r.err;
}

// Reads the terminal's output into transcript until it holds text; false at end of output or on time-out.
bool ReadUntil(int master, const std::string& text, std::string& transcript, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (transcript.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{master, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            return false; // the program has gone and closed the terminal
        transcript.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

TEST_F(PelldraGetTest, CredentialsAreAskedOnlyOnATerminalUndisturbedAndWithoutEchoingThePassword)
{
    server_.AddFile("/secret/s1.jpg", "s", "image/jpeg");
    server_.RequireBasic("/secret/", "user", "hidden-pw");
    const std::string url = server_.Url("/secret/s1.jpg");
    EXPECT_EQ(Run({url}).status, 1) << "without a terminal nobody is asked";
    EXPECT_TRUE(FilesUnder(dl_).empty());
    // The other two files arrive once the question is open.
    std::promise<void> asking;
    const std::shared_future<void> asked = asking.get_future().share();
    for (const char* path : {"/open/a.jpg", "/open/b.jpg"})
        server_.AddHandler(path, [asked](const test::TestRequest&) {
            asked.wait_for(20s);
            return test::TestResponse{200, {}, "x", "image/jpeg"};
        });
    const std::string list = env_.root() + "/auth.lst";
    ASSERT_TRUE(test::WriteFile(list, url + "\n" + server_.Url("/open/a.jpg") + "\n" + server_.Url("/open/b.jpg")));
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Only calls that are safe after fork in a threaded program.
        if (::chdir(dl_.c_str()) == 0)
            ::execl(PELLDRA_GET_TOOL, PELLDRA_GET_TOOL, "--list", list.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::string transcript;
    const bool prompted = ReadUntil(master, "ユーザー名: ", transcript, 20s);
    EXPECT_TRUE(prompted) << transcript;
    asking.set_value();
    if (prompted) {
        // Their lines wait for the answer.
        const size_t askedAt = transcript.size();
        ReadUntil(master, "\x01never", transcript, 1s);
        EXPECT_EQ(transcript.substr(askedAt), "") << transcript;
        ASSERT_EQ(::write(master, "user\n", 5), 5);
        EXPECT_TRUE(ReadUntil(master, "パスワード: ", transcript, 20s)) << transcript;
        ASSERT_EQ(::write(master, "hidden-pw\n", 10), 10);
    }
    ReadUntil(master, "\x01never", transcript, 20s); // everything up to the program's end
    ::close(master);
    EXPECT_EQ(WaitExit(pid, 20s), 0) << transcript; // a hang fails instead of holding the test
    // The terminal echoes what is typed (the user name shows), but not the password; nothing comes in between.
    EXPECT_NE(transcript.find("認証が必要です: " + url + "\r\nユーザー名: user\r\nパスワード: "), std::string::npos)
        << transcript;
    EXPECT_EQ(transcript.find("hidden-pw"), std::string::npos) << transcript;
    // The progress line's last state stays on the terminal, with the run's total.
    EXPECT_NE(transcript.find("完了 3/3  失敗 0  要求 3"), std::string::npos) << transcript;
    EXPECT_EQ(test::ReadFile(dl_ + "/s1.jpg"), "s");
}

} // namespace
} // namespace pelldra
