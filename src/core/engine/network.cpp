// libcurl's global set-up.
#include "core/engine/network.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <csignal>
#include <mutex>
#include <stdexcept>

#include "core/text/text_utils.h"

namespace pelldra {

namespace {

// One part of a URL as libcurl reads it; "" when the URL does not parse or lacks the part.
std::string UrlPart(const std::string& url, CURLUPart part, unsigned int flags = 0)
{
    std::string value;
    CURLU* u = curl_url();
    // Blanks go out as %20; here they must not make the URL unreadable.
    if (u && curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK) {
        char* p = nullptr;
        if (curl_url_get(u, part, &p, flags) == CURLUE_OK && p) {
            value = p;
            curl_free(p);
        }
    }
    curl_url_cleanup(u);
    return value;
}

bool IsLoopback(const std::string& address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) != 1)
        return false;
    return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

} // namespace

void InitNetwork()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // A peer that closes while we write must give an error, not end the process.
        std::signal(SIGPIPE, SIG_IGN);
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw std::runtime_error("curl_global_init failed");
    });
}

bool IsLocalAddress(const std::string& url)
{
    std::string host = AsciiLower(UrlPart(url, CURLUPART_HOST));
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return IsLoopback(host.substr(1, host.size() - 2));
    if (IsLoopback(host))
        return true;
    if (!host.empty() && host.back() == '.') // the root's dot: "localhost." is "localhost"
        host.pop_back();
    return !host.empty() && host.find('.') == std::string::npos;
}

std::string SiteOf(const std::string& url)
{
    const std::string scheme = UrlPart(url, CURLUPART_SCHEME);
    const std::string host = UrlPart(url, CURLUPART_HOST);
    const std::string port = UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    return scheme.empty() || host.empty() || port.empty() ? "" : AsciiLower(scheme + "://" + host + ":" + port);
}

} // namespace pelldra
