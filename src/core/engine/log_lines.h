// Telling the log window's URL lines from its status lines, and the image test page built from a URL line.
#pragma once

#include <string>
#include <string_view>

#include "core/platform/result.h"

namespace pelldra {

// The log window keeps at most this many lines; one more line first drops all before line kLogKeepFromLine.
inline constexpr int kLogMaxLines = 100;
inline constexpr int kLogKeepFromLine = 50;

// A job's line starts with its URL; status lines start with blanks. Empty lines are neither.
bool IsUrlLine(std::string_view line);
// The URL a URL line stands for: the line without its trailing white space. "" for any other line.
std::string UrlOfLine(std::string_view line);
// True for an absolute http:// or https:// URL (scheme in any case) with something after the "//": the only URLs the
// program hands to the desktop, so a log line can never make it run a file or another scheme's handler.
bool IsWebUrl(std::string_view url);

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
