// UTF-8 validation and the CP932 conversion of list and order files.
#include "core/text/text_decoding.h"

#include <cerrno>
#include <vector>

namespace pelldra {

bool IsValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        unsigned min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(extra) >= s.size())
            return false; // cut off at the end
        unsigned cp = b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (cp < min || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += static_cast<size_t>(extra) + 1;
    }
    return true;
}

bool Cp932ToUtf8(std::string_view in, std::string& out)
{
    IconvHandle cd("UTF-8", "CP932");
    if (!cd.valid())
        return false;
    out.clear();
    std::vector<char> buffer(4096);
    char* src = const_cast<char*>(in.data()); // iconv's signature; it does not write through it
    size_t left = in.size();
    while (left > 0) {
        char* dst = buffer.data();
        size_t room = buffer.size();
        const size_t r = iconv(cd.get(), &src, &left, &dst, &room);
        out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
        if (r == static_cast<size_t>(-1) && errno != E2BIG)
            return false; // EILSEQ or a character cut off at the end
    }
    char* dst = buffer.data();
    size_t room = buffer.size();
    if (iconv(cd.get(), nullptr, nullptr, &dst, &room) == static_cast<size_t>(-1))
        return false;
    out.append(buffer.data(), static_cast<size_t>(dst - buffer.data()));
    return true;
}

bool DecodeLegacyText(std::string_view bytes, std::string& text)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    if (IsValidUtf8(bytes)) {
        text.assign(bytes);
        return true;
    }
    return Cp932ToUtf8(bytes, text);
}

} // namespace pelldra
