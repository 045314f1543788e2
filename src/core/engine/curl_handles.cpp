// libcurl's handle owners and the shared DNS cache.
#include "core/engine/curl_handles.h"

#include <stdexcept>

namespace pelldra {

bool CurlSlist::Append(const std::string& line)
{
    curl_slist* next = curl_slist_append(head_, line.c_str());
    if (!next)
        return false;
    head_ = next;
    return true;
}

void CurlSlist::Clear()
{
    curl_slist_free_all(head_);
    head_ = nullptr;
}

CurlShare::CurlShare()
{
    InitNetwork();
    share_ = curl_share_init();
    if (!share_)
        throw std::runtime_error("curl_share_init failed");
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlShare::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlShare::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
}

CurlShare::~CurlShare()
{
    curl_share_cleanup(share_);
}

void CurlShare::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self)
{
    static_cast<CurlShare*>(self)->locks_[static_cast<size_t>(data)].lock();
}

void CurlShare::Unlock(CURL*, curl_lock_data data, void* self)
{
    static_cast<CurlShare*>(self)->locks_[static_cast<size_t>(data)].unlock();
}

} // namespace pelldra
