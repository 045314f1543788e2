// Path and URL string helpers; positions count bytes of UTF-8 text.
#pragma once

#include <string>

namespace pelldra {

std::string AfterLast(const std::string& s, char ch);
std::string UpToLast(const std::string& s, char ch);
std::string ServerPart(const std::string& url);
std::string UrlExtension(const std::string& url);
std::string ChangeExtension(const std::string& path, const std::string& ext);
int CountOccurrences(const std::string& s, const std::string& sub);

} // namespace pelldra
