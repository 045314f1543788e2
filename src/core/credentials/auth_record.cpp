// Setters of a site credential.
#include "core/credentials/auth_record.h"

#include <algorithm>
#include <string_view>

namespace pelldra {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

// Cuts s to at most max bytes without splitting a UTF-8 character (text that is not UTF-8 is cut at most three
// bytes shorter than it could be).
void CutTo(std::string& s, size_t max)
{
    if (s.size() <= max)
        return;
    size_t end = max;
    while (end > 0 && max - end < 3 && (static_cast<unsigned char>(s[end]) & 0xc0) == 0x80)
        --end;
    s.resize(end);
}

std::string CleanValue(const std::string& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return "";
    std::string s = text.substr(first);
    // The file has no escape for a line break, and its reader ends a text at NUL.
    s.resize(std::min(s.size(), s.find_first_of(std::string_view("\r\n\0", 3))));
    CutTo(s, CAuthRecord::kMaxValueBytes);
    s.resize(s.find_last_not_of(kBlanks) + 1);
    return s;
}

} // namespace

void CAuthRecord::SetSiteName(const std::string& s)
{
    siteName_ = CleanValue(s);
}
void CAuthRecord::SetSiteUrl(const std::string& s)
{
    siteUrl_ = CleanValue(s);
}
void CAuthRecord::SetUserId(const std::string& s)
{
    userId_ = CleanValue(s);
}
void CAuthRecord::SetPageUrl(const std::string& s)
{
    pageUrl_ = CleanValue(s);
}

void CAuthRecord::SetPassword(const std::string& s)
{
    password_ = s;
    CutTo(password_, kMaxPasswordBytes);
}

bool TakesPlaceOf(const CAuthRecord& rec, const CAuthRecord& next)
{
    const std::string& key = rec.GetSiteUrl();
    if (next.GetSiteUrl() == key)
        return true;
    return next.GetSiteUrl().starts_with(key) && next.GetUserId() == rec.GetUserId() &&
           next.GetPassword() == rec.GetPassword();
}

} // namespace pelldra
