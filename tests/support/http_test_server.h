// An HTTP server on loopback for tests: files, Basic authentication, redirects, POST echo and a request log.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelldra::test {

struct TestRequest
{
    std::string method;
    std::string path;                                         // without the query
    std::string query;                                        // after "?", empty when none
    std::vector<std::pair<std::string, std::string>> headers; // sorted by name (the raw server keeps the order)
    std::string body;
    int remote_port = 0; // tells connections apart: one client port per TCP connection

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

// Serves on 127.0.0.1 at a free port from construction to destruction. Handlers run on server threads; everything
// here is safe to call while requests are served.
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
    // Answers path with the request echoed: the body is the request body; the request headers come back as
    // "X-Echo-<name>" headers.
    void AddEcho(const std::string& path);
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
