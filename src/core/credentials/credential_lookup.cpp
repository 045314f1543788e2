// Credential lookup by URL.
#include "core/credentials/credential_lookup.h"

#include <algorithm>
#include <optional>

#include "core/text/text_utils.h"

namespace pelldra {

namespace {

bool SchemeIsHttp(const std::string& url)
{
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon + 1 == url.size() || colon < 4)
        return false;
    static constexpr char kHttp[] = "http";
    for (size_t i = 0; i < 4; ++i) {
        const char c = url[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kHttp[i])
            return false;
    }
    return true;
}

// Whether the search stops at key or goes one prefix deeper; on the way down key becomes that deeper prefix.
// url is the request URL, previous the key an earlier lookup for the same request returned ("" at first).
bool GoDeeper(std::string& key, const std::string& url, const std::string& previous)
{
    std::string a = key;
    if (!a.ends_with('/'))
        a += '/';
    const size_t n = a.size();
    if (n >= url.size() || !url.starts_with(a))
        return false;
    if (!previous.empty() && n >= previous.size())
        return false;
    const size_t slash = url.find('/', n);
    std::string next = slash == std::string::npos ? url : url.substr(0, slash + 1);
    if (next.size() >= previous.size() && !previous.empty() && next.starts_with(previous))
        return false;
    key = std::move(next);
    return true;
}

} // namespace

int FindCredential(const std::vector<CAuthRecord>& records, CAuthRecord& query)
{
    const std::string& url = query.GetPageUrl();
    if (!SchemeIsHttp(url) || records.empty())
        return -1;
    const std::string& previous = query.GetSiteUrl();

    // Each level either settles on a record under its key or fails; a level that fails leaves the answer of the
    // level above it standing.
    std::optional<size_t> chosen;
    std::string chosenKey;
    std::string key = ServerPart(url) + "/";
    size_t start = 0;
    while (start < records.size()) {
        const auto it = std::lower_bound(records.begin() + static_cast<std::ptrdiff_t>(start), records.end(), key,
                                         [](const CAuthRecord& r, const std::string& k) { return r.GetSiteUrl() < k; });
        if (it == records.end() || !it->GetSiteUrl().starts_with(key))
            break;
        const auto i = static_cast<size_t>(it - records.begin());
        chosen = i;
        chosenKey = key;
        const bool exact = it->GetSiteUrl() == key;
        if (!GoDeeper(key, url, previous))
            break;
        // Below an exact key the records after it are searched; below a key that only begins the record's own,
        // that same record is still a candidate.
        start = exact ? i + 1 : i;
    }
    if (!chosen)
        return -1;
    query = records[*chosen];
    query.SetSiteUrl(chosenKey);
    return 0;
}

} // namespace pelldra
