// Transfers through a real proxy (tinyproxy started on loopback for the test), and local addresses bypassing it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/engine/auth_area_table.h"
#include "core/engine/fetch_core.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

extern char** environ;

namespace pelldra {
namespace {

using namespace std::chrono_literals;

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// A tinyproxy of the test's own, with its configuration in a temp folder; stopped at the end.
class Tinyproxy
{
public:
    explicit Tinyproxy(const test::TempEnv& env)
    {
        port_ = FreeLoopbackPort();
        const std::string dir = env.makeFolder("proxy");
        const std::string conf = dir + "/tinyproxy.conf";
        test::WriteFile(conf, "Port " + std::to_string(port_) +
                                  "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n"
                                  "LogLevel Info\nLogFile \"" +
                                  dir + "/tinyproxy.log\"\n");
        const char* argv[] = {"tinyproxy", "-d", "-c", conf.c_str(), nullptr};
        if (::posix_spawn(&pid_, kTinyproxy, nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            pid_ = -1;
        for (int i = 0; pid_ > 0 && i < 200 && !Accepts(port_); ++i)
            std::this_thread::sleep_for(25ms);
    }
    ~Tinyproxy()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return pid_ > 0 && Accepts(port_); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

TEST(ProxyTest, RequestsGoThroughTheProxyUnlessLocalAddressesBypassIt)
{
    if (::access(kTinyproxy, X_OK) != 0)
        GTEST_SKIP() << "tinyproxy is not installed at " << kTinyproxy << "; the proxy test cannot run";
    test::TestHttpServer server;
    test::TempEnv env;
    Tinyproxy proxy(env);
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    server.AddFile("/p.jpg", "through", "image/jpeg");
    const std::string folder = env.makeFolder("dl");

    struct Row
    {
        const char* name;
        int32_t bypass;
        bool viaProxy;
    };
    for (const Row& row : std::vector<Row>{{"through the proxy", 0, true}, {"loopback bypasses it", 1, false}}) {
        SCOPED_TRACE(row.name);
        FetchLimits limits;
        limits.stall = 5s;
        FetchContext context;
        context.limits = limits;
        CFetchCore fetch(context);
        DownloadJob job;
        job.Targ = server.Url("/p.jpg");
        job.Dest = folder + "/" + std::to_string(row.bypass) + ".jpg";
        job.Prox = proxy.Address();
        job.ByPa = row.bypass;
        const FetchOutcome out = fetch.Run(job);
        ASSERT_EQ(out.Result, 0) << out.Message;
        EXPECT_EQ(test::ReadFile(job.Dest), "through");
        const std::string via = server.Requests().back().Header("Via");
        EXPECT_EQ(via.find("tinyproxy") != std::string::npos, row.viaProxy) << "Via: " << via;
    }
}

TEST(ProxyTest, AProxyThatCannotBeReachedIsAFailureWithItsText)
{
    test::TestHttpServer server;
    test::TempEnv env;
    server.AddFile("/p.jpg", "x", "image/jpeg");
    CFetchCore fetch(FetchContext{});
    DownloadJob job;
    job.Targ = server.Url("/p.jpg");
    job.Dest = env.makeFolder("dl") + "/p.jpg";
    job.Prox = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    job.ByPa = 0;
    const FetchOutcome out = fetch.Run(job);
    EXPECT_EQ(out.Result, 2);
    EXPECT_FALSE(out.Message.empty());
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_FALSE(test::FileExists(job.Dest));
}

} // namespace
} // namespace pelldra
