// A raw-socket HTTP server on loopback whose answers are exact byte scripts: resets, stalls, short bodies.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pelldra::test {

// What the server does on one connection, given the connection's socket and the head of its first request
// (request line and headers, up to and including the blank line). A script may read further requests itself.
class RawConnection;
class RawTestServer;
using RawScript = std::function<void(RawConnection&)>;

class RawConnection
{
public:
    RawConnection(int fd, RawTestServer& server);
    // Ends the connection in an orderly way unless it was reset.
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    const std::string& head() const { return head_; }
    // Sends everything; false once the peer is gone.
    bool Send(const std::string& bytes);
    // Closes with a TCP reset instead of an orderly end.
    void Reset();
    // Blocks until the server stops: the peer sees a connection that stays open and silent.
    void HoldOpen();
    // Reads the next request head on this connection (keep-alive); false on end or error.
    bool ReadNextHead();

private:
    bool ReceiveMore();

    int fd_;
    RawTestServer& server_;
    std::string head_;
    std::string pending_; // bytes read past the last head
};

class RawTestServer
{
public:
    explicit RawTestServer(RawScript script);
    ~RawTestServer();
    RawTestServer(const RawTestServer&) = delete;
    RawTestServer& operator=(const RawTestServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const;
    // The heads of the requests that arrived, in order.
    std::vector<std::string> Heads() const;
    int ConnectionCount() const;

    // Named behaviours.
    // Answers 200 with the body and a matching Content-Length, then closes.
    static RawScript Answer(std::string body, std::string content_type = "application/octet-stream");
    // Promises `declared` bytes, sends `sent` bytes of them, then resets the connection.
    static RawScript ResetMidBody(size_t declared, size_t sent);
    // Promises `declared` bytes, sends `sent` bytes of them, then ends the connection in an orderly way.
    static RawScript ShortBody(size_t declared, size_t sent);
    // Promises `declared` bytes, sends `sent` bytes, then keeps the connection open without a further byte.
    static RawScript StallMidBody(size_t declared, size_t sent);
    // Reads the request and never answers.
    static RawScript NeverAnswer();

private:
    friend class RawConnection;
    void AcceptLoop();

    RawScript script_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_; // guards heads_, connections_, workers_
    std::condition_variable cv_;
    std::vector<std::string> heads_;
    int connections_ = 0;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

} // namespace pelldra::test
