// The once-per-process network set-up, declared without libcurl's header for the front ends.
#pragma once

namespace pelldra {

// curl_global_init and SIGPIPE ignored, once per process. libcurl wants this before any thread uses it, so the
// program calls it at start; every engine and transfer calls it too, which is harmless after the first time.
void InitNetwork();

} // namespace pelldra
