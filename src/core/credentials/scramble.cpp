// Password scrambling.
#include "core/credentials/scramble.h"

#include <ctime>

#include "core/text/encoding.h"

namespace pelldra {

namespace {

constexpr unsigned kFirstKey = 32;
constexpr unsigned kLastKey = 57;

// The key walks 32..57 and starts over. A start key read from a damaged file may lie outside that range; it then
// counts up as a byte would until it meets the range.
unsigned NextKey(unsigned key)
{
    return key == kLastKey ? kFirstKey : (key + 1) & 0xffu;
}

} // namespace

std::string ScramblePassword(const std::string& text)
{
    return ScramblePassword(text, static_cast<std::int64_t>(std::time(nullptr)));
}

std::string ScramblePassword(const std::string& text, std::int64_t now)
{
    if (text.empty())
        return "";
    const auto start = static_cast<unsigned>(kFirstKey + (now % 26 + 26) % 26);
    std::string out;
    out.reserve(text.size() + 1);
    out += static_cast<char>(start);
    unsigned key = start;
    for (const char c : text) {
        out += static_cast<char>((static_cast<unsigned char>(c) + key) & 0xffu);
        key = NextKey(key);
    }
    return UrlEncode(out);
}

std::string UnscramblePassword(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    const std::string bytes = UrlDecode(text.substr(first, last - first + 1));
    if (bytes.empty())
        return "";
    unsigned key = static_cast<unsigned char>(bytes[0]);
    std::string out;
    out.reserve(bytes.size() - 1);
    for (size_t i = 1; i < bytes.size(); ++i) {
        out += static_cast<char>((static_cast<unsigned char>(bytes[i]) - key) & 0xffu);
        key = NextKey(key);
    }
    return out;
}

} // namespace pelldra
