// The loopback test servers: the raw one with its named fault scripts, and the HTTP server on top of it.
#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <sstream>
#include <stdexcept>

#include "core/text/encoding.h"
#include "core/text/text_utils.h"

namespace pelldra::test {

namespace {

std::string Head(int status, const std::string& content_type, size_t length)
{
    return "HTTP/1.1 " + std::to_string(status) + " \r\nContent-Type: " + content_type +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n";
}

} // namespace

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
    std::unique_lock lock(server_.mutex_);
    server_.cv_.wait(lock, [&] { return server_.stopping_.load(); });
}

// Waits for more bytes in short steps so that stopping the server is noticed; false when the peer or server ended.
bool RawConnection::ReceiveMore()
{
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, 50);
        if (server_.stopping_)
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

bool RawConnection::ReadNextHead()
{
    size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos)
        if (!ReceiveMore() || !std::isupper(static_cast<unsigned char>(pending_[0])))
            return false; // a TLS hello is no request: ended at once, as a plain server would
    head_ = pending_.substr(0, end + 4);
    pending_.erase(0, end + 4);
    std::lock_guard lock(server_.mutex_);
    server_.heads_.push_back(head_);
    return true;
}

bool RawConnection::ReadBody(size_t n, std::string& body)
{
    while (pending_.size() < n)
        if (!ReceiveMore())
            return false;
    body = pending_.substr(0, n);
    pending_.erase(0, n);
    return true;
}

RawTestServer::RawTestServer(RawScript script) : script_(std::move(script))
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 64) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (listen_fd_ >= 0)
            ::close(listen_fd_);
        throw std::runtime_error("test server: cannot listen on loopback");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawTestServer::~RawTestServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    ::shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
    ::close(listen_fd_);
    // The acceptor is gone: nobody adds workers any more.
    for (auto& t : workers_)
        t.join();
}

std::string RawTestServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawTestServer::Heads() const
{
    std::lock_guard lock(mutex_);
    return heads_;
}

int RawTestServer::ConnectionCount() const
{
    std::lock_guard lock(mutex_);
    return connections_;
}

void RawTestServer::AcceptLoop()
{
    for (;;) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (stopping_ || (fd < 0 && errno != EINTR && errno != ECONNABORTED)) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] {
            RawConnection c(fd, *this);
            if (!c.ReadNextHead())
                return;
            {
                std::lock_guard counting(mutex_);
                ++connections_;
            }
            script_(c);
        });
    }
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

struct TestHttpServer::Impl
{
    struct BasicRule
    {
        std::string prefix, user, pass;
    };

    mutable std::mutex mutex; // guards everything below
    std::map<std::string, TestHandler> handlers;
    std::vector<BasicRule> rules;
    std::vector<TestRequest> log;
    RawTestServer raw{[this](RawConnection& c) { Serve(c); }}; // last: stops before what its threads use goes

    static TestRequest Parse(const std::string& head)
    {
        TestRequest r;
        std::istringstream in(head);
        std::string target, line;
        in >> r.method >> target;
        std::getline(in, line);
        while (std::getline(in, line))
            if (const size_t colon = line.find(':'); colon != std::string::npos)
                r.headers.emplace_back(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
        const size_t q = target.find('?');
        r.path = target.substr(0, q);
        r.query = q == std::string::npos ? "" : target.substr(q + 1);
        return r;
    }

    TestResponse Answer(const TestRequest& r)
    {
        TestHandler handler;
        std::vector<BasicRule> rules_now;
        {
            std::lock_guard lock(mutex);
            log.push_back(r);
            if (auto it = handlers.find(r.path); it != handlers.end())
                handler = it->second;
            rules_now = rules;
        }
        for (const auto& rule : rules_now)
            if (r.path.starts_with(rule.prefix) &&
                r.Header("Authorization") != "Basic " + Base64(rule.user + ":" + rule.pass))
                return {401, {{"WWW-Authenticate", "Basic realm=\"test\""}}, "no entry", "text/plain"};
        return handler ? handler(r) : TestResponse{404, {}, "not here", "text/plain"};
    }

    void Serve(RawConnection& c)
    {
        do {
            TestRequest r = Parse(c.head());
            if (!c.ReadBody(std::strtoul(r.Header("Content-Length").c_str(), nullptr, 10), r.body))
                return;
            const TestResponse out = Answer(r);
            std::string answer = Head(out.status, out.content_type, out.body.size());
            for (const auto& [k, v] : out.headers)
                answer += k + ": " + v + "\r\n";
            if (!c.Send(answer + "\r\n" + out.body) || EqualsNoCase(r.Header("Connection"), "close"))
                return;
        } while (c.ReadNextHead());
    }
};

TestHttpServer::TestHttpServer() : impl_(std::make_unique<Impl>()) {}

TestHttpServer::~TestHttpServer() = default;

int TestHttpServer::port() const
{
    return impl_->raw.port();
}

std::string TestHttpServer::Url(const std::string& path) const
{
    return impl_->raw.Url(path);
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
    return impl_->raw.ConnectionCount();
}

} // namespace pelldra::test
