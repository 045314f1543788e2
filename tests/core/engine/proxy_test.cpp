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
#include <cstdlib>

#include "core/engine/auth_area_table.h"
#include "core/engine/fetch_core.h"
#include "core/engine/network.h"
#include "support/http_test_server.h"
#include "support/temp_env.h"

extern char** environ;

namespace pelldra {
namespace {

using namespace std::chrono_literals;
using test::TestHttpServer;

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

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
        const std::string dir = env.makeFolder("proxy");
        const std::string conf = dir + "/tinyproxy.conf";
        test::WriteFile(conf, "Port " + std::to_string(port_) +
                                  "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n" +
                                  "LogLevel Info\nLogFile \"" + dir + "/tinyproxy.log\"\n");
        const char* argv[] = {"tinyproxy", "-d", "-c", conf.c_str(), nullptr};
        if (::posix_spawn(&pid_, kTinyproxy, nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            pid_ = -1;
        if (pid_ > 0)
            test::WaitUntil([this] { return Accepts(port_); }, 5s);
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
    const int port_ = TestHttpServer().port(); // a loopback port nobody listens on any more
};

class ProxyTest : public ::testing::Test
{
protected:
    ProxyTest() { server.AddFile("/p.jpg", "through", "image/jpeg"); }
    FetchOutcome Fetch(const std::string& proxy, int32_t bypass, const std::string& name)
    {
        DownloadJob job;
        job.Targ = server.Url("/p.jpg"), job.Dest = folder + "/" + name, job.Prox = proxy, job.ByPa = bypass;
        FetchContext context;
        context.limits.stall = 5s;
        return CFetchCore(context).Run(job);
    }

    TestHttpServer server;
    test::TempEnv env;
    const std::string folder = env.makeFolder("dl");
};

TEST_F(ProxyTest, RequestsGoThroughTheProxyUnlessLocalAddressesBypassItAndADeadProxyIsAFailure)
{
    // The job's bypass setting decides, not the environment's exceptions; set before any transfer thread runs.
    ::setenv("no_proxy", "*", 1);
    ::setenv("NO_PROXY", "*", 1);
    struct Unset
    {
        ~Unset() { ::unsetenv("no_proxy"), ::unsetenv("NO_PROXY"); }
    } unset;
    const int deadPort = TestHttpServer().port(); // free again once the temporary is gone
    const FetchOutcome dead = Fetch("127.0.0.1:" + std::to_string(deadPort), 0, "dead.jpg");
    EXPECT_EQ(dead.Result, 2);
    EXPECT_FALSE(dead.Message.empty());
    EXPECT_EQ(server.RequestCount(), 0);
    if (::access(kTinyproxy, X_OK) != 0)
        GTEST_SKIP() << "tinyproxy is not installed at " << kTinyproxy << "; the proxy test cannot run";
    Tinyproxy proxy(env);
    ASSERT_TRUE(proxy.Running()) << "tinyproxy did not start";
    for (const auto& [bypass, viaProxy] : {std::pair{0, true}, std::pair{1, false}}) {
        SCOPED_TRACE("ByPa " + std::to_string(bypass));
        const std::string name = std::to_string(bypass) + ".jpg";
        const FetchOutcome out = Fetch(proxy.Address(), bypass, name);
        ASSERT_EQ(out.Result, 0) << out.Message;
        EXPECT_EQ(test::ReadFile(folder + "/" + name), "through");
        const std::string via = server.Requests().back().Header("Via");
        EXPECT_EQ(via.find("tinyproxy") != std::string::npos, viaProxy) << "Via: " << via;
    }
    EXPECT_FALSE(test::FileExists(folder + "/dead.jpg"));
}

TEST(LocalAddressTest, OnlyLoopbackAndDotlessNamesCountAsLocal)
{
    for (const auto& [url, local] :
         std::initializer_list<std::pair<const char*, bool>>{{"http://localhost/a.jpg", true},
                                                             {"http://LOCALHOST.:8080/a.jpg", true},
                                                             {"http://intranet/a b.jpg", true},
                                                             {"http://127.1.2.3/a.jpg", true},
                                                             {"http://[::1]/a.jpg", true},
                                                             {"http://[::ffff:127.0.0.1]/a.jpg", true},
                                                             {"http://127.example.com/a.jpg", false},
                                                             {"http://10.0.0.1/a.jpg", false},
                                                             {"http://[::ffff:10.0.0.1]/", false},
                                                             {"http://example.com./a.jpg", false},
                                                             {"not a url", false}}) {
        EXPECT_EQ(IsLocalAddress(url), local) << url;
    }
}

TEST_F(ProxyTest, AnHttpsTunnelThatTheProxyRefusesOrThatLeadsToNoTrustedServerIsAFailure)
{
    const std::string tunnel = "127.0.0.1:" + std::to_string(server.port()); // the server plays the proxy too
    for (const std::string answer :
         {"407 Proxy Authentication Required\r\nContent-Length: 0", "502 Bad Gateway", "200 Connection established"}) {
        SCOPED_TRACE(answer);
        server.AddScript(tunnel, [answer](test::RawConnection& conn) {
            conn.Send("HTTP/1.1 " + answer + "\r\n\r\n");
            conn.AwaitPeer(); // the TLS hello, when the tunnel is open; no certificate comes back
        });
        DownloadJob job;
        job.Targ = "https://" + tunnel + "/p.jpg", job.Dest = folder + "/p.jpg", job.Prox = tunnel, job.ByPa = 0;
        const FetchOutcome out = CFetchCore(FetchContext{}).Run(job);
        EXPECT_EQ(out.Result, 2);
        EXPECT_FALSE(out.Message.empty());
    }
    EXPECT_FALSE(test::FileExists(folder + "/p.jpg"));
}

} // namespace
} // namespace pelldra
