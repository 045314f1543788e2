// Path and URL string helpers; positions count bytes of UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace pelldra {

std::string AfterLast(const std::string& s, char ch);
std::string UpToLast(const std::string& s, char ch);
std::string ServerPart(const std::string& url);
std::string UrlExtension(const std::string& url);
std::string ChangeExtension(const std::string& path, const std::string& ext);
int CountOccurrences(const std::string& s, const std::string& sub);

// ASCII only: header names, content types and extensions are ASCII, and other bytes stay as they are.
std::string AsciiLower(std::string s);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Without blanks, tabs and line ends at either end.
std::string_view TrimBlanks(std::string_view s);

} // namespace pelldra
