// Text helpers shared by every subsystem: paths and URLs, ASCII case, blanks and line breaks. Positions count bytes.
#pragma once

#include <string>
#include <string_view>

namespace pelldra {

std::string AfterLast(const std::string& s, char ch);
std::string UpToLast(const std::string& s, char ch);
std::string ServerPart(const std::string& url);
// The name a URL gives its file: what follows the last '/' before the fragment. A URL without a path is named
// after its host, without the user and password that may stand before it.
std::string FileNameOfUrl(const std::string& url);
// What follows the last '/' or '\\': a URL may still carry a back slash from a Windows list file.
std::string_view LastPathPart(std::string_view path);
std::string UrlExtension(const std::string& url);
// The same without a copy: what follows the last dot of the last part, up to a '?'.
std::string_view ExtensionPart(std::string_view path);
std::string ChangeExtension(const std::string& path, const std::string& ext);
int CountOccurrences(const std::string& s, const std::string& sub);

// ASCII only: header names, content types and extensions are ASCII, and other bytes stay as they are.
std::string AsciiLower(std::string s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
// Starts with "http://" or "https://", the scheme in any case: the only URLs the program fetches.
bool IsHttpUrl(std::string_view url);

// Blanks are space, tab, CR, LF, vertical tab and form feed. Inline: every header line of every answer asks.
constexpr bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
// Without blanks at either end, or at the end only.
constexpr std::string_view TrimTrailingBlanks(std::string_view s)
{
    size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1]))
        --end;
    return s.substr(0, end);
}
constexpr std::string_view TrimBlanks(std::string_view s)
{
    size_t first = 0;
    while (first < s.size() && IsBlank(s[first]))
        ++first;
    return TrimTrailingBlanks(s.substr(first));
}
// Every CR and LF made a blank, so that a value stays on the one line it is written to.
std::string LineBreaksToBlanks(std::string s);
// A C0 control, DEL, or a C1 control as UTF-8 (a terminal may take U+009B for an escape).
bool HasControlCharacter(std::string_view text);

} // namespace pelldra
