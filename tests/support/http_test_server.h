// An HTTP server on loopback for tests: files, Basic authentication, redirects, handlers of one's own, exact byte
// scripts where a fault must be exact (resets, stalls, short bodies), and a request log.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pelldra::test {

class RawConnection;
// What the server does with a connection once a request for the script's path has arrived on it; the connection ends
// with the script.
using RawScript = std::function<void(RawConnection&)>;

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

// Serves on 127.0.0.1 at a free port from construction to destruction, each connection on a thread of its own and
// every answer with a Content-Length (keep-alive). Handlers and scripts run on those threads; everything here is safe
// to call while requests are served.
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
    // Bytes of one's own on the connection, for path exactly.
    void AddScript(const std::string& path, RawScript script);

    // What was asked, in order of arrival.
    std::vector<TestRequest> Requests() const;
    std::vector<TestRequest> RequestsFor(const std::string& path) const;
    int RequestCount() const;
    // Distinct TCP connections that carried at least one request.
    int ConnectionCount() const;

private:
    friend class RawConnection;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// One connection as a script sees it.
class RawConnection
{
public:
    RawConnection(int fd, TestHttpServer& server) : fd_(fd), server_(server) {}
    // Ends the connection in an orderly way unless it was reset.
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    // Sends everything; false once the peer is gone.
    bool Send(const std::string& bytes);
    // Closes with a TCP reset instead of an orderly end.
    void Reset();
    // Blocks until the server stops: the peer sees a connection that stays open and silent.
    void HoldOpen();
    // Blocks until the peer sends more (its next request) or leaves.
    void AwaitPeer() { ReceiveMore(); }

private:
    friend struct TestHttpServer::Impl;
    // The next request on the connection; false on end, on error, or on bytes that are no HTTP (a TLS hello).
    bool ReadRequest(TestRequest& request);
    bool ReceiveMore();

    int fd_;
    TestHttpServer& server_;
    std::string pending_; // bytes read past the last head
};

// Promises `declared` body bytes and sends `sent` of them; then resets the connection, ends it in an orderly way, or
// keeps it open without a further byte.
enum class BodyEnd { Reset, Close, Stall };
RawScript PartialBody(size_t declared, size_t sent, BodyEnd end);

} // namespace pelldra::test
