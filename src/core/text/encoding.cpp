// URL form encoding and Base64.
#include "core/text/encoding.h"

namespace pelldra {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A non-hex character is taken "as it comes": its low four bits stand in for the digit, so decoding never fails.
unsigned HexDigitLoose(char c)
{
    const int v = HexValue(c);
    return v >= 0 ? static_cast<unsigned>(v) : static_cast<unsigned char>(c) & 0x0fu;
}

} // namespace

std::string UrlEncode(const std::string& s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() * 3);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0f];
        }
    }
    return out;
}

std::string UrlDecode(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= s.size())
                break; // a '%' without two characters after it ends the text
            out += static_cast<char>((HexDigitLoose(s[i + 1]) << 4) | HexDigitLoose(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Base64(const std::string& s)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((s.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < s.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(s[i]) << 16 | static_cast<unsigned char>(s[i + 1]) << 8 |
                           static_cast<unsigned char>(s[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    const size_t rest = s.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(s[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(s[i + 1]) << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace pelldra
