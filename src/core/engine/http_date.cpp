// The time an HTTP date header names.
#include "core/engine/http_date.h"

#include <curl/curl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pelldra {

namespace {

std::optional<int> Digits(std::string_view text, size_t at, size_t count)
{
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Three letters as one number, so that a name is found without a string compare per candidate.
constexpr uint32_t Key3(std::string_view s)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 8 | static_cast<unsigned char>(s[2]);
}

int MonthIndex(std::string_view name)
{
    static constexpr std::array<uint32_t, 12> kMonths = {Key3("Jan"), Key3("Feb"), Key3("Mar"), Key3("Apr"),
                                                         Key3("May"), Key3("Jun"), Key3("Jul"), Key3("Aug"),
                                                         Key3("Sep"), Key3("Oct"), Key3("Nov"), Key3("Dec")};
    const uint32_t key = Key3(name);
    for (size_t i = 0; i < kMonths.size(); ++i)
        if (kMonths[i] == key)
            return static_cast<int>(i);
    return -1;
}

bool IsDayName(std::string_view name)
{
    static constexpr std::array<uint32_t, 7> kDays = {Key3("Sun"), Key3("Mon"), Key3("Tue"), Key3("Wed"),
                                                      Key3("Thu"), Key3("Fri"), Key3("Sat")};
    const uint32_t key = Key3(name);
    for (uint32_t d : kDays)
        if (d == key)
            return true;
    return false;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153LL * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// "Sun, 06 Nov 1994 08:49:37 GMT", exactly.
std::optional<time_t> FixedDateSeconds(std::string_view t)
{
    if (t.size() != 29 || t[3] != ',' || t[4] != ' ' || t[7] != ' ' || t[11] != ' ' || t[16] != ' ' ||
        t[19] != ':' || t[22] != ':' || t.substr(25) != " GMT" || !IsDayName(t.substr(0, 3)))
        return std::nullopt;
    const int month = MonthIndex(t.substr(8, 3));
    const auto day = Digits(t, 5, 2), year = Digits(t, 12, 4);
    const auto hour = Digits(t, 17, 2), minute = Digits(t, 20, 2), second = Digits(t, 23, 2);
    if (month < 0 || !day || !year || !hour || !minute || !second)
        return std::nullopt;
    static constexpr std::array<int, 12> kLength = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int length = kLength[static_cast<size_t>(month)] + (month == 1 && IsLeap(*year) ? 1 : 0);
    // Anything out of range (a leap second among it) is left to the general reader, which knows its own rules.
    if (*day < 1 || *day > length || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    const long long days = DaysFromCivil(*year, month + 1, *day);
    return static_cast<time_t>(days * 86400 + *hour * 3600 + *minute * 60 + *second);
}

} // namespace

time_t HttpDateSeconds(std::string_view text)
{
    if (const auto fixed = FixedDateSeconds(text))
        return *fixed;
    return curl_getdate(std::string(text).c_str(), nullptr);
}

} // namespace pelldra
