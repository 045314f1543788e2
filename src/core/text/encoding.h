// URL form encoding and Base64 (RFC 4648 alphabet, '=' padding).
#pragma once

#include <string>

namespace pelldra {

std::string UrlEncode(const std::string& s);
std::string UrlDecode(const std::string& s);
std::string Base64(const std::string& s);

} // namespace pelldra
