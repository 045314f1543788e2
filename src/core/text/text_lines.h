// A line-by-line reader over a string; a line comes without its LF or CR LF end.
#pragma once

#include <string>
#include <string_view>

namespace pelldra {

class StringLineSource
{
public:
    explicit StringLineSource(std::string_view text) : text_(text) {}
    // The next line without its end; false at the end of the text. A last line without LF is still a line.
    bool NextLine(std::string& line);
    // Byte offset of the first byte not yet read.
    size_t position() const { return pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace pelldra
