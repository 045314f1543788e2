// Decimal digit-string arithmetic.
#include "core/sequence/digits.h"

#include <algorithm>
#include <cstdlib>

namespace pelldra {

namespace {

constexpr size_t kChunk = 6;

// One up, digit by digit with the carry: a series steps its number once for every file.
std::string StepUpShort(const std::string& d, bool keepWidth)
{
    std::string r = d;
    size_t i = r.size();
    while (i > 0 && r[i - 1] == '9')
        r[--i] = '0';
    if (i == 0)
        r.insert(r.begin(), '1');
    else
        ++r[i - 1];
    if (!keepWidth)
        r.erase(0, std::min(r.find_first_not_of('0'), r.size() - 1));
    return r;
}

// Strings of up to six digits are counted as numbers.
std::string StepShort(const std::string& d, bool keepWidth, bool up)
{
    if (up && d.find_first_not_of("0123456789") == std::string::npos)
        return StepUpShort(d, keepWidth);
    long v = std::strtol(d.c_str(), nullptr, 10);
    v += up ? 1 : -1;
    if (v < 0)
        v = 0; // callers never step below zero; keep the result a digit string all the same
    std::string r = std::to_string(v);
    return keepWidth ? PadZeros(r, static_cast<int>(d.size())) : r;
}

// Longer strings carry chunk by chunk: every trailing "999999" (down: "000000") chunk wraps, the chunk before the
// wrapped ones steps, and what lies left of it is kept as it is. A head of at most six digits is stepped as a
// number, with keepWidth deciding its zero fill. One pass, so any length is stepped in linear time.
std::string StepDigits(const std::string& d, bool keepWidth, bool up)
{
    if (d.empty())
        return "";
    if (d.size() <= kChunk)
        return StepShort(d, keepWidth, up);
    const char* wrap = up ? "999999" : "000000";
    size_t pos = d.size(); // the wrapped chunks are d[pos, size)
    while (pos > kChunk && d.compare(pos - kChunk, kChunk, wrap) == 0)
        pos -= kChunk;
    std::string r;
    r.reserve(d.size() + 1);
    if (pos > kChunk) {
        r.append(d, 0, pos - kChunk);
        r += PadZeros(StepShort(d.substr(pos - kChunk, kChunk), false, up), static_cast<int>(kChunk));
    } else {
        r += StepShort(d.substr(0, pos), keepWidth, up);
    }
    const char* wrapped = up ? "000000" : "999999";
    for (size_t k = pos; k < d.size(); k += kChunk)
        r += wrapped;
    return r;
}

} // namespace

std::string PadZeros(const std::string& s, int width)
{
    if (width > 0 && s.size() < static_cast<size_t>(width))
        return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
    return s;
}

std::string IncDigits(const std::string& digits, bool keepWidth)
{
    return StepDigits(digits, keepWidth, true);
}

std::string DecDigits(const std::string& digits, bool keepWidth)
{
    return StepDigits(digits, keepWidth, false);
}

bool IsAllZeros(const std::string& s)
{
    return s.find_first_not_of('0') == std::string::npos;
}

int CompareDigits(const std::string& a, const std::string& b)
{
    const std::string& longer = a.size() >= b.size() ? a : b;
    const std::string& shorter = a.size() >= b.size() ? b : a;
    const size_t extra = longer.size() - shorter.size();
    const int sign = (&longer == &a) ? 1 : -1;
    for (size_t i = 0; i < extra; ++i)
        if (longer[i] != '0')
            return sign;
    for (size_t i = 0; i < shorter.size(); ++i) {
        const int diff = static_cast<unsigned char>(longer[extra + i]) - static_cast<unsigned char>(shorter[i]);
        if (diff != 0)
            return diff > 0 ? sign : -sign;
    }
    return 0;
}

std::string ReplaceStar(const std::string& templ, const std::string& digits, int width)
{
    const size_t star = templ.rfind('*');
    if (star == std::string::npos)
        return templ;
    // Built in place: a series makes two of these for every file.
    const size_t zeros = width > 0 && digits.size() < static_cast<size_t>(width) ? width - digits.size() : 0;
    std::string out;
    out.reserve(templ.size() - 1 + zeros + digits.size());
    out.append(templ, 0, star).append(zeros, '0').append(digits).append(templ, star + 1);
    return out;
}

} // namespace pelldra
