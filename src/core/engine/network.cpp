// libcurl's global set-up.
#include "core/engine/network.h"

#include <curl/curl.h>

#include <csignal>
#include <mutex>
#include <stdexcept>

namespace pelldra {

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

} // namespace pelldra
