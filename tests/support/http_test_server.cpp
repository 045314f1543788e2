// The loopback test server: connections, scripts, and requests answered through handlers.
#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/text/encoding.h"
#include "core/text/text_utils.h"

namespace pelldra::test {

namespace {

std::string Head(int status, const std::string& content_type, size_t length)
{
    return "HTTP/1.1 " + std::to_string(status) + " \r\nContent-Type: " + content_type +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n";
}

struct BasicRule
{
    std::string prefix, user, pass;
};

TestResponse Answer(const TestRequest& r, const TestHandler& handler, const std::vector<BasicRule>& rules)
{
    for (const auto& rule : rules)
        if (r.path.starts_with(rule.prefix) &&
            r.Header("Authorization") != "Basic " + Base64(rule.user + ":" + rule.pass))
            return {401, {{"WWW-Authenticate", "Basic realm=\"test\""}}, "no entry", "text/plain"};
    return handler ? handler(r) : TestResponse{404, {}, "not here", "text/plain"};
}

} // namespace

struct TestHttpServer::Impl
{
    int listen_fd = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptor;
    std::vector<std::thread> workers; // added by the acceptor only

    mutable std::mutex mutex; // guards everything below
    std::condition_variable stopped;
    std::map<std::string, TestHandler> handlers;
    std::map<std::string, RawScript> scripts;
    std::vector<BasicRule> rules;
    std::vector<TestRequest> log;
    int connections = 0;

    void Accept(TestHttpServer& server)
    {
        for (;;) {
            const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (stopping || (fd < 0 && errno != EINTR && errno != ECONNABORTED)) {
                if (fd >= 0)
                    ::close(fd);
                return;
            }
            if (fd < 0)
                continue;
            const timeval sendLimit{10, 0}; // a peer that stops reading never holds the server's end
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
            workers.emplace_back([this, &server, fd] {
                RawConnection c(fd, server);
                Serve(c);
            });
        }
    }

    void Serve(RawConnection& c)
    {
        TestRequest r;
        for (int served = 0; c.ReadRequest(r); ++served, r = {}) {
            TestHandler handler;
            RawScript script;
            std::vector<BasicRule> rules_now;
            {
                std::lock_guard lock(mutex);
                log.push_back(r);
                connections += served == 0;
                if (auto it = handlers.find(r.path); it != handlers.end())
                    handler = it->second;
                if (auto it = scripts.find(r.path); it != scripts.end())
                    script = it->second;
                rules_now = rules;
            }
            if (script)
                return script(c);
            const TestResponse out = Answer(r, handler, rules_now);
            std::string answer = Head(out.status, out.content_type, out.body.size());
            for (const auto& [k, v] : out.headers)
                answer += k + ": " + v + "\r\n";
            if (!c.Send(answer + "\r\n" + out.body) || EqualsNoCase(r.Header("Connection"), "close"))
                return;
        }
    }
};

RawConnection::~RawConnection()
{
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
}

bool RawConnection::Send(const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR)
            return false;
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    return true;
}

void RawConnection::Reset()
{
    linger l{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd_);
    fd_ = -1;
}

void RawConnection::HoldOpen()
{
    TestHttpServer::Impl& s = *server_.impl_;
    std::unique_lock lock(s.mutex);
    s.stopped.wait(lock, [&] { return s.stopping.load(); });
}

// Waits for more bytes in short steps so that stopping the server is noticed; false when the peer or server ended.
bool RawConnection::ReceiveMore()
{
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, 50);
        if (server_.impl_->stopping)
            return false;
        if (r <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        pending_.append(buf, static_cast<size_t>(n));
        return true;
    }
}

