// A line reader that accepts LF and CR LF line ends.
#include "core/text/text_lines.h"

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
