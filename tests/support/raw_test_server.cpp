// The raw-socket test server and its named fault scripts.
#include "support/raw_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace pelldra::test {

namespace {

std::string Head200(size_t length, const std::string& content_type)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: " + content_type + "\r\nContent-Length: " + std::to_string(length) +
           "\r\nConnection: close\r\n\r\n";
}

std::string Filler(size_t n)
{
    std::string s(n, 'x');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + i % 26);
    return s;
}

} // namespace

RawConnection::RawConnection(int fd, RawTestServer& server) : fd_(fd), server_(server) {}

RawConnection::~RawConnection()
{
    if (fd_ < 0)
        return;
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
}

bool RawConnection::Send(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
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
    for (;;) {
        const size_t end = pending_.find("\r\n\r\n");
        if (end != std::string::npos) {
            head_ = pending_.substr(0, end + 4);
            pending_.erase(0, end + 4);
            std::lock_guard lock(server_.mutex_);
            server_.heads_.push_back(head_);
            return true;
        }
        if (!ReceiveMore())
            return false;
    }
}

RawTestServer::RawTestServer(RawScript script) : script_(std::move(script))
{
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 64) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (listen_fd_ >= 0)
            ::close(listen_fd_);
        throw std::runtime_error("raw test server: cannot listen on loopback");
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
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& t : workers)
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
        if (stopping_) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        std::lock_guard lock(mutex_);
        ++connections_;
        workers_.emplace_back([this, fd] {
            RawConnection c(fd, *this);
            if (c.ReadNextHead())
                script_(c);
        });
    }
}

RawScript RawTestServer::Answer(std::string body, std::string content_type)
{
    return [body = std::move(body), content_type = std::move(content_type)](RawConnection& c) {
        c.Send(Head200(body.size(), content_type) + body);
        ::usleep(20000); // let the peer read everything before the socket goes
    };
}

RawScript RawTestServer::ResetMidBody(size_t declared, size_t sent)
{
    return [declared, sent](RawConnection& c) {
        c.Send(Head200(declared, "application/octet-stream") + Filler(sent));
        ::usleep(50000);
        c.Reset();
    };
}

RawScript RawTestServer::ShortBody(size_t declared, size_t sent)
{
    return [declared, sent](RawConnection& c) {
        c.Send(Head200(declared, "application/octet-stream") + Filler(sent));
        ::usleep(20000);
    };
}

RawScript RawTestServer::StallMidBody(size_t declared, size_t sent)
{
    return [declared, sent](RawConnection& c) {
        c.Send(Head200(declared, "application/octet-stream") + Filler(sent));
        c.HoldOpen();
    };
}

RawScript RawTestServer::NeverAnswer()
{
    return [](RawConnection& c) { c.HoldOpen(); };
}

} // namespace pelldra::test
