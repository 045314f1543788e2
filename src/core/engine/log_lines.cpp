// URL lines of the log window and the image test page.
#include "core/engine/log_lines.h"

#include <charconv>
#include <cstdio>

#include "core/platform/files.h"
#include "core/platform/folders.h"
#include "core/text/text_utils.h"

namespace pelldra {

bool IsUrlLine(std::string_view line)
{
    return !line.empty() && !IsBlank(line.front());
}

std::string UrlOfLine(std::string_view line)
{
    if (!IsUrlLine(line))
        return {};
    return std::string(TrimTrailingBlanks(line));
}

bool IsWebUrl(std::string_view url)
{
    if (!IsHttpUrl(url))
        return false;
    const std::string_view rest = url.substr(url.find("//") + 2);
    if (rest.empty() || rest.front() == '/')
        return false; // no host
    for (char c : url) {
        // Control bytes and blanks have no place in a URL; a handler could read them as separate arguments.
        if (static_cast<unsigned char>(c) < 0x21 || c == 0x7f)
            return false;
    }
    return true;
}

int LogLinesKept(int shown, int added)
{
    for (int i = 0; i < added; ++i) {
        if (shown >= kLogMaxLines)
            shown -= kLogKeepFromLine;
        ++shown;
    }
    return shown;
}

std::string FailureLine(int32_t status)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "   失敗［status=%d］", static_cast<int>(status));
    return buf;
}

std::optional<int32_t> FailureStatusOf(std::string_view line)
{
    constexpr std::string_view head = "   失敗［status=";
    constexpr std::string_view close = "］";
    if (!line.starts_with(head) || !line.ends_with(close))
        return std::nullopt;
    const std::string_view number = line.substr(head.size(), line.size() - head.size() - close.size());
    int32_t status = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), status);
    if (error != std::errc() || end != number.data() + number.size() || number.empty())
        return std::nullopt;
    return status;
}

LogLineKind FailureMarker::Next(std::string_view line)
{
    if (const std::optional<int32_t> status = FailureStatusOf(line)) {
        // The engine follows a status 2 with its message and a status 3 with the notice and the new URL.
        detailsLeft_ = *status == 2 ? 1 : *status == 3 ? 2 : 0;
        return LogLineKind::Failure;
    }
    if (detailsLeft_ > 0) {
        --detailsLeft_;
        return LogLineKind::FailureDetail;
    }
    return LogLineKind::Plain;
}

std::string HtmlEscape(std::string_view text)
{
    std::string r;
    r.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            r += "&amp;";
            break;
        case '<':
            r += "&lt;";
            break;
        case '>':
            r += "&gt;";
            break;
        case '"':
            r += "&quot;";
            break;
        case '\'':
            r += "&#39;";
            break;
        default:
            r += c;
        }
    }
    return r;
}

std::string MakeImageTestPage(std::string_view url)
{
    return "<html><body><img src=\"" + HtmlEscape(url) + "\"></body></html>";
}

Result WriteImageTestPage(std::string_view url, std::string& path, const std::string& folder)
{
    const std::string dir = folder.empty() ? GetProgramFolder() : folder;
    path = dir + "/" + std::string(kImageTestPageName);
    // Replaced whole, so a browser still reading the last page never sees half of the new one.
    if (dir.empty() || ReplaceFileAtomically(path, MakeImageTestPage(url), kPrivateFileMode) != 0)
        return Result::failure(1, std::string(kImageTestPageError));
    return Result::success();
}

} // namespace pelldra
