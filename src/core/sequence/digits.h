// Decimal digit strings: counters and range bounds kept as text, so leading zeros survive and length is unbounded.
#pragma once

#include <string>

namespace pelldra {

std::string PadZeros(const std::string& s, int width);
std::string IncDigits(const std::string& digits, bool keepWidth);
std::string DecDigits(const std::string& digits, bool keepWidth);
bool IsAllZeros(const std::string& s);
int CompareDigits(const std::string& a, const std::string& b);
// Puts digits (zero-filled to width when width > 0) in place of the last '*' of templ.
std::string ReplaceStar(const std::string& templ, const std::string& digits, int width);

} // namespace pelldra
