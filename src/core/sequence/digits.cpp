// Decimal digit-string arithmetic.
#include "core/sequence/digits.h"

#include <cstdlib>

namespace pelldra {

namespace {

constexpr size_t kChunk = 6;

// Strings of up to six digits are counted as numbers; longer ones carry chunk by chunk.
std::string StepDigits(const std::string& d, bool keepWidth, bool up)
{
    if (d.empty())
        return "";
    if (d.size() <= kChunk) {
        long v = std::strtol(d.c_str(), nullptr, 10);
        v += up ? 1 : -1;
        if (v < 0)
            v = 0; // callers never step below zero; keep the result a digit string all the same
        std::string r = std::to_string(v);
        return keepWidth ? PadZeros(r, static_cast<int>(d.size())) : r;
    }
    const std::string left = d.substr(0, d.size() - kChunk);
    const std::string last = d.substr(d.size() - kChunk);
    const char* wrap = up ? "999999" : "000000";
    if (last != wrap)
        return left + PadZeros(StepDigits(last, false, up), static_cast<int>(kChunk));
    return StepDigits(left, keepWidth, up) + (up ? "000000" : "999999");
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
    return templ.substr(0, star) + PadZeros(digits, width) + templ.substr(star + 1);
}

} // namespace pelldra
