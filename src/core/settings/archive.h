// The settings file's byte items: 32-bit little-endian integers and length-prefixed texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelldra {

// A text's length prefix: one byte below 255; else 255 and a 16-bit length below 65535; else 255, 65535 and a
// 32-bit length. Every number is little-endian.
class ArchiveWriter
{
public:
    void Int(int32_t value);
    void Text(std::string_view text);
    const std::string& bytes() const { return bytes_; }

private:
    void Unsigned(uint32_t value, int size);

    std::string bytes_;
};

// Reads the items of ArchiveWriter in order. Once an item runs past the end, it and every later one fail and
// leave their target unchanged, so that a short file keeps what came before the damage.
class ArchiveReader
{
public:
    // How the texts of the file are taken: files of the older program hold code page 932.
    enum class Texts {
        AsStored,
        FromCp932, // a text that is not code page 932 either comes back empty
    };

    explicit ArchiveReader(std::string_view bytes, Texts texts = Texts::AsStored) : bytes_(bytes), texts_(texts) {}

    bool Int(int& value);
    bool Text(std::string& text);

    bool ok() const { return ok_; }
    // Every text read so far was UTF-8 as stored.
    bool TextsWereUtf8() const { return textsUtf8_; }

private:
    bool Take(size_t n, std::string_view& out);
    bool Unsigned(int size, uint32_t& value);

    std::string_view bytes_;
    size_t pos_ = 0;
    Texts texts_;
    bool ok_ = true;
    bool textsUtf8_ = true;
};

} // namespace pelldra
