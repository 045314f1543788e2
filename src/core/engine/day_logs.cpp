// Daily log names: recognising them, their dates, and the newest-first listing of a folder.
#include "core/engine/day_logs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

namespace pelldra {

namespace {

// yyyymmdd of a daily log's name, 0 for any other name.
int DayNumber(std::string_view name)
{
    if (!IsDayLogName(name))
        return 0;
    const auto two = [&](size_t at) { return (name[at] - '0') * 10 + (name[at + 1] - '0'); };
    const int yy = two(0);
    return ((yy >= 69 ? 1900 : 2000) + yy) * 10000 + two(2) * 100 + two(4);
}

} // namespace

bool IsDayLogName(std::string_view name)
{
    return name.size() == 10 && name.substr(6) == ".log" &&
           std::all_of(name.begin(), name.begin() + 6, [](char c) { return c >= '0' && c <= '9'; });
}

std::string DayLogDate(std::string_view name)
{
    const int day = DayNumber(name);
    if (day == 0)
        return {};
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", day / 10000, day / 100 % 100, day % 100);
    return buf;
}

std::vector<std::string> ListDayLogs(const std::string& folder, const std::string& wanted)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::error_code typeError;
        if (IsDayLogName(name) && it->is_regular_file(typeError))
            names.push_back(std::move(name));
    }
    if (!wanted.empty() && std::find(names.begin(), names.end(), wanted) == names.end())
        names.push_back(wanted);
    // Another file the reader named comes first: it is what they asked to see.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::make_tuple(IsDayLogName(a), -DayNumber(a), a) < std::make_tuple(IsDayLogName(b), -DayNumber(b), b);
    });
    return names;
}

} // namespace pelldra
