// The loopback HTTP test server on cpp-httplib.
#include "support/http_test_server.h"

#include <httplib.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "core/text/encoding.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PELLDRA_TEST_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(PELLDRA_TEST_TSAN)
// cpp-httplib comes as a prebuilt library that ThreadSanitizer cannot see into, so the hand-offs inside it look like
// races. Only frames of that library are excused; the program's own threads never run in it.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libcpp-httplib.so\n";
}
#endif

namespace pelldra::test {

namespace {

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct BasicRule
{
    std::string prefix;
    std::string user;
    std::string pass;
};

} // namespace

std::string TestRequest::Header(const std::string& name) const
{
    for (const auto& [k, v] : headers)
        if (SameName(k, name))
            return v;
    return {};
}

bool TestRequest::HasHeader(const std::string& name) const
{
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return SameName(h.first, name); });
}

struct TestHttpServer::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex; // guards everything below
    std::map<std::string, TestHandler> handlers;
    std::vector<BasicRule> rules;
    std::vector<TestRequest> log;
    std::set<int> ports;

    void Serve(const httplib::Request& req, httplib::Response& res)
    {
        TestRequest r;
        r.method = req.method;
        r.path = req.path;
        const size_t q = req.target.find('?');
        if (q != std::string::npos)
            r.query = req.target.substr(q + 1);
        for (const auto& [k, v] : req.headers)
            r.headers.emplace_back(k, v);
        r.body = req.body;
        r.remote_port = req.remote_port;

        TestHandler handler;
        std::vector<BasicRule> rules_now;
        {
            std::lock_guard lock(mutex);
            log.push_back(r);
            ports.insert(req.remote_port);
            auto it = handlers.find(r.path);
            if (it != handlers.end())
                handler = it->second;
            rules_now = rules;
        }
        for (const auto& rule : rules_now) {
            if (r.path.compare(0, rule.prefix.size(), rule.prefix) != 0)
                continue;
            if (r.Header("Authorization") != "Basic " + Base64(rule.user + ":" + rule.pass)) {
                res.status = 401;
                res.set_header("WWW-Authenticate", "Basic realm=\"test\"");
                res.set_content("no entry", "text/plain");
                return;
            }
        }
        if (!handler) {
            res.status = 404;
            res.set_content("not here", "text/plain");
            return;
        }
        TestResponse out = handler(r);
        res.status = out.status;
        for (const auto& [k, v] : out.headers)
            res.set_header(k, v);
        res.set_content(out.body, out.content_type);
    }
};

TestHttpServer::TestHttpServer() : impl_(std::make_unique<Impl>())
{
    auto& s = impl_->server;
    // Enough workers for ten slots holding keep-alive connections at once.
    s.new_task_queue = [] { return new httplib::ThreadPool(24); };
    s.set_keep_alive_max_count(100000);
    s.set_keep_alive_timeout(2);
    // Headers and body go in separate writes; without this, delayed ACKs add 40 ms to every answer.
    s.set_tcp_nodelay(true);
    auto serve = [this](const httplib::Request& req, httplib::Response& res) { impl_->Serve(req, res); };
    s.Get(".*", serve);
    s.Post(".*", serve);
    s.Put(".*", serve);
    s.Delete(".*", serve);
    impl_->port = s.bind_to_any_port("127.0.0.1");
    if (impl_->port <= 0)
        throw std::runtime_error("test server: cannot bind a loopback port");
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    while (!s.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer()
{
    impl_->server.stop();
    if (impl_->thread.joinable())
        impl_->thread.join();
}

int TestHttpServer::port() const
{
    return impl_->port;
}

std::string TestHttpServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(impl_->port) + path;
}

void TestHttpServer::AddFile(const std::string& path, std::string body, std::string content_type,
                             std::string last_modified)
{
    AddHandler(path, [body = std::move(body), content_type = std::move(content_type),
                      last_modified = std::move(last_modified)](const TestRequest&) {
        TestResponse r;
        r.body = body;
        r.content_type = content_type;
        if (!last_modified.empty())
            r.headers.emplace_back("Last-Modified", last_modified);
        return r;
    });
}

void TestHttpServer::AddRedirect(const std::string& path, int status, std::string location)
{
    AddHandler(path, [status, location = std::move(location)](const TestRequest&) {
        TestResponse r;
        r.status = status;
        r.content_type = "text/html";
        r.body = "moved";
        if (!location.empty())
            r.headers.emplace_back("Location", location);
        return r;
    });
}

void TestHttpServer::RequireBasic(const std::string& prefix, std::string user, std::string pass)
{
    std::lock_guard lock(impl_->mutex);
    impl_->rules.push_back({prefix, std::move(user), std::move(pass)});
}

void TestHttpServer::AddEcho(const std::string& path)
{
    AddHandler(path, [](const TestRequest& req) {
        TestResponse r;
        r.body = req.body;
        r.content_type = "text/plain";
        for (const auto& [k, v] : req.headers)
            r.headers.emplace_back("X-Echo-" + k, v);
        return r;
    });
}

void TestHttpServer::AddHandler(const std::string& path, TestHandler handler)
{
    std::lock_guard lock(impl_->mutex);
    impl_->handlers[path] = std::move(handler);
}

std::vector<TestRequest> TestHttpServer::Requests() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

std::vector<TestRequest> TestHttpServer::RequestsFor(const std::string& path) const
{
    std::lock_guard lock(impl_->mutex);
    std::vector<TestRequest> out;
    std::copy_if(impl_->log.begin(), impl_->log.end(), std::back_inserter(out),
                 [&](const TestRequest& r) { return r.path == path; });
    return out;
}

int TestHttpServer::RequestCount() const
{
    std::lock_guard lock(impl_->mutex);
    return static_cast<int>(impl_->log.size());
}

int TestHttpServer::ConnectionCount() const
{
    std::lock_guard lock(impl_->mutex);
    return static_cast<int>(impl_->ports.size());
}

} // namespace pelldra::test
