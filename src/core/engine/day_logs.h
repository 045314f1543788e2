// The daily logs of a folder ("yymmdd.log"), as the log viewer offers them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelldra {

// True for a daily log's name: six digits and ".log".
bool IsDayLogName(std::string_view name);
// The day a daily log's name stands for, as "2026/03/05"; "" for any other name. Two-digit years 69 to 99 are the
// 1900s and 00 to 68 the 2000s (the usual reading of a two-digit year), so the older program's logs sort first.
std::string DayLogDate(std::string_view name);
// The names of the folder's daily logs, newest day first, plus `wanted` (a name the reader asked for that may not
// exist yet) at its place. Empty when the folder cannot be read and nothing is wanted.
std::vector<std::string> ListDayLogs(const std::string& folder, const std::string& wanted = {});

} // namespace pelldra
