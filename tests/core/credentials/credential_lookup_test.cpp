// Tests of the credential lookup by URL: the descent along the URL's prefixes and repeated lookups.
#include "core/credentials/credential_lookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace pelldra {
namespace {

CAuthRecord Record(const std::string& key, const std::string& user)
{
    CAuthRecord r;
    r.SetSiteName("name of " + key);
    r.SetSiteUrl(key);
    r.SetUserId(user);
    r.SetPassword("pw-" + user);
    r.SetPageUrl(key + "index.html");
    return r;
}

// Paths starting with '/' are on http://h.
std::string Full(const std::string& s)
{
    return s.starts_with('/') ? "http://h" + s : s;
}

using Pairs = std::vector<std::pair<std::string, std::string>>; // key, user

TEST(CredentialLookup, DescentAndRepeatedLookups)
{
    // What the case shows, the records, the URL looked up, then the key and user of the first answer and of each
    // repeat with the key given before ("": not found). The credentials_lookup fuzz target checks every lookup
    // against a plain recursive form; its seeds hold the finer cases.
    const Pairs none = {{"", ""}};
    const std::tuple<const char*, Pairs, std::string, Pairs> cases[] = {
        {"deepest record wins, repeats climb to the host",
         {{"/a/", "ua"}, {"/a/b/", "ub"}},
         "/a/b/c.jpg",
         {{"/a/b/", "ub"}, {"/a/", "ua"}, {"/", "ua"}, {"/", "ua"}}},
        {"a deeper record answers a shallower URL under the prefix they share",
         {{"/a/b/", "ub"}},
         "/a/c.jpg",
         {{"/a/", "ub"}, {"/", "ub"}}},
        {"the server part without its slash is never a key", {{"http://h", "u"}}, "/a/c.jpg", none},
        {"first record under the host, not the nearest", {{"/a/", "ua"}, {"/b/", "ub"}}, "/c/x.jpg", {{"/", "ua"}}},
        {"https", {{"https://h/a/", "u"}}, "https://h/a/x.jpg", {{"https://h/a/", "u"}}},
        {"ftp", {{"ftp://h/a/", "u"}}, "ftp://h/a/x.jpg", none}};
    for (const auto& [what, stored, url, steps] : cases) {
        std::vector<CAuthRecord> records;
        for (const auto& [key, user] : stored)
            records.push_back(Record(Full(key), user));
        std::sort(records.begin(), records.end(),
                  [](const CAuthRecord& a, const CAuthRecord& b) { return a.GetSiteUrl() < b.GetSiteUrl(); });
        std::string previous;
        for (size_t s = 0; s < steps.size(); ++s) {
            SCOPED_TRACE(std::string(what) + ", step " + std::to_string(s));
            const auto& [key, user] = steps[s];
            CAuthRecord query;
            query.SetPageUrl(Full(url));
            query.SetSiteUrl(previous);
            const CAuthRecord before = query;
            const int r = FindCredential(records, query);
            if (key.empty()) {
                EXPECT_EQ(r, -1);
                EXPECT_EQ(query, before);
                continue;
            }
            ASSERT_EQ(r, 0);
            // Every field is the answering record's, only the key is the matching prefix.
            const auto from =
                std::find_if(records.begin(), records.end(), [&](auto& x) { return x.GetUserId() == user; });
            ASSERT_NE(from, records.end());
            CAuthRecord want = *from;
            want.SetSiteUrl(Full(key));
            EXPECT_EQ(query, want);
            previous = query.GetSiteUrl();
        }
    }
}

} // namespace
} // namespace pelldra
