// Line readers that accept LF and CR LF line ends.
#include "core/text/text_lines.h"

#include <cstdlib>

namespace pelldra {

namespace {

void DropLineEnd(std::string& line)
{
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
}

} // namespace

bool FileLineSource::NextLine(std::string& line)
{
    line.clear();
    if (!file_)
        return false;
    // getline keeps NUL bytes and has no length limit other than the line itself.
    char* buf = nullptr;
    size_t cap = 0;
    const ssize_t n = ::getline(&buf, &cap, file_);
    if (n >= 0)
        line.assign(buf, static_cast<size_t>(n));
    std::free(buf);
    if (n < 0)
        return false;
    DropLineEnd(line);
    return true;
}

bool StringLineSource::NextLine(std::string& line)
{
    line.clear();
    if (pos_ >= text_.size())
        return false;
    const size_t lf = text_.find('\n', pos_);
    const size_t end = lf == std::string_view::npos ? text_.size() : lf + 1;
    line.assign(text_.substr(pos_, end - pos_));
    pos_ = end;
    DropLineEnd(line);
    return true;
}

} // namespace pelldra
