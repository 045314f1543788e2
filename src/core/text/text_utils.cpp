// Path, URL, case and blank helpers.
#include "core/text/text_utils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace pelldra {

std::string AfterLast(const std::string& s, char ch)
{
    const size_t p = s.rfind(ch);
    return p == std::string::npos ? s : s.substr(p + 1);
}

std::string UpToLast(const std::string& s, char ch)
{
    const size_t p = s.rfind(ch);
    return p == std::string::npos ? s : s.substr(0, p + 1);
}

std::string ServerPart(const std::string& url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos)
        return "";
    const size_t slash = url.find('/', scheme + 3);
    return slash == std::string::npos ? url : url.substr(0, slash);
}

std::string FileNameOfUrl(const std::string& url)
{
    // The fragment is never sent to the server: it names nothing.
    const std::string sent = url.substr(0, url.find('#'));
    const size_t scheme = sent.find("://");
    if (scheme != std::string::npos && sent.find('/', scheme + 3) == std::string::npos) {
        // "user:password@" is no part of a name: a password must not end up in a file name or a status line.
        const size_t at = sent.rfind('@', sent.find('?', scheme + 3));
        if (at != std::string::npos && at > scheme)
            return sent.substr(at + 1);
    }
    return AfterLast(sent, '/');
}

std::string_view LastPathPart(std::string_view path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (path[i - 1] == '/' || path[i - 1] == '\\')
            return path.substr(i);
    return path;
}

std::string_view ExtensionPart(std::string_view path)
{
    const std::string_view name = LastPathPart(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string_view ext = name.substr(dot + 1);
    return ext.substr(0, ext.find('?'));
}

std::string UrlExtension(const std::string& url)
{
    return std::string(ExtensionPart(url));
}

std::string ChangeExtension(const std::string& path, const std::string& ext)
{
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + "." + ext;
    return path.substr(0, dot) + "." + ext;
}

int CountOccurrences(const std::string& s, const std::string& sub)
{
    if (sub.empty())
        return 0;
    int n = 0;
    for (size_t p = s.find(sub); p != std::string::npos; p = s.find(sub, p + 1))
        ++n;
    return n;
}

std::string AsciiLower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

namespace {

// Eight bytes at a time, each of 'A' to 'Z' made lower case and every other byte kept: header names and media
// types are compared for every answer.
uint64_t LowerEight(uint64_t w)
{
    constexpr uint64_t kHigh = 0x8080808080808080u;
    const uint64_t low7 = w & ~kHigh;                  // no carry from one byte into the next below
    const uint64_t fromA = low7 + 0x3f3f3f3f3f3f3f3fu; // high bit set from 'A' on
    const uint64_t pastZ = low7 + 0x2525252525252525u; // high bit set from 'Z' + 1 on
    const uint64_t upper = fromA & ~pastZ & ~w & kHigh;
    return w | (upper >> 2); // 0x80 >> 2 is the case bit
}

uint64_t LoadEight(const char* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const size_t n = a.size();
    if (n < 8) {
        const auto lower = [](unsigned c) { return c - 'A' < 26u ? c | 0x20u : c; };
        for (size_t i = 0; i < n; ++i)
            if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    }
    const auto same = [&](size_t i) {
        return LowerEight(LoadEight(a.data() + i)) == LowerEight(LoadEight(b.data() + i));
    };
    for (size_t i = 0; i + 8 < n; i += 8)
        if (!same(i))
            return false;
    return same(n - 8); // the last eight, overlapping what was compared already
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool IsHttpUrl(std::string_view url)
{
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

std::string LineBreaksToBlanks(std::string s)
{
    // Most lines have none: they go back untouched.
    if (s.find('\n') == std::string::npos && s.find('\r') == std::string::npos)
        return s;
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

bool HasControlCharacter(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F)
            return true;
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F)
                return true;
        }
    }
    return false;
}

} // namespace pelldra
