// Telling the log window's URL lines from its status lines, and the image test page built from a URL line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/result.h"

namespace pelldra {

// The log window keeps at most this many lines; one more line first drops all before line kLogKeepFromLine.
inline constexpr int kLogMaxLines = 100;
inline constexpr int kLogKeepFromLine = 50;
// How many lines the window holds after `added` more lines come to the `shown` ones, as if they came one by one. The
// kept lines are always the newest, so a batch of lines can be shown with one edit of the window.
int LogLinesKept(int shown, int added);

// A job's line starts with its URL; status lines start with blanks. Empty lines are neither.
bool IsUrlLine(std::string_view line);
// The URL a URL line stands for: the line without its trailing white space. "" for any other line.
std::string UrlOfLine(std::string_view line);
// True for an absolute http:// or https:// URL (scheme in any case) with something after the "//": the only URLs the
// program hands to the desktop, so a log line can never make it run a file or another scheme's handler.
bool IsWebUrl(std::string_view url);

// The line that reports a failed job, with its three leading blanks: "   失敗［status=404］".
std::string FailureLine(int32_t status);
// The status a failure line reports; nothing for any other line.
std::optional<int32_t> FailureStatusOf(std::string_view line);

// What a line of a daily log is to a reader looking for failures.
enum class LogLineKind {
    Plain,
    Failure,       // a failure line
    FailureDetail, // a line that says why: the message of a status 2, the redirect notice and URL of a status 3
};

// Sorts a log's lines in their order into kinds; the lines after a failure line depend on its status, so one marker
// reads one file from its first line on.
class FailureMarker
{
public:
    LogLineKind Next(std::string_view line);

private:
    int detailsLeft_ = 0;
};

// Escapes the five HTML special characters, so a text can sit inside a double-quoted attribute.
std::string HtmlEscape(std::string_view text);

// The image test page's name in the data folder.
inline constexpr std::string_view kImageTestPageName = "imagetest.htm";
inline constexpr std::string_view kImageTestPageError = "一時ファイルが作れません。";
// The page: one line showing the URL as an image, the URL escaped.
std::string MakeImageTestPage(std::string_view url);
// Writes the page into folder (empty: the data folder) and gives its path. Code 1 with kImageTestPageError when it
// cannot be written; an old page is then left as it was.
Result WriteImageTestPage(std::string_view url, std::string& path, const std::string& folder = {});

} // namespace pelldra
