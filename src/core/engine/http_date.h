// The time an HTTP date header names.
#pragma once

#include <ctime>
#include <string_view>

namespace pelldra {

// Seconds since the epoch, or -1 when the text is no date. The form servers send today ("Sun, 06 Nov 1994
// 08:49:37 GMT") is read directly; the older forms go through libcurl's reader, which costs a series of small
// files more time than its transfers' own parsing.
time_t HttpDateSeconds(std::string_view text);

} // namespace pelldra
