// The settings file's integers and length-prefixed texts.
#include "core/settings/archive.h"

#include "core/text/text_decoding.h"

namespace pelldra {

namespace {

constexpr uint32_t kByteEscape = 0xFF;
constexpr uint32_t kWordEscape = 0xFFFF;

} // namespace

void ArchiveWriter::Unsigned(uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void ArchiveWriter::Int(int32_t value)
{
    Unsigned(static_cast<uint32_t>(value), 4);
}

void ArchiveWriter::Text(std::string_view text)
{
    // Nothing the window holds comes near 4 GiB; a longer text would be cut rather than break the file.
    const uint32_t n = text.size() > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(text.size());
    if (n < kByteEscape) {
        Unsigned(n, 1);
    } else {
        Unsigned(kByteEscape, 1);
        if (n < kWordEscape) {
            Unsigned(n, 2);
        } else {
            Unsigned(kWordEscape, 2);
            Unsigned(n, 4);
        }
    }
    bytes_.append(text.substr(0, n));
}

bool ArchiveReader::Take(size_t n, std::string_view& out)
{
    if (!ok_ || bytes_.size() - pos_ < n)
        return ok_ = false;
    out = bytes_.substr(pos_, n);
    pos_ += n;
    return true;
}

bool ArchiveReader::Unsigned(int size, uint32_t& value)
{
    std::string_view b;
    if (!Take(static_cast<size_t>(size), b))
        return false;
    value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(b[static_cast<size_t>(i)]);
    return true;
}

bool ArchiveReader::Int(int& value)
{
    uint32_t v = 0;
    if (!Unsigned(4, v))
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool ArchiveReader::Text(std::string& text)
{
    // Nothing is taken until the whole text is there: a text cut off by the file's end is not half read.
    uint32_t n = 0;
    std::string_view raw;
    const bool read = Unsigned(1, n) &&
                      (n != kByteEscape || (Unsigned(2, n) && (n != kWordEscape || Unsigned(4, n)))) && Take(n, raw);
    if (!read)
        return false;
    textsUtf8_ = textsUtf8_ && IsValidUtf8(raw);
    if (texts_ == Texts::FromCp932) {
        if (!Cp932ToUtf8(raw, text))
            text.clear();
    } else {
        text.assign(raw);
    }
    return true;
}

} // namespace pelldra