bool RawConnection::ReadRequest(TestRequest& r)
{
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos)
        if (!ReceiveMore() || !std::isupper(static_cast<unsigned char>(pending_[0])))
            return false; // a TLS hello is no request: ended at once, as a plain server would
    std::istringstream head(pending_.substr(0, end + 4));
    pending_.erase(0, end + 4);
    std::string target, line;
    head >> r.method >> target;
    std::getline(head, line);
    while (std::getline(head, line))
        if (const size_t colon = line.find(':'); colon != std::string::npos)
            r.headers.emplace_back(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
    const size_t q = target.find('?');
    r.path = target.substr(0, q);
    r.query = q == std::string::npos ? "" : target.substr(q + 1);
    const size_t length = std::strtoul(r.Header("Content-Length").c_str(), nullptr, 10);
    while (pending_.size() < length)
        if (!ReceiveMore())
            return false;
    r.body = pending_.substr(0, length);
    pending_.erase(0, length);
    return true;
}

RawScript PartialBody(size_t declared, size_t sent, BodyEnd end)
{
    return [=](RawConnection& c) {
        c.Send(Head(200, "application/octet-stream", declared) + "Connection: close\r\n\r\n" + std::string(sent, 'x'));
        if (end == BodyEnd::Stall)
            return c.HoldOpen();
        ::usleep(end == BodyEnd::Reset ? 50000 : 20000); // let the peer read what was sent first
        if (end == BodyEnd::Reset)
            c.Reset();
    };
}

std::string TestRequest::Header(const std::string& name) const
{
    for (const auto& [k, v] : headers)
        if (EqualsNoCase(k, name))
            return v;
    return {};
}

bool TestRequest::HasHeader(const std::string& name) const
{
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return EqualsNoCase(h.first, name); });
}

TestHttpServer::TestHttpServer() : impl_(std::make_unique<Impl>())
{
    Impl& s = *impl_;
    s.listen_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (s.listen_fd < 0 || ::bind(s.listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s.listen_fd, 64) != 0 || ::getsockname(s.listen_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (s.listen_fd >= 0)
            ::close(s.listen_fd);
        throw std::runtime_error("test server: cannot listen on loopback");
    }
    s.port = ntohs(addr.sin_port);
    s.acceptor = std::thread([this] { impl_->Accept(*this); });
}

TestHttpServer::~TestHttpServer()
{
    Impl& s = *impl_;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
    }
    s.stopped.notify_all();
    ::shutdown(s.listen_fd, SHUT_RDWR);
    s.acceptor.join();
    ::close(s.listen_fd);
    for (auto& t : s.workers)
        t.join();
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
    TestResponse r{200, {}, std::move(body), std::move(content_type)};
    if (!last_modified.empty())
        r.headers.emplace_back("Last-Modified", std::move(last_modified));
    AddHandler(path, [r](const TestRequest&) { return r; });
}

void TestHttpServer::AddRedirect(const std::string& path, int status, std::string location)
{
    TestResponse r{status, {}, "moved", "text/html"};
    if (!location.empty())
        r.headers.emplace_back("Location", std::move(location));
    AddHandler(path, [r](const TestRequest&) { return r; });
}

void TestHttpServer::RequireBasic(const std::string& prefix, std::string user, std::string pass)
{
    std::lock_guard lock(impl_->mutex);
    impl_->rules.push_back({prefix, std::move(user), std::move(pass)});
}

void TestHttpServer::AddHandler(const std::string& path, TestHandler handler)
{
    std::lock_guard lock(impl_->mutex);
    impl_->handlers[path] = std::move(handler);
}

void TestHttpServer::AddScript(const std::string& path, RawScript script)
{
    std::lock_guard lock(impl_->mutex);
    impl_->scripts[path] = std::move(script);
}

std::vector<TestRequest> TestHttpServer::Requests() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->log;
}

std::vector<TestRequest> TestHttpServer::RequestsFor(const std::string& path) const
{
    std::vector<TestRequest> out = Requests();
    std::erase_if(out, [&](const TestRequest& r) { return r.path != path; });
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
    return impl_->connections;
}

} // namespace pelldra::test
