// Line-by-line readers over a file or a string; a line comes without its LF or CR LF end.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pelldra {

class LineSource
{
public:
    virtual ~LineSource() = default;
    // The next line without its end; false at the end of the input. A last line without LF is still a line.
    virtual bool NextLine(std::string& line) = 0;
};

// Reads from an open file from its current position; the file stays open and positioned after the last line read.
class FileLineSource final : public LineSource
{
public:
    explicit FileLineSource(std::FILE* file) : file_(file) {}
    bool NextLine(std::string& line) override;

private:
    std::FILE* file_;
};

class StringLineSource final : public LineSource
{
public:
    explicit StringLineSource(std::string_view text) : text_(text) {}
    bool NextLine(std::string& line) override;
    // Byte offset of the first byte not yet read.
    size_t position() const { return pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

} // namespace pelldra
