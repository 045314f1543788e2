// The once-per-process network set-up, declared without libcurl's header for the front ends.
#pragma once

#include <string>

namespace pelldra {

// curl_global_init and SIGPIPE ignored, once per process. libcurl wants this before any thread uses it, so the
// program calls it at start; every engine and transfer calls it too, which is harmless after the first time.
void InitNetwork();

// Whether the URL's host is one that "<local>" sends past the proxy: a loopback address (IPv4, IPv6 or IPv4 in
// IPv6), "localhost", or a name without a dot. A URL that does not parse is not local.
bool IsLocalAddress(const std::string& url);
// Scheme, host and port of a URL, in lower case, the port filled in when it is the scheme's own; "" when the URL
// does not parse.
std::string SiteOf(const std::string& url);

} // namespace pelldra
