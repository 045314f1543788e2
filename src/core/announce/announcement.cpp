// Reading an announcement file and deciding on it.
#include "core/announce/announcement.h"

#include <climits>

#include "core/engine/log_lines.h"

namespace pelldra {

namespace {

constexpr std::string_view kKeys = "Url_: Vers: Cate: ID__: ";
constexpr size_t kKeyLength = 6;

} // namespace

int DecimalPrefix(std::string_view text)
{
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

void ParseAnnouncementLine(std::string_view line, Announcement& a)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.size() < kKeyLength)
        return;
    const std::string_view value = line.substr(kKeyLength);
    switch (kKeys.find(line.substr(0, kKeyLength))) {
    case 0:
        a.Url_ = value;
        break;
    case 6:
        a.Vers = DecimalPrefix(value);
        break;
    case 12:
        a.Cate = value;
        break;
    case 18:
        a.ID__ = DecimalPrefix(value);
        break;
    default:
        break;
    }
}

Announcement ParseAnnouncement(std::string_view text)
{
    Announcement a;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        ParseAnnouncementLine(text.substr(0, end), a);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return a;
}

bool ShouldAsk(const Announcement& a, int answeredId, int programVersion, const std::string& categoryFilter)
{
    return IsWebUrl(a.Url_) && answeredId < a.ID__ && (a.Vers == 0 || programVersion < a.Vers) &&
           (a.Cate.empty() || (!categoryFilter.empty() && a.Cate.find(categoryFilter) != std::string::npos));
}

} // namespace pelldra
