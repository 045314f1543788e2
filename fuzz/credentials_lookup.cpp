// Fuzz target: the credential lookup over random stores and URLs, checked against a direct recursive form.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/credentials/credential_lookup.h"
#include "core/credentials/ninsho_center.h"
#include "core/text/text_utils.h"

using namespace pelldra;

namespace {

// The lookup written as a search that calls itself once per level, kept as plain as possible.
struct Reference
{
    const std::vector<CAuthRecord>& records;
    CAuthRecord& query;
    std::string url;
    std::string previous;

    bool Decide(std::string& key) const
    {
        std::string a = key;
        if (!a.ends_with('/'))
            a += '/';
        const size_t n = a.size();
        if (n >= url.size() || !url.starts_with(a))
            return true;
        if (!previous.empty() && n >= previous.size())
            return true;
        const size_t slash = url.find('/', n);
        const std::string a2 = slash == std::string::npos ? url : url.substr(0, slash + 1);
        if (a2.size() < previous.size()) {
            key = a2;
            return false;
        }
        if (!previous.empty() && a2.starts_with(previous))
            return true;
        key = a2;
        return false;
    }

    bool Search(size_t start, std::string& key)
    {
        if (key.empty())
            key = ServerPart(url) + "/";
        for (size_t i = start; i < records.size(); ++i) {
            const std::string s = records[i].GetSiteUrl();
            if (s < key)
                continue;
            if (s != key && !s.starts_with(key))
                return false;
            const std::string old = key;
            if (Decide(key) || !Search(s == old ? i + 1 : i, key)) {
                key = old;
                query = records[i];
            }
            return true;
        }
        return false;
    }
};

bool HttpScheme(const std::string& url)
{
    const size_t colon = url.find(':');
    if (colon == std::string::npos || colon + 1 == url.size())
        return false;
    std::string scheme = url.substr(0, colon);
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme.starts_with("http");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Lines: the URL, the previous key, then one record key per line (a key's first byte picks its user). Each is
    // taken after "http://" unless it starts with "~", so that matches are common.
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < size && lines.size() < 200; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(data[i]);
    }
    lines.resize(std::max<size_t>(lines.size(), 2));

    const auto withScheme = [](const std::string& line) {
        return line.starts_with("~") ? line.substr(1) : "http://" + line;
    };
    CNinshoCenter store{CNinshoCenter::InMemory{}};
    for (size_t i = 2; i < lines.size(); ++i) {
        CAuthRecord r;
        r.SetSiteUrl(withScheme(lines[i]));
        r.SetUserId(lines[i].empty() ? "" : std::string(1, static_cast<char>('a' + lines[i][0] % 3)));
        r.SetPageUrl(std::to_string(i));
        int index = -1;
        store.Add(r, index);
    }
    std::vector<CAuthRecord> records;
    for (int i = 0; i < store.GetCount(); ++i)
        records.push_back(store.GetAt(i));

    CAuthRecord query;
    query.SetPageUrl(withScheme(lines[0]));
    query.SetSiteUrl(lines[1].empty() ? "" : withScheme(lines[1]));

    CAuthRecord got = query;
    const int r = store.FindForUrl(got);

    CAuthRecord want = query;
    bool found = false;
    if (HttpScheme(query.GetPageUrl()) && !records.empty()) {
        Reference ref{records, want, query.GetPageUrl(), query.GetSiteUrl()};
        std::string key;
        found = ref.Search(0, key);
        if (found)
            want.SetSiteUrl(key);
    }
    if ((r == 0) != found || !(got == want))
        std::abort();
    if (found && !query.GetPageUrl().starts_with(got.GetSiteUrl()) &&
        got.GetSiteUrl() != ServerPart(query.GetPageUrl()) + "/")
        std::abort();
    return 0;
}
