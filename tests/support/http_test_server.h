// HTTP servers on loopback for tests: a raw one whose answers are exact byte scripts (resets, stalls, short bodies),
// and one built on it with files, Basic authentication, redirects, handlers of one's own and a request log.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pelldra::test {

class RawTestServer;

// One accepted connection, holding the head of its latest request (request line and headers, up to and including
// the blank line).
class RawConnection
{
public:
    RawConnection(int fd, RawTestServer& server) : fd_(fd), server_(server) {}
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
    // Reads the next request head (keep-alive); false on end, on error, or on bytes that are no HTTP (a TLS hello).
    bool ReadNextHead();
    // Reads the n body bytes that follow the head; false when the peer ends first.
    bool ReadBody(size_t n, std::string& body);

private:
    bool ReceiveMore();

    int fd_;
    RawTestServer& server_;
    std::string head_;
    std::string pending_; // bytes read past the last head
};

// What the server does on one connection once its first request head has arrived; a script may read further
// requests itself.
using RawScript = std::function<void(RawConnection&)>;

// Serves on 127.0.0.1 at a free port from construction to destruction; each connection runs the script on a thread
// of its own.
class RawTestServer
{
public:
    explicit RawTestServer(RawScript script);
    ~RawTestServer();
    RawTestServer(const RawTestServer&) = delete;
    RawTestServer& operator=(const RawTestServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;
    // The heads of the requests that arrived, in order.
    std::vector<std::string> Heads() const;
    // Connections that carried at least one request.
    int ConnectionCount() const;

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

// Promises `declared` body bytes and sends `sent` of them; then resets the connection, ends it in an orderly way, or
// keeps it open without a further byte.
enum class BodyEnd { Reset, Close, Stall };
RawScript PartialBody(size_t declared, size_t sent, BodyEnd end);

struct TestRequest
{
    std::string method;
    std::string path;                                         // without the query
    std::string query;                                        // after "?", empty when none
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent
    std::string body;

    // The first value of a header (case-insensitive name); empty when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

struct TestResponse
{
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string content_type = "application/octet-stream";
};

using TestHandler = std::function<TestResponse(const TestRequest&)>;

// Answers every request on a connection (keep-alive) with a Content-Length. Handlers run on server threads;
// everything here is safe to call while requests are served.
class TestHttpServer
{
public:
    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const;
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;

    // A file at path (exact match). last_modified is an HTTP date, sent when non-empty.
    void AddFile(const std::string& path, std::string body, std::string content_type = "application/octet-stream",
                 std::string last_modified = {});
    // Answers path with status (301, 302, 303, ...) and the given Location; an empty location sends none.
    void AddRedirect(const std::string& path, int status, std::string location);
    // Every path beginning with prefix needs Basic credentials user:pass; otherwise 401 with a Basic challenge.
    void RequireBasic(const std::string& prefix, std::string user, std::string pass);
    // Any answer of one's own, for path exactly.
    void AddHandler(const std::string& path, TestHandler handler);

    // What was asked, in order of arrival.
    std::vector<TestRequest> Requests() const;
    std::vector<TestRequest> RequestsFor(const std::string& path) const;
    int RequestCount() const;
    // Distinct TCP connections that carried at least one request.
    int ConnectionCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pelldra::test
