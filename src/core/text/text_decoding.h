// Text of files written on the older system: UTF-8 as it is, anything else read as code page 932 through iconv.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace pelldra {

// Owner of an iconv conversion. iconv_open reports failure as (iconv_t)-1, not null, and a descriptor keeps
// shift state between calls: one owner per conversion, never shared between threads.
class IconvHandle
{
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

bool IsValidUtf8(std::string_view s);

// Converts CP932 bytes to UTF-8; false (out unspecified) when the bytes are not CP932.
bool Cp932ToUtf8(std::string_view in, std::string& out);

// The text of a file's bytes: a leading UTF-8 byte-order mark is dropped; bytes that are not UTF-8 are taken as
// CP932. False when they are neither.
bool DecodeLegacyText(std::string_view bytes, std::string& text);

} // namespace pelldra
