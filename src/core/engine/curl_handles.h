// Owners of libcurl handles and the DNS cache shared between transfers.
#pragma once

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "core/engine/network.h"

namespace pelldra {

struct CurlEasyDeleter
{
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
// An easy handle keeps its connections open between transfers: reuse one per worker rather than making new ones.
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

struct CurlMultiDeleter
{
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
// A multi handle of a transfer's own holds the connection of its easy handle between requests.
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

// A header list; curl_slist_append returns a new head (or null on failure), so the owner holds the head.
class CurlSlist
{
public:
    CurlSlist() = default;
    ~CurlSlist() { curl_slist_free_all(head_); }
    CurlSlist(const CurlSlist&) = delete;
    CurlSlist& operator=(const CurlSlist&) = delete;

    // False when libcurl could not take the line.
    bool Append(const std::string& line);
    curl_slist* get() const { return head_; }
    void Clear();

private:
    curl_slist* head_ = nullptr;
};

// The DNS cache shared by every transfer of an engine. Only DNS is shared: libcurl of this vintage does not let
// threads share connections. Must outlive every easy handle it is set on.
class CurlShare
{
public:
    CurlShare();
    ~CurlShare();
    CurlShare(const CurlShare&) = delete;
    CurlShare& operator=(const CurlShare&) = delete;

    CURLSH* get() const { return share_; }

private:
    static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void Unlock(CURL*, curl_lock_data data, void* self);

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

} // namespace pelldra
